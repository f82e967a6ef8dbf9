#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "Platform/FileOps.h"
#include "PlatformTestSupport.h"
#include "Support/Unprivileged.h"

namespace fs = std::filesystem;
namespace FileOps = Platform::FileOps;
using platformtest::readFile;
using platformtest::TempDir;
using platformtest::writeFile;

namespace {
// Outside folder and file that links inside the doomed tree point at.
struct Outside {
    fs::path folder, file;
};

Outside makeOutside(const TempDir& t) {
    Outside o{t / "outside", t / "outside-file"};
    writeFile(o.folder / "keep.txt", "keep");
    writeFile(o.folder / "sub" / "deep.txt", "deep");
    writeFile(o.file, "file");
    return o;
}

void expectIntact(const Outside& o) {
    EXPECT_EQ(readFile(o.folder / "keep.txt"), "keep");
    EXPECT_EQ(readFile(o.folder / "sub" / "deep.txt"), "deep");
    EXPECT_EQ(readFile(o.file), "file");
}
}  // namespace

TEST(FileOps, RemovesATreeWithoutFollowingItsLinks) {
    TempDir t;
    const Outside outside = makeOutside(t);
    const fs::path tree = t / "tree";
    writeFile(tree / "a.txt", "a");
    writeFile(tree / "nested" / "b" / "c.txt", "c");
    writeFile(tree / "read-only.txt", "r");
    ::chmod((tree / "read-only.txt").c_str(), 0444);
    writeFile(tree / "\xff\xfe-bad" / "\x80.bin", "not utf-8");
    fs::create_directory_symlink(outside.folder, tree / "to-folder");
    fs::create_directory_symlink(outside.folder, tree / "nested" / "b" / "deeper-link");
    fs::create_symlink(outside.file, tree / "to-file");
    fs::create_symlink(t / "nowhere", tree / "dangling");
    ASSERT_EQ(::mkfifo((tree / "fifo").c_str(), 0600), 0);

    const auto status = FileOps::removeRecursively(tree);
    EXPECT_TRUE(status.ok) << status.error;
    EXPECT_FALSE(FileOps::exists(tree));
    expectIntact(outside);
}

TEST(FileOps, RemovesALinkItselfAndNeverItsTarget) {
    struct Case {
        const char* name;
        bool toFolder;
        const char* suffix;  // how the caller spells the path
    };
    const Case cases[] = {
        {"link to a folder", true, ""},
        {"link to a folder, trailing slash", true, "/"},
        {"link to a file", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir t;
        const Outside outside = makeOutside(t);
        const fs::path link = t / "link";
        if (c.toFolder) fs::create_directory_symlink(outside.folder, link);
        else fs::create_symlink(outside.file, link);
        const auto status = FileOps::removeRecursively(link.native() + c.suffix);
        EXPECT_TRUE(status.ok) << status.error;
        EXPECT_FALSE(FileOps::exists(link));
        expectIntact(outside);
    }
}

TEST(FileOps, ReportsFailuresAsThePlatformsText) {
    TempDir t;
    struct Case {
        fs::path path;
        const char* error;
    };
    const Case cases[] = {
        {t / "missing", "No such file or directory"},
        {t / "missing" / "below", "No such file or directory"},
        {"", "Invalid argument"},
        {"/", "Invalid argument"},
        {t / "..", "Invalid argument"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.native());
        const auto status = FileOps::removeRecursively(c.path);
        EXPECT_FALSE(status.ok);
        EXPECT_EQ(status.error, c.error);
    }
    EXPECT_TRUE(FileOps::exists(t.path()));
}

TEST(FileOps, DeepTreesNeedNoRecursion) {
    TempDir t;
    fs::path p = t / "deep";
    fs::create_directory(p);
    // Built fd-relative: the full path would exceed PATH_MAX.
    int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 1500; ++i) {
        ASSERT_EQ(::mkdirat(fd, "level-directory", 0755), 0);
        const int next = ::openat(fd, "level-directory", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(fd = next, 0);
    }
    ::close(::openat(fd, "leaf", O_WRONLY | O_CREAT, 0644));
    ::close(fd);

    const auto status = FileOps::removeRecursively(p);
    EXPECT_TRUE(status.ok) << status.error;
    EXPECT_FALSE(FileOps::exists(p));
}

TEST(FileOps, ReadOnlyFolderIsRemovedWithAdministratorRights) {
    if (::getuid() != 0) GTEST_SKIP() << "needs root";
    TempDir t;
    writeFile(t / "tree" / "locked" / "inner.txt", "x");
    ::chmod((t / "tree" / "locked").c_str(), 0555);
    const auto status = FileOps::removeRecursively(t / "tree");
    EXPECT_TRUE(status.ok) << status.error;
    EXPECT_FALSE(FileOps::exists(t / "tree"));
}

TEST(FileOps, PermissionDenialIsReportedAndTheRestStillGoes) {
    if (!unprivileged::rerunAsNobody()) return;
    TempDir t;
    writeFile(t / "tree" / "locked" / "inner.txt", "x");
    writeFile(t / "tree" / "free" / "other.txt", "y");
    ::chmod((t / "tree" / "locked").c_str(), 0555);
    const auto status = FileOps::removeRecursively(t / "tree");
    ::chmod((t / "tree" / "locked").c_str(), 0755);
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.error, "Permission denied");
    EXPECT_TRUE(FileOps::exists(t / "tree" / "locked" / "inner.txt"));
    EXPECT_FALSE(FileOps::exists(t / "tree" / "free"));
}

