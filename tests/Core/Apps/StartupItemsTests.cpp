#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Core/Apps/StartupItems.h"
#include "Platform/Programs.h"
#include "Support/NestedPlists.h"
#include "Support/PeakMemory.h"
#include "Support/TestTree.h"

using StartupItems::Scope;
namespace fs = std::filesystem;

namespace {
std::string key(const std::string& k, const std::string& v) { return "<key>" + k + "</key><string>" + v + "</string>"; }
void writePlist(const fs::path& file, const std::string& body) {
    testtree::writeFile(file, "<plist version=\"1.0\"><dict>" + body + "</dict></plist>\n");
}

// Three launch folders and a fake launchctl that logs each call as a line of its arguments, each
// followed by "|", runs `first`, then answers from `answers` (a shell case body over "$1 $2").
class Launchd : public ::testing::Test {
protected:
    testtree::TempDir tmp;
    StartupItems::Folders folders{tmp / "user", tmp / "all users", tmp / "system"};
    const std::string gui = "gui/" + std::to_string(::getuid());
    testtree::ScopedEnv noEscalation{"QUELTO_OSASCRIPT_NO_ESCALATION", "1"};

    void fakeLaunchctl(const std::string& answers, const std::string& first = "") {
        fs::remove(tmp / "calls");
        const std::string log = "call=$(printf '%s|' \"$@\")\necho \"$call\" >> '" + (tmp / "calls").string() + "'\n";
        const auto tool = testtree::writeScript(tmp / "bin/launch'ctl", log + first + "case \"$1 $2\" in\n" + answers + "\nesac\n");
        Platform::Programs::setPathForTesting(Platform::Program::launchctl, tool.string());
    }
    void TearDown() override { Platform::Programs::resetForTesting(); }
};
}  // namespace

TEST_F(Launchd, LoadRunsItsThreeReadoutsAtOnceAndReadsTheThreeFoldersWithTheOverridesWinning) {
    // Each readout waits (at most 5 s) until all three have started, and says when it gave up.
    const std::string marks = (tmp / "marks").string();
    fs::create_directories(marks);
    fakeLaunchctl("'print-disabled gui/'*) printf '\"com.a.thing\" => enabled\\n\"com.a.off\" => disabled\\n"
                  "bad line\\n\"x\" => true => false\\n' ;;\n"
                  "'print-disabled system') echo '\"com.s.daemon\" => true' ;;\n"
                  "'list ') printf 'PID\\tStatus\\tLabel\\n12\\t0\\tcom.a.run\\n-\\t0\\tcom.s.daemon\\t\\n' ;;",
                  "touch '" + marks + "/'$$; n=0\n"
                  "while [ $(ls '" + marks + "' | wc -l) -lt 3 ] && [ $n -lt 100 ]; do sleep 0.05; n=$((n+1)); done\n"
                  "[ $n -lt 100 ] || echo alone >> '" + (tmp / "alone").string() + "'\n");
    const std::string thing = "/Apps/Thing.app/Contents/MacOS/thing";
    writePlist(folders.user / "thing.plist", key("Label", "com.a.thing") + "<key>ProgramArguments</key><array><string>" +
                                                 thing + "</string><string>--x</string></array><key>Disabled</key><true/>");
    writePlist(folders.user / "run.plist", key("Label", "com.a.run") + key("Program", "/usr/bin/run"));
    writePlist(folders.user / "it's off.plist", key("Label", "com.a.off"));
    writePlist(folders.user / "upper.PLIST", key("Label", "com.a.upper"));
    ::mkfifo((folders.user / "pipe.plist").c_str(), 0600);  // never waited on
    writePlist(folders.allUsers / "solo.plist", key("Label", "solo"));
    writePlist(folders.system / "d.plist", key("Label", "com.s.daemon") + "<key>Disabled</key><false/>");

    const auto items = StartupItems::load(folders);
    EXPECT_FALSE(fs::exists(tmp / "alone"));
    EXPECT_EQ(items, (std::vector<StartupItems::Item>{
                         {folders.user / "it's off.plist", "com.a.off", "", Scope::user, false, false, std::nullopt},
                         {folders.user / "run.plist", "com.a.run", "/usr/bin/run", Scope::user, true, true, std::nullopt},
                         {folders.user / "thing.plist", "com.a.thing", thing, Scope::user, true, false, "/Apps/Thing.app"},
                         {folders.allUsers / "solo.plist", "solo", "", Scope::allUsers, true, false, std::nullopt},
                         {folders.system / "d.plist", "com.s.daemon", "", Scope::system, false, true, std::nullopt},
                     }));
    EXPECT_EQ(items.at(2).displayName() + " " + items.at(4).displayName(), "Thing s.daemon");
}

