#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>

#include "Core/Clean/Shell.h"
#include "Core/Disk/DiskIndex.h"
#include "Core/Disk/SizeService.h"
#include "Core/Text.h"
#include "Platform/PlatformTestSupport.h"
#include "Support/TestTree.h"
#include "Support/Unprivileged.h"
#include "Support/Unprivileged.h"

using namespace testtree;

namespace {
// du -sx -B1; it still totals (and exits 1) when a folder cannot be read.
int64_t du(const fs::path& p, int status = 0) {
    const auto r = Shell::run("/bin/sh", {"-c", "/usr/bin/du -sx -B1 \"$0\" 2>/dev/null", p.string()}, 120);
    EXPECT_EQ(r.status, status) << r.output;
    return r.output.empty() ? -1 : std::stoll(r.output);
}

DiskIndex::Info measuredByTheService(const fs::path& p) {
    SizeService service;
    std::promise<DiskIndex::Info> done;
    service.info(p, [&](DiskIndex::Info info) { done.set_value(info); });
    return done.get_future().get();
}

void fallocated(const fs::path& p, off_t bytes) {
    fs::create_directories(p.parent_path());
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::posix_fallocate(fd, 0, bytes), 0);
    ::close(fd);
}
}  // namespace

// The measure agrees with du byte for byte. Folders holding a name of a file that is
// also linked from another folder are left out of the per-folder comparison: du credits
// such a file to whichever folder it meets first.
TEST(DiskIndex, AgreesWithDu) {
    TempDir tmp;
    const fs::path root = tmp / "root";
    writeFile(root / "big/a.bin", std::string(300000, 'a'));
    writeFile(root / "big/deeper/b.bin", std::string(70000, 'b'));
    writeFile(root / "same/one", std::string(50000, 's'));
    ASSERT_EQ(::link((root / "same/one").c_str(), (root / "same/two").c_str()), 0);
    writeFile(root / "across/shared", std::string(90000, 'c'));
    fs::create_directories(root / "sibling");
    fs::create_directories(root / "links");
    ASSERT_EQ(::link((root / "across/shared").c_str(), (root / "sibling/shared-too").c_str()), 0);
    fs::create_directory_symlink(root / "big", root / "links/to-big");
    fs::create_symlink(tmp / "nowhere", root / "links/dangling");
    ASSERT_EQ(::mkfifo((root / "links/fifo").c_str(), 0600), 0);
    writeFile(root / "sparse/file", "x");
    fs::resize_file(root / "sparse/file", 64 << 20);
    fs::create_directories(root / "empty/inner");
    ASSERT_TRUE(writeFiles(root / "many", 5000));

    const auto m = DiskIndex::measure(root, 2);
    EXPECT_TRUE(m.complete);
    EXPECT_EQ(m.root.size, du(root));
    // Names that are not folders, the two names of "same/one" once, those of "shared" once.
    EXPECT_EQ(m.root.files, 2 + 1 + 1 + 3 + 1 + 5000);
    for (const char* folder : {"big", "big/deeper", "same", "links", "sparse", "empty", "empty/inner", "many"})
        EXPECT_EQ(m.recorded.at((root / folder).string()).size, du(root / folder)) << folder;
    EXPECT_EQ(m.recorded.at((root / "same").string()).files, 1);
    EXPECT_EQ(m.recorded.size(), 10u);  // the folders at depth 1 and 2, no deeper
    // A file linked from two folders counts in one of them, the same one every time.
    EXPECT_EQ(m.recorded.at((root / "across").string()).files + m.recorded.at((root / "sibling").string()).files, 1);
    EXPECT_EQ(m.recorded.at((root / "across").string()).files, 1);

    // The service walks the same tree spread over its threads: the same totals.
    EXPECT_EQ(measuredByTheService(root), m.root);
}

// Where the rule and du part ways, the rule holds: an unreadable folder adds nothing,
// not even its own blocks (du counts them).
TEST(DiskIndex, AnUnreadableFolderAddsNothing) {
    if (!unprivileged::rerunAsNobody()) return;
    TempDir tmp;
    const fs::path root = tmp / "root";
    writeFile(root / "ok/file", std::string(20000, 'o'));
    writeFile(root / "locked/inside", std::string(20000, 'l'));
    const int64_t lockedOwnBlocks = allocated(root / "locked");
    ::chmod((root / "locked").c_str(), 0);
    const auto m = DiskIndex::measure(root, 2);
    const int64_t duBytes = du(root, 1);
    ::chmod((root / "locked").c_str(), 0755);
    EXPECT_EQ(m.root.size, duBytes - lockedOwnBlocks);
    EXPECT_EQ(m.root.files, 1);
    EXPECT_FALSE(m.recorded.count((root / "locked").string()));
}

