#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <future>

#include "Platform/PlatformTestSupport.h"
#include "Platform/Workspace.h"
#include "Support/PeakMemory.h"

namespace Workspace = Platform::Workspace;
using platformtest::ScopedEnv;
using platformtest::TempDir;
using platformtest::writeFile;
namespace fs = std::filesystem;

namespace {
struct Fixture {
    TempDir tmp;
    fs::path proc = tmp / "proc";
    fs::path userApps = tmp / "data/applications";
    fs::path systemApps = tmp / "share/applications";
    std::vector<fs::path> dirs() const { return {userApps, systemApps}; }

    void process(int pid, const std::string& comm, const std::string& cmdline, const std::string& exe = {}) const {
        const fs::path p = proc / std::to_string(pid);
        writeFile(p / "comm", comm + "\n");
        writeFile(p / "cmdline", cmdline);
        if (!exe.empty()) fs::create_symlink(exe, p / "exe");
    }
    void desktop(const fs::path& file, const std::string& body) const {
        writeFile(file, "[Desktop Entry]\nType=Application\n" + body);
    }
};

const Workspace::RunningApp* byPid(const std::vector<Workspace::RunningApp>& apps, pid_t pid) {
    for (const auto& a : apps)
        if (a.pid == pid) return &a;
    return nullptr;
}
}  // namespace

TEST(Workspace, RunningApplicationsAreTheUsersProcessesMatchedToDesktopFiles) {
    Fixture f;
    f.desktop(f.systemApps / "com.slack.Slack.desktop", "Name=Slack\nExec=/opt/Slack/slack %U\n");
    f.desktop(f.systemApps / "org.gimp.GIMP.desktop", "Name=GIMP\nExec=\"gimp-2.10\" %U\n");
    f.desktop(f.systemApps / "org.telegram.desktop.desktop", "Name=Telegram\nExec=telegram-desktop -- %u\n");
    f.desktop(f.systemApps / "firefox.desktop", "Name=Firefox\nExec=/usr/lib/firefox/launcher\nStartupWMClass=Firefox-ESR\n");
    f.desktop(f.systemApps / "kde/konsole.desktop", "Name=Konsole\nExec=konsole\n");
    f.desktop(f.userApps / "com.slack.Slack.desktop", "Name=Slack (mine)\nExec=slack\n");  // shadows the system one
    f.desktop(f.userApps / "org.gimp.GIMP.desktop", "Hidden=true\n");                   // the user removed it

    f.process(100, "slack", std::string("slack\0--foo\0", 12), "/opt/Slack/slack");
    f.process(101, "gimp-2.10", std::string("gimp-2.10\0", 10));
    f.process(102, "telegram-deskto", std::string("telegram-desktop\0", 17));  // comm keeps 15 bytes
    f.process(103, "firefox-esr", std::string("firefox-esr\0", 12), "/usr/lib/firefox-esr/firefox-esr (deleted)");
    f.process(104, "konsole", std::string("konsole\0", 8), "/usr/bin/konsole");
    f.process(105, "kthreadd", "");  // a kernel thread has no command line
    f.process(106, "bash", std::string("bash\0", 5), "/usr/bin/bash");
    writeFile(f.proc / "self/comm", "tests\n");
    writeFile(f.proc / "stat", "cpu 1 2 3\n");

    const auto apps = Workspace::runningApplications(f.proc, f.dirs(), ::getuid());
    ASSERT_EQ(apps.size(), 6u);
    struct Expect {
        pid_t pid;
        const char* name;
        std::optional<std::string> bundleID;
        std::optional<std::string> title;
    } expected[] = {
        {100, "slack", "com.slack.Slack", "Slack (mine)"},
        {101, "gimp-2.10", std::nullopt, std::nullopt},  // its only entry is hidden by the user's
        {102, "telegram-deskto", "org.telegram.desktop", "Telegram"},
        {103, "firefox-esr", "firefox", "Firefox"},
        {104, "konsole", "kde-konsole", "Konsole"},
        {106, "bash", std::nullopt, std::nullopt},
    };
    for (const auto& e : expected) {
        const auto* app = byPid(apps, e.pid);
        ASSERT_TRUE(app) << e.pid;
        EXPECT_EQ(app->name, e.name) << e.pid;
        EXPECT_EQ(app->bundleID, e.bundleID) << e.pid;
        EXPECT_EQ(app->title, e.title) << e.pid;
    }
    EXPECT_EQ(Workspace::runningBundleIDs(apps),
              (std::set<std::string>{"com.slack.Slack", "firefox", "kde-konsole", "org.telegram.desktop"}));
    EXPECT_EQ(Workspace::runningNames(apps),
              (std::set<std::string>{"Firefox", "Konsole", "Slack (mine)", "Telegram", "bash", "firefox-esr",
                                     "gimp-2.10", "konsole", "slack", "telegram-deskto"}));
}