// A job nested deeper than any reader can follow is skipped like any unreadable one.
TEST_F(Launchd, AJobNestedTooDeeplyIsSkippedNotACrash) {
    using namespace nestedplists;
    fakeLaunchctl("");
    writePlist(folders.user / "ok.plist", key("Label", "com.a.ok"));
    for (Format f : {Format::xml, Format::binary})
        testtree::writeFile(folders.user / (std::string(name(f)) + ".plist"), infoPlist(f, "com.a.deep", 60000));
    const auto items = StartupItems::load(folders);
    EXPECT_TRUE(items.size() == 1 && items[0].label == "com.a.ok");
}

// A job is read through the bounds every property list keeps: a long array in one
// pass, within 2 s and 64 MiB.
TEST_F(Launchd, AJobWithALongArrayIsListedWithinTheBound) {
    fakeLaunchctl("");
    testtree::writeFile(folders.user / "job.plist", nestedplists::longArray(100000, "com.a.long"));
    const auto peak = peakmemory::measure([&] {
        std::string labels;
        for (const auto& item : StartupItems::load(folders)) labels += item.label + ";";
        return labels;
    }, 20);
    ASSERT_TRUE(peak) << "over 20 s";
    EXPECT_EQ(peak->said, "com.a.long;");
    EXPECT_LT(peak->seconds, peakmemory::kBoundSeconds);
    EXPECT_LT(peak->growthKiB, peakmemory::kBoundKiB);
}

TEST_F(Launchd, SwitchingQuotesEveryValueAndReportsTheSwitchsOwnStatus) {
    const std::string hostile = "com.x;echo INJECTED $(id) a'b";
    const fs::path file = tmp / "it's a \\ \"path\".plist";
    const std::string on = "enable|" + gui + "/" + hostile + "|\n", load = "bootstrap|" + gui + "|" + file.string() + "|\n";
    // `answers`: launchctl's (see above); `says`: a part of the message.
    struct Case { const char* name; Scope scope; bool on, cancel, ok; std::string answers, calls, says; } cases[] = {
        {"a user agent on", Scope::user, true, false, true, "", on + load, ""},
        {"a user agent off", Scope::user, false, false, true, "",
         "disable|" + gui + "/" + hostile + "|\nbootout|" + gui + "/" + hostile + "|\n", ""},
        {"a system daemon on, through the administrator prompt", Scope::system, true, false, true, "",
         "enable|system/" + hostile + "|\nbootstrap|system|" + file.string() + "|\n", ""},
        {"a refused switch fails and goes no further", Scope::allUsers, true, false, false,
         "'enable '*) echo refused; exit 1 ;;", on, "refused"},
        {"loading it now may fail harmlessly", Scope::user, true, false, true, "'bootstrap '*) exit 5 ;;", on + load, ""},
        {"a dismissed password prompt", Scope::system, false, true, false, "", "", "-128"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakeLaunchctl(c.answers);
        testtree::ScopedEnv cancel("QUELTO_OSASCRIPT_CANCEL", c.cancel ? std::optional<std::string>("1") : std::nullopt);
        const auto outcome = StartupItems::setEnabled({file, hostile, "", c.scope, !c.on, false, std::nullopt}, c.on);
        EXPECT_EQ(outcome.ok, c.ok) << outcome.message;
        EXPECT_EQ(testtree::readFile(tmp / "calls"), c.calls);
        EXPECT_EQ(outcome.message.find("INJECTED"), std::string::npos);
        EXPECT_NE(outcome.message.find(c.says), std::string::npos);
    }
}