TEST(FileOps, NeverWalksIntoAnotherMountedVolume) {
    TempDir t;
    // Deep enough that the walk has to come back to folders it let go of.
    fs::path deep = t / "tree";
    for (int i = 0; i < 100; ++i) deep /= "d";
    writeFile(t / "tree" / "a.txt", "a");
    writeFile(deep / "sibling.txt", "s");
    platformtest::TmpfsMount mount(deep / "mounted");
    if (!mount.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    writeFile(deep / "mounted" / "other-volume.txt", "v");

    const auto status = FileOps::removeRecursively(t / "tree");
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.error.find("mounted volume"), std::string::npos) << status.error;
    EXPECT_EQ(readFile(deep / "mounted" / "other-volume.txt"), "v");
    EXPECT_FALSE(FileOps::exists(t / "tree" / "a.txt"));
    EXPECT_FALSE(FileOps::exists(deep / "sibling.txt"));
}

TEST(FileOps, AttributesNeverFollowLinks) {
    TempDir t;
    writeFile(t / "file", "12345");
    const timespec times[2] = {{1'000'000'000, 0}, {1'500'000'000, 250'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (t / "file").c_str(), times, 0), 0);
    fs::create_symlink(t / "nowhere", t / "dangling");

    EXPECT_EQ(FileOps::attributes(t / "file")->st_size, 5);
    EXPECT_EQ(FileOps::modificationDate(t / "file"),
              std::chrono::system_clock::time_point(std::chrono::milliseconds(1'500'000'000'250)));
    EXPECT_TRUE(FileOps::exists(t / "dangling"));
    EXPECT_TRUE(S_ISLNK(FileOps::attributes(t / "dangling")->st_mode));
    EXPECT_FALSE(FileOps::exists(t / "missing"));
    EXPECT_FALSE(FileOps::attributes(t / "missing"));
    EXPECT_FALSE(FileOps::modificationDate(t / "missing"));
}

TEST(FileOps, ModificationTimesOutsideTheClockRangeSaturate) {
    using TimePoint = std::chrono::system_clock::time_point;
    struct Case {
        int64_t seconds;
        long nanoseconds;
        TimePoint expected;
    } const cases[] = {
        {1700000000, 5, TimePoint(std::chrono::seconds(1700000000) + std::chrono::nanoseconds(5))},
        {-1, 0, TimePoint(std::chrono::seconds(-1))},
        {15032385535, 0, TimePoint::max()},  // 2446, as far as ext4 goes
        {9223372036, 999999999, TimePoint::max()},
        {INT64_MAX, 0, TimePoint::max()},
        {-15032385535, 0, TimePoint::min()},
        {INT64_MIN, 0, TimePoint::min()},
    };
    for (const auto& c : cases) {
        struct ::stat st {};
        st.st_mtim.tv_sec = c.seconds;
        st.st_mtim.tv_nsec = c.nanoseconds;
        EXPECT_EQ(FileOps::modificationTime(st), c.expected) << c.seconds;
    }
}

TEST(FileOps, OpenBelowNeverFollowsALinkUnderTheRoot) {
    TempDir t;
    writeFile(t / "root/a/b/file", "x");
    fs::create_directory_symlink(t / "root/a", t / "root/link");
    fs::create_directory_symlink(t / "root", t / "root-link");
    struct Case {
        const char* name;
        fs::path root;
        const char* below;
        FileOps::Reach how;
    } const cases[] = {
        {"plain", t / "root", "a/b", FileOps::Reach::reached},
        {"the root itself", t / "root", "", FileOps::Reach::reached},
        {"a root reached through a link", t / "root-link", "a", FileOps::Reach::reached},
        {"a link on the way", t / "root", "link/b", FileOps::Reach::throughLink},
        {"a link at the end", t / "root", "link", FileOps::Reach::throughLink},
        {"a missing folder", t / "root", "a/gone/b", FileOps::Reach::missing},
        {"a file where a folder should be", t / "root", "a/b/file/x", FileOps::Reach::missing},
        {"a missing root", t / "nowhere", "a", FileOps::Reach::missing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reached = FileOps::openBelow(c.root, c.below);
        EXPECT_EQ(reached.how, c.how);
        EXPECT_EQ(static_cast<bool>(reached.folder), c.how == FileOps::Reach::reached);
    }
    // What is reached is the folder itself: its entries are there relative to it.
    const auto b = FileOps::openBelow(t / "root", "a/b");
    struct ::stat st {};
    EXPECT_EQ(::fstatat(b.folder.get(), "file", &st, AT_SYMLINK_NOFOLLOW), 0);
}

// As the kernel walks a path, and failing where it fails: each answer is what realpath(3)
// and open(2) say, once a missing rest has been made as folders.
TEST(FileOps, ResolvesLinksAndDotsInTheOrderTheyCome) {
    const char* const cases[] = {
        "ab/../pics/x", "missing/../a", "missing/deeper/new", "missing/deeper/../../a/./b/new", "up/x",
        "a/pics/../b",  "dangling/x",   "dangling/..",        "file",                           "file/x",
        "file/../a",    "file/",        "loop/x",             "p",                              "l7",
        "l6/x",         "l6/../a",      "l5",                 "l1",                             "a/pics/../l6",
        "l7/../l7",     "../../../../../../../../../../../../../..",
    };
    for (const char* c : cases) {
        SCOPED_TRACE(c);
        TempDir t;
        const fs::path r = t / "r";
        fs::create_directories(r / "a/b");
        fs::create_directories(r / "Pictures");
        writeFile(r / "file", "x");
        fs::create_directory_symlink(r / "a/b", r / "ab");
        fs::create_directory_symlink("../Pictures", r / "a/pics");
        fs::create_directory_symlink("a/b/../../Pictures/", r / "up");
        fs::create_symlink("nowhere/deep", r / "dangling");
        fs::create_symlink("loop", r / "loop");
        fs::create_symlink("q", r / "p");
        fs::create_symlink("p", r / "q");
        // l1 → l2 → … → l45 → Pictures: from lN, 46 - N links.
        for (int i = 1; i <= 45; ++i)
            fs::create_symlink(i == 45 ? "Pictures" : "l" + std::to_string(i + 1), r / ("l" + std::to_string(i)));

        const std::string path = r.string() + "/" + c;
        const auto ours = FileOps::resolvedAsFarAsItExists(path);
        const int ourError = errno;
        char buf[PATH_MAX];
        // What a folder made there would be, never made outside the tree.
        std::error_code made;
        if (ours && !::realpath(path.c_str(), buf) && ours->rfind(r.string() + "/", 0) == 0)
            fs::create_directories(*ours, made);
        const char* kernel = ::realpath(path.c_str(), buf);
        const FileOps::Descriptor opened(::open(path.c_str(), O_PATH | O_CLOEXEC));
        const int kernelError = errno;
        EXPECT_EQ(static_cast<bool>(opened), kernel != nullptr);
        EXPECT_EQ(ours, kernel ? std::optional<std::string>(kernel) : std::nullopt);
        if (!kernel) EXPECT_EQ(std::strerror(ourError), std::strerror(kernelError));
    }
}
