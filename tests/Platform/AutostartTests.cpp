#include "Platform/Autostart.h"
#include "Platform/LoginItemService.h"
#include "Platform/PlatformTestSupport.h"

#include <gtest/gtest.h>

namespace Autostart = Platform::Autostart;
using platformtest::readFile;
using platformtest::ScopedEnv;
using platformtest::TempDir;
using platformtest::writeFile;
namespace fs = std::filesystem;

namespace {
// A user folder over two system folders, the first of which wins over the second.
struct Session {
    TempDir tmp;
    fs::path user = tmp / "config/autostart";
    fs::path first = tmp / "xdg1/autostart";
    fs::path second = tmp / "xdg2/autostart";
    std::vector<fs::path> system{first, second};

    Session() {
        const std::pair<fs::path, const char*> entries[] = {
            {user / "own.desktop", "Name=Own\n"}, {user / "noname.desktop", ""},
            {user / "spaced.desktop", "Name=Two\\sWords\n"}, {user / "notes.txt", "Name=Notes\n"},
            // The user's entry of a name wins, even when it hides it.
            {user / "shadow.desktop", "Name=New\n"}, {first / "shadow.desktop", "Name=Old\n"},
            {user / "over.desktop", "Hidden=true\n"}, {first / "over.desktop", "Name=Overridden\n"},
            {first / "sys.desktop", "Name=System Thing\n"}, {second / "sys.desktop", "Name=Lower\n"},
            {first / "hidden.desktop", "Name=Hidden\nHidden=true\n"},
            {first / "off.desktop", "Name=Off\nX-GNOME-Autostart-enabled=false\n"},
        };
        for (const auto& [file, keys] : entries)
            writeFile(file, std::string("[Desktop Entry]\nType=Application\nExec=tool\n") + keys);
        fs::create_directories(user / "folder.desktop");
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& i : Autostart::loginItems(user, system).items) out.push_back(i.name);
        return out;
    }
};
}  // namespace

TEST(Autostart, ListsWhatTheSessionStartsWithUserEntriesOverridingSystemOnes) {
    Session s;
    const auto listing = Autostart::loginItems(s.user, s.system);
    EXPECT_FALSE(listing.error);
    const std::vector<Autostart::Item> expected = {
        {"noname", s.user / "noname.desktop"},  {"Own", s.user / "own.desktop"},
        {"New", s.user / "shadow.desktop"},     {"Two Words", s.user / "spaced.desktop"},
        {"System Thing", s.first / "sys.desktop"},
    };
    EXPECT_EQ(listing.items, expected);

    // A user folder that cannot be read (a link loop) is an error; a missing one is empty.
    fs::create_directory_symlink("loop", s.tmp / "loop");
    const auto broken = Autostart::loginItems(s.tmp / "loop", s.system);
    EXPECT_TRUE(broken.items.empty());
    EXPECT_NE(broken.error.value_or("").find((s.tmp / "loop").string()), std::string::npos);
    EXPECT_FALSE(Autostart::loginItems(s.tmp / "none", {s.tmp / "none2"}).error);
}

TEST(Autostart, RemovingDeletesTheUsersEntryAndHidesASystemOne) {
    struct Case {
        const char* name;
        const char* file;
        bool deleted;  // else a hiding user entry takes its place
    } cases[] = {
        {"Own", "own.desktop", true},
        {"System Thing", "sys.desktop", false},
        // Deleting this one would bring the system entry "Old" back.
        {"New", "shadow.desktop", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session s;
        const std::string systemCopy = readFile(s.first / "sys.desktop");
        ASSERT_TRUE(Autostart::remove(c.name, s.user, s.system));
        const fs::path mine = s.user / c.file;
        if (c.deleted) {
            EXPECT_FALSE(fs::exists(mine));
        } else {
            EXPECT_NE(readFile(mine).find("Hidden=true\n"), std::string::npos);
        }
        EXPECT_EQ(readFile(s.first / "sys.desktop"), systemCopy);  // never touched
        const auto names = s.names();
        EXPECT_EQ(std::count(names.begin(), names.end(), c.name), 0);
        EXPECT_EQ(std::count(names.begin(), names.end(), "Old"), 0);
        EXPECT_EQ(names.size(), 4u);
    }
    Session s;
    EXPECT_FALSE(Autostart::remove("Nobody", s.user, s.system));
    EXPECT_FALSE(Autostart::remove("Hidden", s.user, s.system));
}

TEST(Autostart, FoldersComeFromTheConfigVariablesAndQueltosOwnEntryIsListed) {
    TempDir tmp;
    ScopedEnv config("XDG_CONFIG_HOME", (tmp / "config").string());
    {
        ScopedEnv dirs("XDG_CONFIG_DIRS", std::nullopt);
        EXPECT_EQ(Autostart::systemFolders(), std::vector<fs::path>{"/etc/xdg/autostart"});
    }
    ScopedEnv dirs("XDG_CONFIG_DIRS", (tmp / "a").string() + ":relative::" + (tmp / "b").string());
    EXPECT_EQ(Autostart::systemFolders(), (std::vector<fs::path>{tmp / "a/autostart", tmp / "b/autostart"}));
    EXPECT_EQ(Autostart::userFolder(), tmp / "config/autostart");

    platformtest::writeScript(tmp / "bin/Quelto", "");
    Platform::LoginItemService own(Platform::LoginItemService::defaultEntryFile(), tmp / "bin/Quelto");
    ASSERT_TRUE(own.registerItem().ok);
    const auto listing = Autostart::loginItems();
    ASSERT_EQ(listing.items.size(), 1u);
    EXPECT_EQ(listing.items[0].name, "Quelto");
    ASSERT_TRUE(Autostart::remove("Quelto"));
    EXPECT_EQ(own.status(), Platform::LoginItemService::Status::notRegistered);
}
