#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "Core/Apps/StartupItems.h"
#include "Platform/Locations.h"
#include "Platform/Programs.h"
#include "Support/TestTree.h"

using StartupItems::Item;
using StartupItems::Scope;
using testtree::readFile;
using testtree::ScopedEnv;
using testtree::TempDir;
using testtree::writeFile;
using testtree::writeScript;
namespace fs = std::filesystem;

namespace {
using Calls = std::vector<std::vector<std::string>>;
const std::string uid = std::to_string(::getuid());

std::string plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + body + "</dict></plist>\n";
}
std::string key(const std::string& k, const std::string& v) { return "<key>" + k + "</key><string>" + v + "</string>"; }

// Three launch folders and a fake launchctl that logs its argument vectors and
// answers from `answers` (a shell case body over "$1 $2").
class Launchd : public ::testing::Test {
protected:
    TempDir tmp;
    StartupItems::Folders folders{tmp / "user", tmp / "all users", tmp / "system"};
    fs::path log = tmp / "calls";
    ScopedEnv data{"XDG_DATA_HOME", (tmp / "data").string()};
    ScopedEnv noEscalation{"QUELTO_OSASCRIPT_NO_ESCALATION", "1"};

    void fakeLaunchctl(const std::string& answers) {
        // One write a call: the three readouts run at once.
        const fs::path tool = writeScript(tmp / "bin/launch'ctl", "call=$(printf '%s\\037' \"$@\")\nprintf '%s\\n' \"$call\" >> '" +
                                                                   log.string() + "'\ncase \"$1 $2\" in\n" + answers +
                                                                   "\nesac\n");
        Platform::Programs::setPathForTesting(Platform::Program::launchctl, tool.string());
    }
    void TearDown() override { Platform::Programs::resetForTesting(); }

    // One line per call, its arguments each ended by a unit separator.
    Calls calls() const {
        Calls out;
        std::istringstream lines(readFile(log));
        for (std::string line, arg; std::getline(lines, line);) {
            out.emplace_back();
            for (std::istringstream args(line); std::getline(args, arg, '\037');) out.back().push_back(arg);
        }
        return out;
    }
    Item item(Scope scope, const std::string& label, const fs::path& file, bool enabled) const {
        return {file, label, "", scope, enabled, false, std::nullopt};
    }
};
}  // namespace

TEST_F(Launchd, LoadReadsTheThreeFoldersWithTheOverridesWinning) {
    fakeLaunchctl("'print-disabled gui/'*) printf '\"com.a.thing\" => enabled\\n\"com.a.off\" => disabled\\n"
                  "bad line\\n\"x\" => true => false\\n' ;;\n"
                  "'print-disabled system') echo '\"com.s.daemon\" => true' ;;\n"
                  "'list ') printf 'PID\\tStatus\\tLabel\\n12\\t0\\tcom.a.run\\n-\\t0\\tcom.s.daemon\\t\\n' ;;");
    const std::string thing = "/Apps/Thing.app/Contents/MacOS/thing";
    writeFile(folders.user / "thing.plist",
              plist(key("Label", "com.a.thing") + "<key>ProgramArguments</key><array><string>" + thing +
                    "</string><string>--x</string></array><key>Disabled</key><true/>"));
    writeFile(folders.user / "run.plist", plist(key("Label", "com.a.run") + key("Program", "/usr/bin/run")));
    writeFile(folders.user / "it's off.plist", plist(key("Label", "com.a.off")));
    writeFile(folders.user / "upper.PLIST", plist(key("Label", "com.a.upper")));
    writeFile(folders.user / "nolabel.plist", plist(key("Program", "/x")));
    writeFile(folders.user / "mixed.plist",
              plist(key("Label", "x.y.mixed") + "<key>ProgramArguments</key><array><string>/a</string><integer>1</integer></array>"));
    ::mkfifo((folders.user / "pipe.plist").c_str(), 0600);  // never waited on
    writeFile(folders.allUsers / "solo.plist", plist(key("Label", "solo")));
    writeFile(folders.system / "d.plist", plist(key("Label", "com.s.daemon") + "<key>Disabled</key><false/>"));

    const auto items = StartupItems::load(folders);
    const std::vector<Item> expected = {
        {folders.user / "it's off.plist", "com.a.off", "", Scope::user, false, false, std::nullopt},
        {folders.user / "run.plist", "com.a.run", "/usr/bin/run", Scope::user, true, true, std::nullopt},
        {folders.user / "thing.plist", "com.a.thing", thing, Scope::user, true, false, fs::path("/Apps/Thing.app")},
        {folders.user / "mixed.plist", "x.y.mixed", "", Scope::user, true, false, std::nullopt},
        {folders.allUsers / "solo.plist", "solo", "", Scope::allUsers, true, false, std::nullopt},
        {folders.system / "d.plist", "com.s.daemon", "", Scope::system, false, true, std::nullopt},
    };
    EXPECT_EQ(items, expected);
    std::vector<std::string> names;
    for (const auto& i : items) names.push_back(i.displayName());
    EXPECT_EQ(names, (std::vector<std::string>{"a.off", "a.run", "Thing", "y.mixed", "solo", "s.daemon"}));

    auto made = calls();
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, (Calls{{"list"}, {"print-disabled", "gui/" + uid}, {"print-disabled", "system"}}));
}

