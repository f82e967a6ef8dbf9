#include "Platform/DesktopEntry.h"
#include "Platform/LoginItemService.h"
#include "Platform/PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>

namespace DesktopEntry = Platform::DesktopEntry;
using Platform::LoginItemService;
using Status = LoginItemService::Status;
using platformtest::readFile;
using platformtest::ScopedEnv;
using platformtest::TempDir;
using platformtest::writeFile;
using platformtest::writeScript;
namespace fs = std::filesystem;

namespace {
struct AutostartTree {
    TempDir tmp;
    fs::path program = tmp / "bin/Quelto";
    fs::path entry = tmp / "config/autostart/quelto.desktop";
    LoginItemService service{entry, program};
    AutostartTree() { writeScript(program, ""); }
};
}  // namespace

TEST(LoginItemService, DefaultEntryIsInTheAutostartFolderOfConfigHome) {
    TempDir tmp;
    ScopedEnv xdg("XDG_CONFIG_HOME", tmp.path().string());
    EXPECT_EQ(LoginItemService::defaultEntryFile(), tmp / "autostart/quelto.desktop");
}

TEST(LoginItemService, RegisterWritesAnAutostartEntryThatStartsThisProgramAsALoginItem) {
    AutostartTree s;
    ASSERT_EQ(s.service.status(), Status::notRegistered);
    const auto result = s.service.registerItem();
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(s.service.status(), Status::enabled);
    EXPECT_EQ(readFile(s.entry), "[Desktop Entry]\n"
                                 "Type=Application\n"
                                 "Name=Quelto\n"
                                 "Exec=\"" + s.program.string() + "\" --login-item\n"
                                 "Terminal=false\n"
                                 "X-GNOME-Autostart-enabled=true\n");
    EXPECT_EQ(fs::status(s.entry).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(s.entry.parent_path()), fs::directory_iterator()), 1);

    ASSERT_TRUE(s.service.unregisterItem().ok);
    EXPECT_FALSE(fs::exists(s.entry));
    EXPECT_EQ(s.service.status(), Status::notRegistered);
    EXPECT_TRUE(s.service.unregisterItem().ok);  // nothing left to remove
}

TEST(LoginItemService, ExecArgumentsAreQuotedSoAnyPathComesBackWhole) {
    const std::string paths[] = {
        "/opt/Quelto/Quelto",
        "/home/al/My Apps/Quelto",
        "/tmp/a\"b`c$d\\e/Quelto",
        "/tmp/100%/Quelto",
        "/tmp/tab\there/new\nline/Quelto",
        "/tmp/'single';&|<>()*?#~/Quelto",
    };
    for (const auto& p : paths) {
        SCOPED_TRACE(p);
        const std::string exec = DesktopEntry::quotedExecArgument(p) + " --login-item";
        EXPECT_EQ(exec.find('\n'), std::string::npos);
        EXPECT_EQ(DesktopEntry::execArguments(exec), (std::vector<std::string>{p, "--login-item"}));
    }
    EXPECT_EQ(DesktopEntry::quotedExecArgument("/a b/$x%"), "\"/a b/\\\\$x%%\"");
}

TEST(LoginItemService, StatusFollowsTheEntryOnDisk) {
    struct Case { const char* name; std::string entry; Status expected; };
    AutostartTree s;
    const std::string exec = "Exec=" + DesktopEntry::quotedExecArgument(s.program.string()) + " --login-item\n";
    const Case cases[] = {
        {"ours", "[Desktop Entry]\n" + exec, Status::enabled},
        {"unquoted path", "[Desktop Entry]\nExec=" + s.program.string() + " --login-item\n", Status::enabled},
        {"switched off by the desktop", "[Desktop Entry]\n" + exec + "X-GNOME-Autostart-enabled=false\n",
         Status::requiresApproval},
        {"hidden", "[Desktop Entry]\n" + exec + "Hidden=true\n", Status::requiresApproval},
        {"another copy of Quelto", "[Desktop Entry]\nExec=\"/elsewhere/Quelto\" --login-item\n", Status::notRegistered},
        {"Exec in another group", "[Desktop Action x]\n" + exec, Status::notRegistered},
        {"empty", "", Status::notRegistered},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(s.entry, c.entry);
        EXPECT_EQ(s.service.status(), c.expected);
    }
}

// A FIFO at the entry's place must not stall the settings screen that asks.
TEST(LoginItemService, AnEntryThatIsNotARegularFileIsNotRegistered) {
    AutostartTree s;
    fs::create_directories(s.entry.parent_path());
    ASSERT_EQ(::mkfifo(s.entry.c_str(), 0600), 0);
    auto status = std::async(std::launch::async, [&] { return s.service.status(); });
    if (status.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        ADD_FAILURE() << "reading a FIFO blocked";
        ::close(::open(s.entry.c_str(), O_WRONLY | O_NONBLOCK));  // lets the reader go
    }
    EXPECT_EQ(status.get(), Status::notRegistered);
}

TEST(LoginItemService, RegisteringOverASwitchedOffEntryEnablesIt) {
    AutostartTree s;
    writeFile(s.entry, "[Desktop Entry]\nExec=\"" + s.program.string() + "\"\nHidden=true\n");
    ASSERT_EQ(s.service.status(), Status::requiresApproval);
    ASSERT_TRUE(s.service.registerItem().ok);
    EXPECT_EQ(s.service.status(), Status::enabled);
}

TEST(LoginItemService, AMissingProgramIsNotFoundAndCannotBeRegistered) {
    TempDir tmp;
    LoginItemService service(tmp / "autostart/quelto.desktop", tmp / "gone/Quelto");
    EXPECT_EQ(service.status(), Status::notFound);
    const auto result = service.registerItem();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("gone/Quelto"), std::string::npos);
    EXPECT_FALSE(fs::exists(tmp / "autostart"));
}

TEST(LoginItemService, WriteFailuresComeBackAsTextNotExceptions) {
    AutostartTree s;
    writeFile(s.tmp / "config/autostart", "a file where the folder should be");
    const auto result = s.service.registerItem();
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
}

TEST(LoginItemService, OnlyTheLoginItemArgumentTellsALoginLaunch) {
    const char* atLogin[] = {"/opt/Quelto", "--login-item"};
    const char* byHand[] = {"/opt/Quelto"};
    const char* asProgramName[] = {"--login-item"};
    const char* lookalike[] = {"/opt/Quelto", "--login-items"};
    EXPECT_TRUE(Platform::launchedAsLoginItem(2, atLogin));
    EXPECT_FALSE(Platform::launchedAsLoginItem(1, byHand));
    EXPECT_FALSE(Platform::launchedAsLoginItem(1, asProgramName));
    EXPECT_FALSE(Platform::launchedAsLoginItem(2, lookalike));
    EXPECT_TRUE(Platform::launchedAsLoginItem(std::vector<std::string>{"Quelto", "-x", "--login-item"}));
    EXPECT_FALSE(Platform::launchedAsLoginItem(std::vector<std::string>{}));
}
