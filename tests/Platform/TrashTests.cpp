#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <regex>

#include "Platform/FileOps.h"
#include "Platform/Locations.h"
#include "Platform/Trash.h"
#include "PlatformTestSupport.h"

namespace fs = std::filesystem;
namespace Trash = Platform::Trash;
namespace Locations = Platform::Locations;
using platformtest::readFile;
using platformtest::ScopedEnv;
using platformtest::TempDir;
using platformtest::writeFile;

namespace {
// A fake home with no ~/.local/share yet: the Trash must make its own way there.
class TrashTest : public ::testing::Test {
protected:
    TempDir root;
    fs::path home = root / "home";
    ScopedEnv homeEnv{"HOME", home.native()};
    ScopedEnv dataEnv{"XDG_DATA_HOME", std::nullopt};

    void SetUp() override { fs::create_directories(home); }

    static std::string infoOf(const fs::path& trashed) {
        return readFile(trashed.parent_path().parent_path() / "info" / (trashed.filename().native() + ".trashinfo"));
    }
    static std::string pathValue(const std::string& info) {
        std::smatch m;
        static const std::regex re("\nPath=([^\n]*)\n");
        return std::regex_search(info, m, re) ? m[1].str() : "<none>";
    }
    static std::string decoded(const std::string& s) {
        std::string out;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '%' && i + 2 < s.size()) {
                out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += s[i];
            }
        }
        return out;
    }
    static mode_t modeOf(const fs::path& p) {
        struct ::stat st {};
        ::lstat(p.c_str(), &st);
        return st.st_mode & 07777;
    }
};
}  // namespace

TEST_F(TrashTest, MovesTheItemAndWritesItsInfo) {
    const fs::path item = home / "Documents" / "report.txt";
    writeFile(item, "content");
    const ino_t inode = Platform::FileOps::attributes(item)->st_ino;
    const std::time_t before = std::time(nullptr);

    const auto r = Trash::moveToTrash(item);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.trashedPath, home / ".local/share/Trash/files/report.txt");
    EXPECT_EQ(Locations::trashFiles() / "report.txt", r.trashedPath);
    EXPECT_FALSE(Platform::FileOps::exists(item));
    EXPECT_EQ(Platform::FileOps::attributes(r.trashedPath)->st_ino, inode) << "copied, not moved";

    const std::string info = infoOf(r.trashedPath);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(info, m,
                                 std::regex("\\[Trash Info\\]\nPath=([^\n]+)\n"
                                            "DeletionDate=(\\d{4})-(\\d\\d)-(\\d\\d)T(\\d\\d):(\\d\\d):(\\d\\d)\n")))
        << info;
    EXPECT_EQ(m[1].str(), item.native());
    std::tm local {};
    local.tm_year = std::stoi(m[2]) - 1900;
    local.tm_mon = std::stoi(m[3]) - 1;
    local.tm_mday = std::stoi(m[4]);
    local.tm_hour = std::stoi(m[5]);
    local.tm_min = std::stoi(m[6]);
    local.tm_sec = std::stoi(m[7]);
    local.tm_isdst = -1;
    const std::time_t written = std::mktime(&local);  // local time, not UTC
    EXPECT_GE(written, before - 1);
    EXPECT_LE(written, std::time(nullptr) + 1);

    for (const char* f : {".local", ".local/share", ".local/share/Trash", ".local/share/Trash/files",
                          ".local/share/Trash/info"})
        EXPECT_EQ(modeOf(home / f), 0700u) << f;
}

TEST_F(TrashTest, PathIsPercentEncodedBytes) {
    struct Case {
        std::string name, encoded;
    };
    const Case cases[] = {
        {"with space", "with%20space"},
        {"100%", "100%25"},
        {"caf\xc3\xa9", "caf%C3%A9"},
        {"bad-\xff\xfe", "bad-%FF%FE"},
        {"q'\"#?&+=;\\", "q%27%22%23%3F%26%2B%3D%3B%5C"},
        {"plain-_.~", "plain-_.~"},
        {"new\nline", "new%0Aline"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoded);
        const fs::path item = home / "a dir" / c.name;
        writeFile(item, "x");
        const auto r = Trash::moveToTrash(item);
        ASSERT_TRUE(r.ok) << r.error;
        const std::string value = pathValue(infoOf(r.trashedPath));
        EXPECT_EQ(value, home.native() + "/a%20dir/" + c.encoded);
        EXPECT_EQ(decoded(value), item.native());
        EXPECT_EQ(r.trashedPath.filename().native(), c.name);
    }
}