// A folder where another volume is mounted counts its own blocks and nothing inside;
// a root on a kernel file system is not walked at all and has no size.
TEST(DiskIndex, NeverLeavesTheVolumeNorWalksKernelFileSystems) {
    TempDir tmp;
    const fs::path root = tmp / "root";
    writeFile(root / "here", std::string(20000, 'h'));
    platformtest::TmpfsMount mount(root / "mounted");
    if (!mount.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    writeFile(root / "mounted/elsewhere", std::string(200000, 'e'));
    const auto m = DiskIndex::measure(root, 2);
    EXPECT_EQ(m.root.files, 1);
    EXPECT_FALSE(m.recorded.count((root / "mounted").string()));  // its own walk measures it
    EXPECT_EQ(m.root.size, allocated(root) + allocated(root / "here") + allocated(root / "mounted"));

    for (const char* kernel : {"/proc", "/sys"}) {
        const auto k = DiskIndex::measure(kernel, 2);
        EXPECT_EQ(k.root, (DiskIndex::Info{0, 0, true})) << kernel;
        EXPECT_TRUE(k.recorded.empty()) << kernel;
    }
}

// 100,000 folders deep under the common limit of 1,024 open files: measured whole.
TEST(DiskIndex, TheServiceMeasuresTreesOfAnyDepthWhole) {
    TempDir tmp(TempDir::inMemory);
    const platformtest::TmpfsMount own(tmp / "deep", "64m");  // where it can be had
    const auto tree = buildDeepTree(tmp / "deep", 100000);
    OpenFileLimit limit(1024);
    const auto info = measuredByTheService(tmp / "deep");
    EXPECT_EQ(info.size, tree.fileBytes + tree.folderBytes);
    EXPECT_EQ(info.files, (100000 + 63) / 64);
}

TEST(DiskIndex, LargeFiles) {
    TempDir tmp(TempDir::inMemory);
    const fs::path root = tmp / "root";
    constexpr off_t kBlock = 4096;
    // 500 files of 1 … 10 blocks, the smallest 1 block under the minimum.
    for (int i = 0; i < 500; ++i)
        fallocated(root / ("d" + std::to_string(i % 7)) / ("f" + std::to_string(i)), kBlock * (i % 10 + 1));
    fallocated(root / "Photos.photoslibrary/huge", kBlock * 40);
    fallocated(root / "album.photoslibrary", kBlock * 30);  // a file, not a library
    fallocated(root / "linked/one", kBlock * 20);
    ASSERT_EQ(::link((root / "linked/one").c_str(), (root / "linked/two").c_str()), 0);

    const auto found = DiskIndex::largeFiles(root, 2 * kBlock, 200).files;
    ASSERT_EQ(found.size(), 200u);
    EXPECT_EQ(found[0], std::make_pair((root / "album.photoslibrary").string(), int64_t(30 * kBlock)));
    EXPECT_EQ(found[1], std::make_pair((root / "linked/one").string(), int64_t(20 * kBlock)));
    EXPECT_EQ(found[2], std::make_pair((root / "linked/two").string(), int64_t(20 * kBlock)));
    for (size_t i = 1; i < found.size(); ++i) {
        EXPECT_TRUE(found[i - 1].second > found[i].second ||
                    (found[i - 1].second == found[i].second &&
                     Text::localizedStandardCompare(found[i - 1].first, found[i].first) < 0))
            << i;
        EXPECT_EQ(found[i].first.find(".photoslibrary/"), std::string::npos);
    }
    EXPECT_EQ(found.back().second, 7 * kBlock);  // 3, then 50 each of 10, 9 and 8 blocks, then 7
    EXPECT_TRUE(DiskIndex::largeFiles(tmp / "missing", 0, 10).files.empty());
}

TEST(DiskIndex, ALargeFileSearchOfAFolderItCannotOpenSaysItDidNotSearch) {
    if (!unprivileged::rerunAsNobody()) return;
    TempDir tmp;
    const fs::path locked = tmp / "locked";
    fallocated(locked / "big", 8 * 4096);
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    const auto found = DiskIndex::largeFiles(locked, 0, 10);
    ::chmod(locked.c_str(), 0700);
    EXPECT_TRUE(found.files.empty());
    EXPECT_FALSE(found.searched);
    EXPECT_FALSE(found.readable);
    const auto open = DiskIndex::largeFiles(locked, 0, 10);
    EXPECT_TRUE(open.searched && open.readable);
    EXPECT_EQ(open.files.size(), 1u);
}
