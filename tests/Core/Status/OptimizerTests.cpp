#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "Core/Clean/FakeHome.h"
#include "Core/Clean/JunkScanner.h"
#include "Core/Status/Optimizer.h"
#include "Platform/Locations.h"
#include "Platform/Programs.h"
#include "Support/NestedPlists.h"
#include "Support/PeakMemory.h"
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
    TaskMachine() {
        fs::create_directories(home);
        for (Program p : {Program::brew, Program::docker, Program::resolvectl, Program::updateDesktopDatabase,
                          Program::fcCache, Program::networkctl, Program::nmcli, Program::sqlite3, Program::pgrep})
            Programs::setPathForTesting(p, (tmp / "bin" / std::to_string(int(p))).string());
    }
    ~TaskMachine() { Programs::resetForTesting(); }
    void install(Program p, const std::string& body = "exit 0\n") { writeScript(Programs::path(p), body); }
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

Action admin(const std::string& id, const std::string& command) { return {id, id, "", command, true, {}, false}; }
}  // namespace

TEST(Optimizer, TheTableHoldsTheFourteenTasksInOrderAndOffersThoseWhoseProgramOrFolderIsHere) {
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
    EXPECT_EQ(m.task("permissions").command, "/usr/sbin/diskutil resetUserPermissions / 1234");

    struct Case {
        const char* name;
        std::vector<Program> installed;
        std::vector<const char*> folders;  // below the home folder
        std::vector<std::string> offered;
    } const cases[] = {
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
        EXPECT_EQ(ids(Optimizer::table(m.home, 1234), Optimizer::isOffered), c.offered);
    }
}