TEST(Workspace, OtherUsersProcessesAreLeftOut) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a process folder to another user";
    Fixture f;
    f.process(200, "mine", std::string("mine\0", 5));
    f.process(201, "theirs", std::string("theirs\0", 7));
    ASSERT_EQ(::chown((f.proc / "201").c_str(), 4321, 4321), 0);
    const auto apps = Workspace::runningApplications(f.proc, f.dirs(), ::getuid());
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0].name, "mine");
}

TEST(Workspace, MissingProcFolderMeansNothingRuns) {
    Fixture f;
    EXPECT_TRUE(Workspace::runningApplications(f.proc, f.dirs()).empty());
}

TEST(Workspace, ApplicationLookupAndDisplayNames) {
    Fixture f;
    f.desktop(f.systemApps / "org.example.Notes.desktop", "Name=Notes\nName[de]=Notizen\nExec=notes\n");
    f.desktop(f.systemApps / "org.example.Shadowed.desktop", "Name=System copy\n");
    f.desktop(f.userApps / "org.example.Shadowed.desktop", "Name=User copy\n");
    f.desktop(f.systemApps / "org.example.Gone.desktop", "Name=Gone\n");
    f.desktop(f.userApps / "org.example.Gone.desktop", "Hidden=true\n");
    f.desktop(f.systemApps / "kde/org.kde.dolphin.desktop", "Exec=dolphin\n");
    writeFile(f.systemApps / "org.example.Notes.txt", "not an application");

    struct Case {
        std::string id;
        std::optional<fs::path> url;
        const char* displayName;
    } cases[] = {
        {"org.example.Notes", f.systemApps / "org.example.Notes.desktop", "Notes"},
        {"org.example.Shadowed", f.userApps / "org.example.Shadowed.desktop", "User copy"},
        {"kde-org.kde.dolphin", f.systemApps / "kde/org.kde.dolphin.desktop", "org.kde.dolphin"},  // no Name=
        {"org.example.Gone", std::nullopt, nullptr},
        {"org.example.Missing", std::nullopt, nullptr},
        {"kde/org.kde.dolphin", std::nullopt, nullptr},
        {"", std::nullopt, nullptr},
    };
    std::set<std::string> ids;
    std::map<std::string, fs::path> installed;
    for (const auto& c : cases) {
        const auto url = Workspace::urlForApplication(c.id, f.dirs());
        EXPECT_EQ(url, c.url) << c.id;
        if (url && c.displayName) {
            EXPECT_EQ(Workspace::displayName(*url), c.displayName) << c.id;
        }
        ids.insert(c.id);
        if (c.url) installed[c.id] = *c.url;
    }
    // All of them at once, as one pass over the folders finds them.
    EXPECT_EQ(Workspace::urlsForApplications(ids, f.dirs()), installed);
    EXPECT_EQ(Workspace::displayName("/some/folder/Report.pdf"), "Report.pdf");
}

TEST(Workspace, ApplicationFoldersFollowTheXdgVariables) {
    TempDir tmp;
    {
        ScopedEnv data("XDG_DATA_HOME", (tmp / "data").string());
        ScopedEnv dirs("XDG_DATA_DIRS", "/opt/share:relative/ignored::/usr/share");
        EXPECT_EQ(Workspace::applicationDirectories(),
                  (std::vector<fs::path>{tmp / "data/applications", "/opt/share/applications",
                                         "/usr/share/applications"}));
    }
    ScopedEnv home("HOME", tmp.path().string());
    ScopedEnv data("XDG_DATA_HOME", std::nullopt);
    ScopedEnv dirs("XDG_DATA_DIRS", std::nullopt);
    EXPECT_EQ(Workspace::applicationDirectories(),
              (std::vector<fs::path>{tmp / ".local/share/applications", "/usr/local/share/applications",
                                     "/usr/share/applications"}));
}

// A FIFO named like a desktop file must not stall the lookups, which run
// when a scan starts.
TEST(Workspace, DesktopFilesThatAreNotRegularFilesAreIgnored) {
    Fixture f;
    f.desktop(f.systemApps / "org.example.Notes.desktop", "Name=Notes\nExec=notes\n");
    fs::create_directories(f.userApps);
    const fs::path fifo = f.userApps / "org.example.Notes.desktop";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    f.process(300, "notes", std::string("notes\0", 6));

    auto lookups = std::async(std::launch::async, [&] {
        return std::make_pair(Workspace::runningApplications(f.proc, f.dirs(), ::getuid()),
                              Workspace::urlForApplication("org.example.Notes", f.dirs()));
    });
    if (lookups.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        ADD_FAILURE() << "reading a FIFO blocked";
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // lets the reader go
    }
    const auto [apps, url] = lookups.get();
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0].bundleID, "org.example.Notes");
    EXPECT_EQ(apps[0].title, "Notes");
    EXPECT_EQ(url, f.systemApps / "org.example.Notes.desktop");
}