TEST_F(TrashTest, CollisionsGetUniqueNames) {
    writeFile(home / "one" / "x", "1");
    fs::create_directories(home / "two" / "x");
    writeFile(home / "three" / "x", "3");
    // A file left in files/ without its info is never overwritten.
    writeFile(Locations::trashFiles() / "y", "orphan");
    writeFile(home / "y", "new");
    const std::string longName(250, 'n');
    writeFile(home / "l1" / longName, "a");
    writeFile(home / "l2" / longName, "b");

    std::vector<fs::path> trashed;
    for (const char* p : {"one/x", "two/x", "three/x", "y"}) {
        const auto r = Trash::moveToTrash(home / p);
        ASSERT_TRUE(r.ok) << p << ": " << r.error;
        EXPECT_EQ(pathValue(infoOf(r.trashedPath)), (home / p).native());
        trashed.push_back(r.trashedPath.filename());
    }
    EXPECT_EQ(trashed, (std::vector<fs::path>{"x", "x.2", "x.3", "y.2"}));
    EXPECT_EQ(readFile(Locations::trashFiles() / "y"), "orphan");

    for (const char* folder : {"l1", "l2"}) {
        const auto r = Trash::moveToTrash(home / folder / longName);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_LE(r.trashedPath.filename().native().size() + 10, 255u);
        EXPECT_EQ(pathValue(infoOf(r.trashedPath)), (home / folder / longName).native());
    }
}

TEST_F(TrashTest, RefusesTheTrashAndWhatHoldsIt) {
    writeFile(home / "keep", "k");
    ASSERT_TRUE(Trash::moveToTrash(home / "keep").ok);
    const fs::path trashed = Locations::trashFiles() / "keep";
    struct Case {
        fs::path item;
        const char* error;
    };
    const Case cases[] = {
        {Locations::trash(), "can't move the Trash to the Trash"},
        {Locations::trashFiles(), "can't move the Trash to the Trash"},
        {Locations::trashInfo(), "can't move the Trash to the Trash"},
        {Locations::dataHome(), "can't move the Trash to the Trash"},
        {home, "can't move the Trash to the Trash"},
        {trashed, "can't move to the Trash: it is already in the Trash"},
        {home / "missing", "can't move to the Trash: No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item.native());
        const auto r = Trash::moveToTrash(c.item);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, c.error);
    }
    EXPECT_EQ(readFile(trashed), "k");
    EXPECT_EQ(std::distance(fs::directory_iterator(Locations::trashInfo()), fs::directory_iterator()), 1);
}

TEST_F(TrashTest, AFailedMoveLeavesNoInfoBehind) {
    // A mount point cannot be renamed: the move fails after the info was written.
    platformtest::TmpfsMount mount(home / "mounted");
    if (!mount.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    writeFile(home / "first", "1");
    ASSERT_TRUE(Trash::moveToTrash(home / "first").ok);

    const auto r = Trash::moveToTrash(home / "mounted");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.rfind("can't move to the Trash", 0), 0u) << r.error;
    EXPECT_TRUE(fs::is_directory(home / "mounted"));
    EXPECT_FALSE(Platform::FileOps::exists(Locations::trashInfo() / "mounted.trashinfo"));
}

TEST_F(TrashTest, RemovingAnEntryTakesItsInfoAndNothingOutside) {
    writeFile(root / "outside" / "keep.txt", "keep");
    writeFile(home / "folder" / "inner.txt", "i");
    fs::create_directory_symlink(root / "outside", home / "folder" / "link");
    const auto r = Trash::moveToTrash(home / "folder");
    ASSERT_TRUE(r.ok) << r.error;

    EXPECT_TRUE(Trash::removeTrashedEntry(r.trashedPath));
    EXPECT_FALSE(Platform::FileOps::exists(r.trashedPath));
    EXPECT_FALSE(Platform::FileOps::exists(Locations::trashInfo() / "folder.trashinfo"));
    EXPECT_EQ(readFile(root / "outside" / "keep.txt"), "keep");

    // Only entries of a files/ folder.
    writeFile(home / "elsewhere" / "x", "x");
    EXPECT_FALSE(Trash::removeTrashedEntry(home / "elsewhere" / "x"));
    EXPECT_TRUE(Platform::FileOps::exists(home / "elsewhere" / "x"));
}