TEST(Optimizer, ReadsEachTasksFrameAndNothingElseFromTheBatchOutput) {
    const std::vector<Action> tasks = {admin("dns", ""), admin("dhcp", ""), admin("fonts", "")};
    const std::string n = "0123456789abcdef0123456789abcdef";
    struct Case {
        const char* name;
        std::string output;
        std::vector<std::optional<std::pair<bool, std::string>>> expected;
        std::string rest;
    } const cases[] = {
        {"carriage returns for line ends", n + " 1 0\r 61 0a 62\r" + n + " end\r" + n + " 0 1\r" + n + " end\r",
         {std::pair(false, ""), std::pair(true, "a\nb"), std::nullopt}, ""},
        {"text outside frames is the rest", "prompt says\n" + n + " 2 0\n 2d 31 32 38\n" + n + " end\ntail",
         {std::nullopt, std::nullopt, std::pair(true, "-128")}, "prompt says\ntail\n"},
        {"a frame cut short or spoilt reports nothing",
         n + " 0 0\n 61 zz\n" + n + " end\n" + n + " 1 0\n 61\n", {std::nullopt, std::nullopt, std::nullopt}, ""},
        {"another nonce, an index beyond the tasks",
         "ffffffffffffffffffffffffffffffff 0 0\n" + n + " 7 0\n" + n + " end\n",
         {std::nullopt, std::nullopt, std::nullopt}, "ffffffffffffffffffffffffffffffff 0 0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto report = Optimizer::readBatch(tasks, n, c.output);
        std::vector<std::optional<std::pair<bool, std::string>>> got;
        for (const auto& o : report.outcomes) got.push_back(o ? std::optional(std::pair(o->ok, o->output)) : std::nullopt);
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(report.rest, c.rest);
    }
}

TEST(Optimizer, AnOutputPastTheLimitKeepsItsEndFromAWholeLine) {
    EXPECT_EQ(Optimizer::keptTail("short", 5), "short");
    EXPECT_EQ(Optimizer::keptTail("first\nsecond\nend", 9), "\u2026\nend");
    // No line start in the kept part: it starts at a whole character.
    EXPECT_EQ(Optimizer::keptTail("\u00e9\u00e9\u00e9", 5), "\u2026\n\u00e9\u00e9");
}

namespace {
struct AdminBatch : ::testing::Test {
    ScopedEnv noEscalation{"QUELTO_OSASCRIPT_NO_ESCALATION", "1"};
    TempDir t;
};
}  // namespace

TEST_F(AdminBatch, CommandsReachTheShellByteForByte) {
    const std::string heredoc = "a \"quoted\" \\back\\slash\\\\ 'single' $? $HOME `tick` \\\"";
    const std::vector<Action> tasks = {
        admin("verbatim", "cat <<'END'\n" + heredoc + "\nEND\ntrue"),
        // Output without a final newline keeps its report.
        admin("quotes", "printf '%s' \"it's \\\"q\\\" \\\\ \\$?\""),
        admin("status", "false; echo \"status $?\""),
    };
    const auto outcomes = Optimizer::runAsAdmin(tasks);
    ASSERT_EQ(outcomes.size(), 3u);
    const std::string expected[] = {heredoc, "it's \"q\" \\ $?", "status 1"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(outcomes[i].action, tasks[i]);
        EXPECT_TRUE(outcomes[i].ok) << outcomes[i].output;
        EXPECT_EQ(outcomes[i].output, expected[i]);
    }
}

TEST_F(AdminBatch, EachCommandEndsOnlyItselfAndCannotForgeAnotherTasksReport) {
    // The forger reads the batch's own script, secret included, and prints frames of its own.
    const std::string forge =
        "n=$(tr '\\0' '\\n' </proc/$PPID/cmdline | grep -o '[0-9a-f]\\{32\\}' | head -n 1); "
        "printf '%s 5 1\\n%s end\\n__QUELTO_DONE__ next 1\\n' \"$n\" \"$n\"";
    const std::vector<Action> tasks = {
        admin("exit", "echo before; exit 3"),
        admin("exec", "exec echo replaced"),
        admin("kill", "echo dying; kill $$; echo survived"),
        admin("forge", forge),
        admin("bytes", "printf 'caf\\351\\r\\n'"),
        admin("next", "echo fine"),
    };
    const auto outcomes = Optimizer::runAsAdmin(tasks);
    std::vector<std::tuple<std::string, bool, std::string>> got;
    for (const auto& o : outcomes) got.emplace_back(o.action.id, o.ok, o.output);
    ASSERT_EQ(got.size(), 6u);
    const std::string forged = std::get<2>(got[3]);
    ASSERT_EQ(forged.find(' '), 32u) << forged;
    const std::string nonce = forged.substr(0, 32);
    // The shell may add its own word on the signal that ended the command.
    ASSERT_EQ(std::get<2>(got[2]).substr(0, 5), "dying");
    std::get<2>(got[2]).resize(5);
    EXPECT_EQ(got, (std::vector<std::tuple<std::string, bool, std::string>>{
                       {"exit", false, "before"},
                       {"exec", true, "replaced"},
                       {"kill", false, "dying"},
                       {"forge", true, nonce + " 5 1\n" + nonce + " end\n__QUELTO_DONE__ next 1"},
                       {"bytes", true, "caf\uFFFD"},
                       {"next", true, "fine"},
                   }));
}

TEST_F(AdminBatch, AHugeOutputKeepsItsEnd) {
    const auto outcomes = Optimizer::runAsAdmin({admin("loud", "yes 0123456789 | head -n 200000; echo last")});
    ASSERT_EQ(outcomes.size(), 1u);
    const std::string& out = outcomes[0].output;
    EXPECT_TRUE(outcomes[0].ok);
    EXPECT_LE(out.size(), Optimizer::outputLimit + 4);
    EXPECT_EQ(out.substr(0, 15), "\u2026\n0123456789\n");
    EXPECT_EQ(out.substr(out.size() - 15), "0123456789\nlast");
}

TEST_F(AdminBatch, ARenewalWithoutADefaultRouteFailsAloneAndTheFlushStillSucceeds) {
    const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    struct Case {
        const char* name;
        std::string routes;
        std::pair<bool, std::string> dhcp;
    } const cases[] = {
        {"no default route", header + "eth9\t0000A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n",
         {false, "No default route"}},
        {"a default route", header + "eth9\t00000000\t0100A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n",
         {true, "renew eth9"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TaskMachine m;
        m.install(Program::resolvectl, "echo flushed\n");
        m.install(Program::networkctl, "echo \"$@\"\n");
        const fs::path routes = m.tmp / "route";
        writeFile(routes, c.routes);
        Action dhcp = m.task("dhcp");
        const auto at = dhcp.command.find("/proc/net/route");
        ASSERT_NE(at, std::string::npos) << dhcp.command;
        dhcp.command.replace(at, std::string("/proc/net/route").size(), shellQuoted(routes));

        const auto outcomes = Optimizer::runAsAdmin({m.task("dns"), dhcp});
        ASSERT_EQ(outcomes.size(), 2u);
        EXPECT_EQ(std::tuple(outcomes[0].action.id, outcomes[0].ok, outcomes[0].output),
                  std::tuple(std::string("dns"), true, std::string("flushed")));
        EXPECT_EQ(std::tuple(outcomes[1].action.id, outcomes[1].ok, outcomes[1].output),
                  std::tuple(std::string("dhcp"), c.dhcp.first, c.dhcp.second));
    }
}

TEST_F(AdminBatch, ACancelledPromptFailsEveryTaskAndRunsNone) {
    ScopedEnv cancel("QUELTO_OSASCRIPT_CANCEL", "1");
    const std::vector<Action> tasks = {admin("a", "touch " + shellQuoted(t / "a")), admin("b", "true")};
    const auto outcomes = Optimizer::runAsAdmin(tasks);
    ASSERT_EQ(outcomes.size(), 2u);
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(std::tuple(outcomes[i].action.id, outcomes[i].ok, outcomes[i].output),
                  std::tuple(tasks[i].id, false, std::string("Password prompt cancelled")));
    EXPECT_FALSE(fs::exists(t / "a"));
}

TEST_F(AdminBatch, ATimeOutLeavesNothingRunningAndSaysSo) {
    const auto outcomes = Optimizer::runAsAdmin(
        {admin("slow", "echo $$ > " + shellQuoted(t / "pid") + "; exec sleep 1000"), admin("next", "true")}, 1.0);
    ASSERT_EQ(outcomes.size(), 2u);
    for (const auto& o : outcomes) EXPECT_EQ(std::pair(o.ok, o.output), std::pair(false, std::string("Timed out after 1 seconds")));
    const std::string pid = readFile(t / "pid");
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
    EXPECT_EQ(std::pair(ran.ok, ran.output), std::pair(false, std::string(" zsh \n")));
    const auto slow = Optimizer::run({"x", "", "", "echo started; sleep 30", false, {}, false}, 0.3);
    EXPECT_EQ(std::pair(slow.ok, slow.output), std::pair(false, std::string("started\nTimed out after 0.3 seconds")));
}

// 63 MB of numbered lines: the end is kept, and the peak grows by far less than that.
TEST(Optimizer, ATaskHoldsNoMoreOfItsOutputThanTheLimitWhileItRuns) {
    const ScopedEnv noEscalation("QUELTO_OSASCRIPT_NO_ESCALATION", "1");
    for (const bool admin : {false, true}) {
        const auto peak = peakmemory::measure([&] {
            const auto out = Optimizer::run({"loud", "", "", "seq 8000000", admin, {}, false}).output;
            const bool kept = out.size() > Optimizer::outputLimit - 8 && out.size() <= Optimizer::outputLimit + 4 &&
                              out.starts_with("\u2026\n") && out.ends_with("\n7999999\n8000000\n");
            return std::string(kept ? "kept the end" : "kept " + std::to_string(out.size()) + " bytes");
        });
        ASSERT_TRUE(peak) << admin;
        EXPECT_EQ(peak->said, "kept the end") << admin;
        EXPECT_LT(peak->growthKiB, 16 * 1024) << admin;
    }
}

// However the variable spells the cache folder, the folder the reset empties and the
// scan offers is the one judged, as the kernel resolves it: one that resolves into a
// folder of the user's own falls back to ~/.cache, judged too, and every photo stays.
// The programs that read the variable are told that folder.
TEST(Optimizer, NoSpellingOfTheCacheFolderReachesAFolderOfTheUsersOwn) {
    const char* mine[] = {"", "Documents", "Pictures", "Desktop", ".config/cache", ".local/share/keyrings",
                          ".local/share/Trash/files/c"};
    const struct {
        const char* name;
        std::optional<std::string> value;  // below the home; none: unset
        const char* used;                  // the cache folder the tasks and the scan use, below the home; none
        const char* dotCache = nullptr;    // where ~/.cache links, below the home
        const char* configHome = nullptr;  // below the home
    } cases[] = {
        {"the home", "", ".cache"},
        {"a link to the pictures", "pics", ".cache"},
        {"a missing folder, then .., then a link to the pictures", "nothere/../pics", ".cache"},
        {"a link, then .. into the pictures", "x/../cache", ".cache"},
        {"inside the data home", ".local/share/keyrings", ".cache"},
        {"inside the config home", ".config/cache", ".cache"},
        {"inside the Trash", ".local/share/Trash/files/c", ".cache"},
        {"a link to a cache folder of the user's own", "cache-link", "own/cache"},
        {"a dangling link, then .., then a link to the pictures", "y/../pics", ".cache"},
        {"a chain of 41 links to the documents", "l1", ".cache"},
        {"a loop of two links", "p", ".cache"},
        {"unset, ~/.cache a link to the pictures", std::nullopt, nullptr, "Pictures"},
        {"unset, ~/.cache holding the config home", std::nullopt, nullptr, nullptr, ".cache/config"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakehome::FakeHome h;
        h.link("pics", h / "Pictures");
        h.folder("Pictures/sub");
        h.link("x", h / "Pictures/sub");
        h.folder("own/cache/thumbnails");
        h.link("cache-link", h / "own/cache");
        h.link("y", h / "own/z");
        for (int i = 1; i <= 41; ++i) h.link("l" + std::to_string(i), i == 41 ? "Documents" : "l" + std::to_string(i + 1));
        h.link("p", "q");
        h.link("q", "p");
        if (c.dotCache) h.link(".cache", h / c.dotCache);
        for (const char* f : mine) h.file(h / f / "thumbnails/photo.jpg", 20);
        if (c.used) h.file(h / c.used / "thumbnails/large/a.png", 20);
        const testtree::ScopedEnv cache("XDG_CACHE_HOME", c.value ? std::optional((h / *c.value).string()) : std::nullopt);
        std::optional<testtree::ScopedEnv> config;
        if (c.configHome) {
            config.emplace("XDG_CONFIG_HOME", (h / c.configHome).string());
            h.file(h / c.configHome / "app/settings", 20);
        }
        for (Program p : {Program::fcCache, Program::brew})
            Programs::setPathForTesting(p, writeScript(h.root() / std::to_string(int(p)), "echo \"$XDG_CACHE_HOME\"\n").string());

        std::map<std::string, Action> tasks;
        for (const auto& a : Optimizer::table(h.home(), 1234)) tasks[a.id] = a;
        Programs::resetForTesting();
        const auto ran = Optimizer::run(tasks["quicklook"]);
        for (const char* f : mine) EXPECT_TRUE(fs::exists(h / f / "thumbnails/photo.jpg")) << f;
        std::vector<fs::path> offered;
        if (!c.used) {
            for (const char* id : {"quicklook", "fonts", "brew"}) EXPECT_FALSE(Optimizer::isOffered(tasks[id])) << id;
            EXPECT_FALSE(ran.ok);
        } else {
            EXPECT_TRUE(ran.ok) << ran.output;
            EXPECT_EQ(tasks["quicklook"].changes, std::vector<fs::path>{h / c.used / "thumbnails"});
            EXPECT_TRUE(fs::is_empty(h / c.used / "thumbnails"));
            // What the Analyze tab measures again after the caches these rebuild.
            for (const auto& [id, changed] : {std::pair{"fonts", "fontconfig"}, std::pair{"brew", "Homebrew"}}) {
                EXPECT_EQ(tasks[id].changes, std::vector<fs::path>{h / c.used / changed}) << id;
                EXPECT_EQ(Optimizer::run(tasks[id]).output, (h / c.used).string() + "\n") << id;
            }
            h.file(h / c.used / "thumbnails/large/a.png", 20);
            offered.push_back(h / c.used / "thumbnails");
        }
        std::vector<fs::path> found;
        for (const auto& item : JunkScanner().scan({CleanCategory::userCaches}, {h.home(), h.guard(), {}, {}, ""}, nullptr))
            found.push_back(item.url);
        EXPECT_EQ(found, offered);
    }
}

// A verdict holds for the folder judged: one that becomes a link to the pictures is
// judged again, and a reset made for it before refuses to follow the link.
TEST(Optimizer, ACacheFolderThatBecomesALinkIsJudgedAgain) {
    fakehome::FakeHome h;
    h.file("Pictures/thumbnails/photo.jpg", 20);
    h.folder("mine/thumbnails");
    const testtree::ScopedEnv cache("XDG_CACHE_HOME", (h / "mine").string());
    EXPECT_EQ(Platform::Locations::userCaches(), h / "mine");
    Action reset;
    for (const auto& a : Optimizer::table(h.home(), 1234))
        if (a.id == "quicklook") reset = a;
    fs::remove_all(h / "mine");
    h.link("mine", h / "Pictures");
    EXPECT_EQ(Platform::Locations::userCaches(), h / ".cache");
    EXPECT_FALSE(Optimizer::run(reset).ok);
    EXPECT_TRUE(fs::exists(h / "Pictures/thumbnails/photo.jpg"));
}

// The shell's $HOME may be relative or name another folder: a task's folders are the
// home its table was built for.
TEST(Optimizer, ClearingWindowStateActsOnTheTablesHomeWhateverTheShellsHomeSays) {
    TaskMachine m;
    const fs::path decoy = m.tmp / "decoy";
    const auto stale = [](const fs::path& folder) {
        const fs::path state = folder / "Library/Saved Application State/com.x.savedState";
        writeFile(state / "windows.plist", "state");
        fs::last_write_time(state, fs::file_time_type::clock::now() - std::chrono::hours(24 * 60));
        return state;
    };
    const fs::path own = stale(m.home), other = stale(decoy);
    const ScopedEnv shellHome("HOME", decoy.string());
    const auto ran = Optimizer::run(m.task("savedstate"));
    EXPECT_TRUE(ran.ok) << ran.output;
    EXPECT_FALSE(fs::exists(own));
    EXPECT_TRUE(fs::exists(other));
}

TEST(Optimizer, RebuildingDesktopEntriesNamesTheResolvedDataHome) {
    TaskMachine m;
    m.install(Program::updateDesktopDatabase, "echo \"$1\"\n");
    fs::create_directories(m.home / ".local/share/applications");
    const ScopedEnv data("XDG_DATA_HOME", "relative/share");
    const auto ran = Optimizer::run(m.task("launchservices"));
    EXPECT_EQ(std::pair(ran.ok, ran.output), std::pair(true, (m.home / ".local/share/applications\n").string()));
}

TEST(Optimizer, BrokenPreferencesGoThroughTheTrashAndOnlyRealMovesCount) {
    const std::set<std::string> all = {"good.plist", "data.plist", "bad.plist", "com.x.plist", "deep.plist"};
    struct Case {
        const char* name;
        bool checker;       // our checker, or none installed
        std::string trash;  // the mover's script; empty: ours
        bool ok;
        std::string output;
        std::set<std::string> left;  // in the preferences folder afterwards
    } const cases[] = {
        {"broken files moved", true, "", true, "2 broken files moved to the Trash\n",
         {"good.plist", "data.plist", "deep.plist"}},
        {"no checker breaks nothing", false, "", true, "0 broken files moved to the Trash\n", all},
        {"a move that fails fails the task", true, "echo refused >&2; exit 1\n", false,
         "refused\nrefused\n0 broken files moved to the Trash\n", all},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TaskMachine m;
        const fs::path prefs = m.home / "Library/Preferences";
        writeFile(prefs / "good.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><integer>1</integer></dict></plist>");
        // Valid, though its values are of a kind the settings never hold.
        writeFile(prefs / "data.plist", "<plist version=\"1.0\"><array><data>AAAA</data></array></plist>");
        writeFile(prefs / "bad.plist", "not a property list");
        writeFile(prefs / "com.x.plist", "<plist><dict>");
        // Too deep for the checker to read is no proof of a broken file.
        writeFile(prefs / "deep.plist", nestedplists::nested(nestedplists::Format::binary, 60000));
        // The Trash already holds a file of that name, which must survive.
        const fs::path trash = m.home / ".local/share/Trash";
        writeFile(trash / "files/com.x.plist", "earlier");
        writeFile(trash / "info/com.x.plist.trashinfo", "[Trash Info]\nPath=/x/com.x.plist\n");
        if (!c.checker) Programs::setPathForTesting(Program::plutil, (m.tmp / "none").string());
        if (!c.trash.empty()) Programs::setPathForTesting(Program::trash, writeScript(m.tmp / "mv", c.trash).string());

        const auto ran = Optimizer::run(m.task("prefs"));
        EXPECT_EQ(ran.ok, c.ok) << ran.output;
        EXPECT_EQ(ran.output, c.output);
        const auto names = [](const fs::path& folder) {
            std::set<std::string> out;
            for (const auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename());
            return out;
        };
        EXPECT_EQ(names(prefs), c.left);
        // What left went to the Trash, each with its record, the earlier file untouched.
        EXPECT_EQ(names(trash / "files").size() + c.left.size(), 6u);
        EXPECT_EQ(names(trash / "info").size() + c.left.size(), 6u);
        EXPECT_EQ(readFile(trash / "files/com.x.plist"), "earlier");
    }
}

TEST(Optimizer, MailCompactsTheNewestDatabaseByVersionNumber) {
    struct Case {
        std::vector<const char*> versions;
        bool mailRunning, ok;
        std::string output;
    } const cases[] = {
        {{"V2", "V9", "V10"}, false, true, "V10\n"},
        {{}, false, true, "No Mail database\n"},
        {{"V10"}, true, false, "Quit Mail first\n"},
    };
    for (const auto& c : cases) {
        TaskMachine m;
        for (const char* v : c.versions) writeFile(m.home / "Library/Mail" / v / "MailData/Envelope Index", "db");
        m.install(Program::pgrep, c.mailRunning ? "exit 0\n" : "exit 1\n");
        // The fake database tool names the version folder it was given.
        m.install(Program::sqlite3, "[ \"$2\" = 'VACUUM;' ] || exit 9; basename \"$(dirname \"$(dirname \"$1\")\")\"\n");
        const auto ran = Optimizer::run(m.task("mail"));
        EXPECT_EQ(std::pair(ran.ok, ran.output), std::pair(c.ok, c.output));
    }
}
