#include "Platform/Autostart.h"
#include "Platform/PlatformTestSupport.h"

#include <gtest/gtest.h>

namespace Autostart = Platform::Autostart;
using platformtest::readFile;
namespace fs = std::filesystem;

TEST(Autostart, RemovingDeletesTheUsersEntryAndHidesASystemOne) {
    // A user folder over two system folders, the first of which wins over the second.
    platformtest::TempDir tmp;
    const fs::path user = tmp / "config/autostart", first = tmp / "xdg1/autostart", second = tmp / "xdg2/autostart";
    const std::vector<fs::path> system{first, second};
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
        platformtest::writeFile(file, std::string("[Desktop Entry]\nType=Application\nExec=tool\n") + keys);
    fs::create_directories(user / "folder.desktop");
    const auto items = [&] { return Autostart::loginItems(user, system).items; };
    EXPECT_EQ(items(), (std::vector<Autostart::Item>{{"noname", user / "noname.desktop"}, {"Own", user / "own.desktop"},
                                                     {"New", user / "shadow.desktop"}, {"Two Words", user / "spaced.desktop"},
                                                     {"System Thing", first / "sys.desktop"}}));
    // A user folder that cannot be read (a link loop) is an error.
    fs::create_directory_symlink("loop", tmp / "loop");
    EXPECT_NE(Autostart::loginItems(tmp / "loop", {}).error.value_or("").find("loop"), std::string::npos);

    const std::string systemEntry = readFile(first / "sys.desktop");
    // Deleting the user's "New" would bring the system's "Old" back: it is hidden, as a system entry is.
    for (const char* name : {"Own", "System Thing", "New"}) ASSERT_TRUE(Autostart::remove(name, user, system)) << name;
    EXPECT_FALSE(fs::exists(user / "own.desktop"));
    for (const char* hiding : {"sys.desktop", "shadow.desktop"})
        EXPECT_NE(readFile(user / hiding).find("Hidden=true\n"), std::string::npos) << hiding;
    EXPECT_EQ(readFile(first / "sys.desktop"), systemEntry);
    EXPECT_EQ(items(), (std::vector<Autostart::Item>{{"noname", user / "noname.desktop"},
                                                     {"Two Words", user / "spaced.desktop"}}));
}