// Applications folders laid out to cost the index as much as they can, each read in a
// child of its own with its time and resident growth measured.
TEST(Workspace, TheIndexKeepsItsBoundWhateverTheApplicationsFoldersHold) {
    const auto entry = [](const fs::path& file, const std::string& name) {
        writeFile(file, "[Desktop Entry]\nName=" + name + "\nExec=" + name + "\n");
    };
    const struct {
        const char* name;
        std::function<void(const fs::path&)> lay;
        std::string found;  // the ids read, or how many
    } cases[] = {
        {"a folder holding 8 links to itself",
         [&](const fs::path& apps) {
             entry(apps / "notes.desktop", "Notes");
             for (int i = 0; i < 8; ++i) fs::create_directory_symlink(".", apps / ("self" + std::to_string(i)));
         },
         "kde-konsole notes "},
        {"a link cycle through a sub-folder",
         [&](const fs::path& apps) {
             entry(apps / "notes.desktop", "Notes");
             fs::create_directory_symlink("..", apps / "kde/up");
         },
         "kde-konsole notes "},
        {"20,000 entries of 256 KiB of short lines",
         [&](const fs::path& apps) {
             std::string text = "[Desktop Entry]\nName=App\nExec=app\n";
             while (text.size() < 256 * 1024) text += "a=b\n";
             writeFile(apps / "app.desktop", text);
             for (int i = 1; i < 20000; ++i)
                 fs::create_hard_link(apps / "app.desktop", apps / ("app" + std::to_string(i) + ".desktop"));
         },
         "20001 "},
    };
    for (const auto& c : cases) {
        TempDir tmp;
        const fs::path apps = tmp / "applications";
        entry(apps / "kde/konsole.desktop", "Konsole");
        c.lay(apps);
        const auto peak = peakmemory::measure([&] {
            std::vector<std::string> ids;
            for (const auto& app : Workspace::installedApplications({apps})) ids.push_back(app.id + " ");
            if (ids.size() > 100) return std::to_string(ids.size()) + " ";
            std::sort(ids.begin(), ids.end());
            return std::accumulate(ids.begin(), ids.end(), std::string());
        }, 20);
        ASSERT_TRUE(peak) << c.name << ": over 20 s";
        EXPECT_EQ(peak->said, c.found) << c.name;
        EXPECT_LT(peak->seconds, peakmemory::kBoundSeconds) << c.name;
        EXPECT_LT(peak->growthKiB, peakmemory::kBoundKiB) << c.name;
    }
}

// An id follows where a desktop file lies, never the order in which a folder lists its
// entries (on a tmpfs, the order they were made in): a real folder gives its own name,
// a folder reached only through links the first link's name.
TEST(Workspace, IdsDoNotDependOnTheOrderAFolderIsListedIn) {
    const struct {
        const char* name;
        const char* link;  // to the real folder kde
        bool linksFirst;
    } cases[] = {
        {"link a, made first", "a", true},
        {"link a, made last", "a", false},
        {"link zz, made first", "zz", true},
        {"link zz, made last", "zz", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir tmp(TempDir::inMemory);
        const fs::path apps = tmp / "applications", elsewhere = tmp / "elsewhere";
        writeFile(elsewhere / "tool.desktop", "[Desktop Entry]\nName=Tool\n");
        fs::create_directories(apps);
        std::vector<std::pair<fs::path, const char*>> links = {
            {"kde", c.link}, {elsewhere, "tools-2"}, {elsewhere, "tools-1"}};
        if (!c.linksFirst) std::reverse(links.begin(), links.end());
        const auto makeLinks = [&] {
            for (const auto& [target, name] : links) fs::create_directory_symlink(target, apps / name);
        };
        if (c.linksFirst) makeLinks();
        writeFile(apps / "kde/konsole.desktop", "[Desktop Entry]\nName=Konsole\n");
        if (!c.linksFirst) makeLinks();

        std::set<std::string> ids;
        for (const auto& app : Workspace::installedApplications({apps})) ids.insert(app.id);
        EXPECT_EQ(ids, (std::set<std::string>{"kde-konsole", "tools-1-tool"}));
        EXPECT_EQ(Workspace::urlForApplication("kde-konsole", {apps}), apps / "kde/konsole.desktop");
    }
}