TEST_F(Launchd, LoadRunsItsThreeReadoutsAtOnce) {
    // Each readout waits (at most 5 s) until all three have started, and says when it gave up.
    const fs::path marks = tmp / "marks";
    fs::create_directories(marks);
    fakeLaunchctl("*) touch '" + marks.string() + "/'$$; n=0\n"
                  "while [ $(ls '" + marks.string() + "' | wc -l) -lt 3 ] && [ $n -lt 100 ]; do sleep 0.05; n=$((n+1)); done\n"
                  "[ $n -lt 100 ] || echo alone >> '" + (tmp / "alone").string() + "' ;;");
    StartupItems::load(folders);
    EXPECT_FALSE(fs::exists(tmp / "alone"));
}

TEST_F(Launchd, SwitchingQuotesEveryValueAndReportsTheSwitchsOwnStatus) {
    const std::string hostile = "com.x;echo INJECTED $(id) a'b";
    const fs::path file = tmp / "it's a \\ \"path\".plist";
    struct Case {
        const char* name;
        Scope scope;
        bool on;
        std::string answers;
        bool cancel;
        bool ok;
        Calls calls;
    } cases[] = {
        {"a user agent on", Scope::user, true, "", false, true,
         {{"enable", "gui/" + uid + "/" + hostile}, {"bootstrap", "gui/" + uid, file.string()}}},
        {"a user agent off", Scope::user, false, "", false, true,
         {{"disable", "gui/" + uid + "/" + hostile}, {"bootout", "gui/" + uid + "/" + hostile}}},
        {"a system daemon on, through the administrator prompt", Scope::system, true, "", false, true,
         {{"enable", "system/" + hostile}, {"bootstrap", "system", file.string()}}},
        {"a refused switch fails and goes no further", Scope::allUsers, true, "'enable '*) echo refused; exit 1 ;;",
         false, false, {{"enable", "gui/" + uid + "/" + hostile}}},
        {"loading it now may fail harmlessly", Scope::user, true, "'bootstrap '*) echo 'already loaded'; exit 5 ;;",
         false, true, {{"enable", "gui/" + uid + "/" + hostile}, {"bootstrap", "gui/" + uid, file.string()}}},
        {"a dismissed password prompt", Scope::system, false, "", true, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(log);
        fakeLaunchctl(c.answers);
        ScopedEnv cancel("QUELTO_OSASCRIPT_CANCEL", c.cancel ? std::optional<std::string>("1") : std::nullopt);
        const auto outcome = StartupItems::setEnabled(item(c.scope, hostile, file, !c.on), c.on);
        EXPECT_EQ(outcome.ok, c.ok) << outcome.message;
        EXPECT_EQ(calls(), c.calls);
        EXPECT_EQ(outcome.message.find("INJECTED"), std::string::npos);
        if (c.cancel) {
            EXPECT_NE(outcome.message.find("-128"), std::string::npos);
        }
        if (std::string(c.name).find("refused") != std::string::npos) {
            EXPECT_NE(outcome.message.find("refused"), std::string::npos);
        }
    }

    Platform::Programs::setPathForTesting(Platform::Program::launchctl, (tmp / "no launchctl").string());
    EXPECT_FALSE(StartupItems::setEnabled(item(Scope::user, "a", file, false), true).ok);
}

TEST_F(Launchd, OnlyTheUsersOwnJobIsRemovedAndItGoesToTheTrash) {
    fakeLaunchctl("");
    const fs::path mine = folders.user / "com.me.job.plist";
    writeFile(mine, plist(key("Label", "com.me.job")));
    writeFile(folders.system / "d.plist", "x");
    EXPECT_FALSE(StartupItems::remove(item(Scope::allUsers, "com.me.job", mine, true)));
    EXPECT_FALSE(StartupItems::remove(item(Scope::system, "d", folders.system / "d.plist", true)));
    EXPECT_TRUE(calls().empty());

    ASSERT_TRUE(StartupItems::remove(item(Scope::user, "com.me.job", mine, true)));
    EXPECT_EQ(calls(), (Calls{{"bootout", "gui/" + uid + "/com.me.job"}}));
    EXPECT_FALSE(fs::exists(mine));
    EXPECT_TRUE(fs::exists(Platform::Locations::trashFiles() / "com.me.job.plist"));
    EXPECT_FALSE(StartupItems::remove(item(Scope::user, "com.me.job", mine, true)));  // nothing left to trash
}