TEST_F(TrashTest, OtherToolsListAndRestoreWhatWeTrashed) {
    if (::access("/usr/bin/trash-list", X_OK) != 0 || ::access("/usr/bin/trash-restore", X_OK) != 0)
        GTEST_SKIP() << "trash-cli is not installed";
    const fs::path data = root / "data";  // through XDG_DATA_HOME this time
    ScopedEnv xdg("XDG_DATA_HOME", data.native());
    const fs::path file = home / "Caf\xc3\xa9 notes" / "100% done.txt";
    const fs::path folder = home / "project";
    writeFile(file, "notes");
    writeFile(folder / "src" / "main.c", "int main;");
    ASSERT_TRUE(Trash::moveToTrash(file).ok);
    ASSERT_TRUE(Trash::moveToTrash(folder).ok);
    ASSERT_TRUE(Platform::FileOps::exists(data / "Trash" / "files" / "project"));

    const std::vector<std::pair<std::string, std::string>> env = {{"HOME", home.native()},
                                                                  {"XDG_DATA_HOME", data.native()}};
    const auto list = platformtest::run({"/usr/bin/trash-list"}, env);
    ASSERT_EQ(list.status, 0) << list.output;
    const std::regex line("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d " + std::regex_replace(file.native(), std::regex("[.%]"), "\\$&") + "\n");
    EXPECT_TRUE(std::regex_search(list.output, line)) << list.output;
    EXPECT_NE(list.output.find(" " + folder.native() + "\n"), std::string::npos) << list.output;

    for (const fs::path& original : {file, folder}) {
        const auto restore = platformtest::run({"/usr/bin/trash-restore", original.native()}, env, "0\n");
        EXPECT_EQ(restore.status, 0) << restore.output;
    }
    EXPECT_EQ(readFile(file), "notes");
    EXPECT_EQ(readFile(folder / "src" / "main.c"), "int main;");
    EXPECT_TRUE(fs::is_empty(data / "Trash" / "info"));
    EXPECT_TRUE(fs::is_empty(data / "Trash" / "files"));
}

TEST_F(TrashTest, AnotherVolumeUsesItsOwnTrashOrSaysWhyNot) {
    const std::string uid = std::to_string(::getuid());
    struct Case {
        const char* name;
        void (*prepare)(const fs::path& volume);
        const char* trash;  // relative to the volume; nothing when it must fail
        bool readOnly = false;
    };
    const Case cases[] = {
        {"plain volume", [](const fs::path&) {}, ".Trash-U"},
        {"shared sticky .Trash",
         [](const fs::path& v) {
             fs::create_directory(v / ".Trash");
             ::chmod((v / ".Trash").c_str(), 01777);
         },
         ".Trash/U"},
        {"shared .Trash without the sticky bit",
         [](const fs::path& v) {
             fs::create_directory(v / ".Trash");
             ::chmod((v / ".Trash").c_str(), 0777);
         },
         ".Trash-U"},
        {"a planted link as .Trash-<uid>",
         [](const fs::path& v) {
             fs::create_directory(v / "elsewhere");
             fs::create_directory_symlink(v / "elsewhere", v / (".Trash-" + std::to_string(::getuid())));
         },
         nullptr},
        {"read-only volume", [](const fs::path&) {}, nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path volume = root / "volume";
        platformtest::TmpfsMount mount(volume);
        if (!mount.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
        c.prepare(volume);
        const fs::path item = volume / "My Files" / "big file.iso";
        writeFile(item, "iso");
        if (c.readOnly) {
            ASSERT_TRUE(mount.makeReadOnly());
        }

        const auto r = Trash::moveToTrash(item);
        if (!c.trash) {
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.error, "can't move to the Trash: it lies on another volume that has no Trash");
            EXPECT_EQ(readFile(item), "iso");
            EXPECT_FALSE(Platform::FileOps::exists(Locations::trashInfo() / "big file.iso.trashinfo"));
            EXPECT_FALSE(Platform::FileOps::exists(fs::current_path() / "big file.iso"));
            continue;
        }
        ASSERT_TRUE(r.ok) << r.error;
        const fs::path trash = volume / std::regex_replace(c.trash, std::regex("U"), uid);
        EXPECT_EQ(r.trashedPath, trash / "files" / "big file.iso");
        EXPECT_EQ(readFile(r.trashedPath), "iso");
        EXPECT_EQ(pathValue(infoOf(r.trashedPath)), "My%20Files/big%20file.iso");
        EXPECT_EQ(modeOf(trash), 0700u);
        EXPECT_EQ(modeOf(trash / "files"), 0700u);
        EXPECT_FALSE(Platform::FileOps::exists(Locations::trash())) << "the home Trash is not involved";
        if (::access("/usr/bin/trash-list", X_OK) == 0) {
            const auto list = platformtest::run({"/usr/bin/trash-list"}, {{"HOME", home.native()}});
            EXPECT_NE(list.output.find(" " + item.native() + "\n"), std::string::npos) << list.output;
        }

        EXPECT_EQ(Trash::moveToTrash(trash).error, "can't move the Trash to the Trash");
        EXPECT_TRUE(Trash::removeTrashedEntry(r.trashedPath));
        EXPECT_TRUE(fs::is_empty(trash / "files"));
        EXPECT_TRUE(fs::is_empty(trash / "info"));
    }
}
