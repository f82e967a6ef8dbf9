#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "Core/Status/Optimizer.h"
#include "Platform/Programs.h"
#include "Support/TestTree.h"

using namespace testtree;
using Optimizer::Action;
using Platform::Program;
namespace Programs = Platform::Programs;

namespace {
// A home of its own, and every program of the task table pointed into the fixture:
// a program is "installed" when a fake executable stands at its path.
struct TaskMachine {
    TempDir tmp;
    fs::path home = tmp / "home";
    ScopedEnv envHome{"HOME", home.string()};
    ScopedEnv envData{"XDG_DATA_HOME", (home / ".local/share").string()};
    ScopedEnv envCache{"XDG_CACHE_HOME", (home / ".cache").string()};
    static constexpr Program programs[] = {Program::brew,   Program::docker,  Program::resolvectl,
                                           Program::updateDesktopDatabase,    Program::fcCache,
                                           Program::networkctl, Program::nmcli, Program::sqlite3,
                                           Program::pgrep};
    TaskMachine() {
        fs::create_directories(home);
        for (Program p : programs) Programs::setPathForTesting(p, (tmp / "bin" / name(p)).string());
    }
    ~TaskMachine() { Programs::resetForTesting(); }
    static std::string name(Program p) { return "program-" + std::to_string(static_cast<int>(p)); }
    fs::path install(Program p, const std::string& body = "exit 0\n") {
        return writeScript(tmp / "bin" / name(p), body);
    }
    Action task(const std::string& id) const {
        for (const auto& a : Optimizer::table(home, 1234))
            if (a.id == id) return a;
        ADD_FAILURE() << "no task " << id;
        return {};
    }
};

std::vector<std::string> ids(const std::vector<Action>& list, bool (*keep)(const Action&)) {
    std::vector<std::string> out;
    for (const auto& a : list)
        if (keep(a)) out.push_back(a.id);
    return out;
}
}  // namespace

TEST(Optimizer, TheTableHoldsTheFourteenTasksInOrder) {
    TaskMachine m;
    const auto table = Optimizer::table(m.home, 1234);
    EXPECT_EQ(ids(table, [](const Action&) { return true; }),
              (std::vector<std::string>{"dns", "quicklook", "launchservices", "dsstore", "savedstate", "simulators",
                                        "brew", "docker", "prefs", "mail", "spotlight", "fonts", "dhcp",
                                        "permissions"}));
    EXPECT_EQ(ids(table, [](const Action& a) { return a.selectedByDefault; }),
              (std::vector<std::string>{"quicklook", "launchservices", "dsstore", "savedstate", "simulators", "brew",
                                        "prefs"}));
    EXPECT_EQ(ids(table, [](const Action& a) { return a.needsAdmin; }),
              (std::vector<std::string>{"dns", "spotlight", "dhcp", "permissions"}));
    for (const auto& a : table) EXPECT_FALSE(a.title.empty() || a.detail.empty() || a.command.empty()) << a.id;
    EXPECT_EQ(m.task("permissions").command, "/usr/sbin/diskutil resetUserPermissions / 1234");
}

TEST(Optimizer, OnlyTasksWhoseProgramOrFolderIsHereAreOffered) {
    struct Case {
        const char* name;
        std::vector<Program> installed;
        std::vector<const char*> folders;  // below the home folder
        std::vector<std::string> offered;
    };
    const Case cases[] = {
        {"a bare machine", {}, {}, {"quicklook"}},
        {"this platform's tools",
         {Program::resolvectl, Program::updateDesktopDatabase, Program::fcCache, Program::networkctl, Program::docker,
          Program::brew},
         {},
         {"dns", "quicklook", "launchservices", "brew", "docker", "fonts", "dhcp"}},
        {"a Mac's folders in the home",
         {},
         {"Library/Saved Application State", "Library/Preferences", "Library/Mail"},
         {"quicklook", "savedstate", "prefs", "mail"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TaskMachine m;
        for (Program p : c.installed) m.install(p);
        for (const char* f : c.folders) fs::create_directories(m.home / f);
        std::vector<std::string> offered;
        for (const auto& a : Optimizer::table(m.home, 1234))
            if (Optimizer::isOffered(a)) offered.push_back(a.id);
        EXPECT_EQ(offered, c.offered);
    }
}

TEST(Optimizer, ReadsEachTasksReportFromTheBatchOutput) {
    const std::vector<Action> tasks = {{"dns", "", "", "", true, {}, false}, {"dhcp", "", "", "", true, {}, false}};
    struct Case {
        const char* name;
        std::string output;
        std::vector<std::tuple<std::string, bool, std::string>> outcomes;
    };
    const Case cases[] = {
        {"carriage returns", "a\rb\r__QUELTO_DONE__ dns 0\r__QUELTO_DONE__ dhcp 1\r",
         {{"dns", true, "a\nb"}, {"dhcp", false, ""}}},
        {"line feeds and padding", "  x  \n\n__QUELTO_DONE__   dhcp   0\n", {{"dhcp", true, "x"}}},
        {"an unknown id empties the buffer", "lost\n__QUELTO_DONE__ fonts 0\nmine\n__QUELTO_DONE__ dns 2\n",
         {{"dns", false, "mine"}}},
        {"a marker of two words empties it too", "lost\n__QUELTO_DONE__ dns\n__QUELTO_DONE__ dhcp 0\n",
         {{"dhcp", true, ""}}},
        {"a missing marker gives no outcome", "half done\n", {}},
        {"text after the last marker is dropped", "__QUELTO_DONE__ dns 0\ntrailing\n", {{"dns", true, ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::tuple<std::string, bool, std::string>> got;
        for (const auto& o : Optimizer::reportedOutcomes(tasks, c.output)) got.emplace_back(o.action.id, o.ok, o.output);
        EXPECT_EQ(got, c.outcomes);
    }
    EXPECT_EQ(Optimizer::batchScript({tasks[0]}), "{  ; } 2>&1; printf '\\n%s\\n' \"__QUELTO_DONE__ dns $?\"");
}

namespace {
struct AdminBatch : ::testing::Test {
    ScopedEnv noEscalation{"QUELTO_OSASCRIPT_NO_ESCALATION", "1"};
    static Action admin(const std::string& id, const std::string& command) { return {id, id, "", command, true, {}, false}; }
};
}  // namespace

TEST_F(AdminBatch, CommandsReachTheShellByteForByte) {
    TempDir t;
    writeFile(t / "route", "Iface\tDestination\tGateway\nlo\t0000007F\t00000000\neth9\t00000000\t0102A8C0\n");
    const std::string heredoc = "a \"quoted\" \\back\\slash\\\\ 'single' $? $HOME `tick` \\\"";
    const std::vector<Action> tasks = {
        admin("verbatim", "cat <<'END'\n" + heredoc + "\nEND\ntrue"),
        // Output without a final newline keeps its report.
        admin("quotes", "printf '%s' \"it's \\\"q\\\" \\\\ \\$?\""),
        admin("status", "false; echo \"status $?\""),
        admin("route", "awk '$2 == \"00000000\" { print $1; exit }' " + shellQuoted(t / "route")),
    };
    const auto outcomes = Optimizer::runAsAdmin(tasks);
    ASSERT_EQ(outcomes.size(), 4u);
    const std::string expected[] = {heredoc, "it's \"q\" \\ $?", "status 1", "eth9"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(outcomes[i].action, tasks[i]);
        EXPECT_TRUE(outcomes[i].ok) << outcomes[i].output;
        EXPECT_EQ(outcomes[i].output, expected[i]);
    }
}

TEST_F(AdminBatch, AFailedPromptFailsEveryTaskWithOneMessage) {
    TempDir t;
    const std::vector<Action> tasks = {admin("a", "touch " + shellQuoted(t / "a")), admin("b", "true")};
    struct Case {
        const char* name;
        const char* cancel;
        std::string osascript;  // empty: the stand-in
        std::string message;
    };
    const Case cases[] = {
        {"dismissed", "1", "", "Password prompt cancelled"},
        {"osascript fails", nullptr, writeScript(t / "fails", "echo 'boom (-1)'; exit 1\n").string(), "boom (-1)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv cancel("QUELTO_OSASCRIPT_CANCEL", c.cancel ? std::optional<std::string>(c.cancel) : std::nullopt);
        Programs::setPathForTesting(Program::osascript, c.osascript);
        const auto outcomes = Optimizer::runAsAdmin(tasks);
        Programs::setPathForTesting(Program::osascript, "");
        ASSERT_EQ(outcomes.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(outcomes[i].action.id, tasks[i].id);
            EXPECT_FALSE(outcomes[i].ok);
            EXPECT_EQ(outcomes[i].output, c.message);
        }
        EXPECT_FALSE(fs::exists(t / "a"));
    }
    // Nothing to run starts nothing, not even the prompt.
    Programs::setPathForTesting(Program::osascript, (t / "none").string());
    EXPECT_TRUE(Optimizer::runAsAdmin({}).empty());
    Programs::setPathForTesting(Program::osascript, "");
}

TEST_F(AdminBatch, ATimeOutLeavesNothingRunningAndSaysSo) {
    TempDir t;
    const fs::path pidFile = t / "pid";
    const auto outcomes = Optimizer::runAsAdmin(
        {admin("slow", "echo $$ > " + shellQuoted(pidFile) + "; exec sleep 1000"), admin("next", "true")}, 1.0);
    ASSERT_EQ(outcomes.size(), 2u);
    for (const auto& o : outcomes) {
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.output, "Timed out after 1 seconds");
    }
    const std::string pid = readFile(pidFile);
    ASSERT_FALSE(pid.empty());
    const fs::path stat = "/proc/" + pid.substr(0, pid.find('\n')) + "/stat";
    const auto alive = [&] {
        const auto s = readFile(stat);
        return !s.empty() && s.find(") Z") == std::string::npos;
    };
    // Bounded well below the task's own 1000 seconds.
    for (int i = 0; i < 500 && alive(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(alive()) << "the task outlived its time-out";
}

TEST(Optimizer, APlainTaskRunsThroughZshWithItsOutputUntrimmed) {
    TaskMachine m;
    const auto ran = Optimizer::run({"x", "", "", "setopt NULL_GLOB; echo \" $ZSH_NAME \"; exit 3", false, {}, false});
    EXPECT_FALSE(ran.ok);
    EXPECT_EQ(ran.output, " zsh \n");
    const auto slow = Optimizer::run({"x", "", "", "echo started; sleep 30", false, {}, false}, 0.3);
    EXPECT_FALSE(slow.ok);
    EXPECT_EQ(slow.output, "started\nTimed out after 0.3 seconds");
}

TEST(Optimizer, ThumbnailsGoButWhatTheirLinksPointAtStays) {
    TaskMachine m;
    const fs::path thumbs = m.home / ".cache/thumbnails";
    writeFile(thumbs / "normal/a.png", "png");
    writeFile(thumbs / "large/b.png", "png");
    writeFile(m.tmp / "keep.txt", "keep");
    fs::create_symlink(m.tmp / "keep.txt", thumbs / "link");
    const auto ran = Optimizer::run(m.task("quicklook"));
    EXPECT_TRUE(ran.ok) << ran.output;
    EXPECT_TRUE(fs::is_directory(thumbs));
    EXPECT_TRUE(fs::is_empty(thumbs));
    EXPECT_EQ(readFile(m.tmp / "keep.txt"), "keep");
    // No thumbnail folder at all is nothing to do.
    fs::remove_all(thumbs);
    EXPECT_TRUE(Optimizer::run(m.task("quicklook")).ok);
}

TEST(Optimizer, BrokenPreferencesGoThroughTheTrashAndOnlyRealMovesCount) {
    const std::string plist =
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><integer>1</integer></dict></plist>";
    struct Case {
        const char* name;
        bool checker;       // our checker, or none installed
        std::string trash;  // the mover's script; empty: ours
        bool ok;
        std::string output;
        std::set<std::string> left;  // in the preferences folder afterwards
    };
    const Case cases[] = {
        {"broken files moved", true, "", true, "2 broken files moved to the Trash\n", {"good.plist", "data.plist"}},
        {"no checker breaks nothing", false, "", true, "0 broken files moved to the Trash\n",
         {"good.plist", "data.plist", "bad.plist", "com.x.plist"}},
        {"a move that fails fails the task", true, "echo \"$1: refused\" >&2; exit 1\n", false,
         "refused\nrefused\n0 broken files moved to the Trash\n",
         {"good.plist", "data.plist", "bad.plist", "com.x.plist"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TaskMachine m;
        const fs::path prefs = m.home / "Library/Preferences";
        writeFile(prefs / "good.plist", plist);
        // Valid, though its values are of a kind the settings never hold.
        writeFile(prefs / "data.plist", "<plist version=\"1.0\"><array><data>AAAA</data></array></plist>");
        writeFile(prefs / "bad.plist", "not a property list");
        writeFile(prefs / "com.x.plist", "<plist><dict>");
        // The Trash already holds a file of that name, which must survive.
        const fs::path trash = m.home / ".local/share/Trash";
        writeFile(trash / "files/com.x.plist", "earlier");
        writeFile(trash / "info/com.x.plist.trashinfo", "[Trash Info]\nPath=/x/com.x.plist\n");
        if (!c.checker) Programs::setPathForTesting(Program::plutil, (m.tmp / "none").string());
        if (!c.trash.empty()) Programs::setPathForTesting(Program::trash, writeScript(m.tmp / "mv", c.trash).string());

        const auto ran = Optimizer::run(m.task("prefs"));
        EXPECT_EQ(ran.ok, c.ok) << ran.output;
        std::string output = ran.output;
        for (auto at = output.find(prefs.string() + "/"); at != std::string::npos; at = output.find(prefs.string() + "/"))
            output.erase(at, output.find(": ", at) + 2 - at);
        EXPECT_EQ(output, c.output);
        std::set<std::string> left;
        for (const auto& e : fs::directory_iterator(prefs)) left.insert(e.path().filename());
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(readFile(trash / "files/com.x.plist"), "earlier");
        if (c.ok && c.checker) {
            std::set<std::string> trashed, infos;
            for (const auto& e : fs::directory_iterator(trash / "files")) trashed.insert(e.path().filename());
            for (const auto& e : fs::directory_iterator(trash / "info")) infos.insert(e.path().filename());
            EXPECT_EQ(trashed.size(), 3u);
            EXPECT_TRUE(trashed.count("bad.plist"));
            EXPECT_EQ(infos.size(), 3u);
        }
    }
}

TEST(Optimizer, MailCompactsTheNewestDatabaseByVersionNumber) {
    struct Case {
        const char* name;
        std::vector<const char*> versions;
        bool mailRunning;
        bool ok;
        std::string output;
    };
    const Case cases[] = {
        {"V10 is newer than V9", {"V2", "V9", "V10"}, false, true, "V10\n"},
        {"no database", {}, false, true, "No Mail database\n"},
        {"Mail still open", {"V10"}, true, false, "Quit Mail first\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TaskMachine m;
        for (const char* v : c.versions) writeFile(m.home / "Library/Mail" / v / "MailData/Envelope Index", "db");
        m.install(Program::pgrep, c.mailRunning ? "exit 0\n" : "exit 1\n");
        // The fake database tool names the version folder it was given.
        m.install(Program::sqlite3, "[ \"$2\" = 'VACUUM;' ] || exit 9; basename \"$(dirname \"$(dirname \"$1\")\")\"\n");
        const auto ran = Optimizer::run(m.task("mail"));
        EXPECT_EQ(ran.ok, c.ok);
        EXPECT_EQ(ran.output, c.output);
    }
}
