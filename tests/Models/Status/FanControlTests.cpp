#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <functional>
#include <fcntl.h>

#include "Models/Status/FanControl.h"
#include "Platform/Programs.h"
#include "Support/FanFixtures.h"
#include "Support/QtTestSupport.h"

using namespace fanfixture;
using testtree::readFile;
using testtree::ScopedEnv;
using testtree::TempDir;
using testtree::writeScript;
using Platform::Program;

namespace {
// The stand-in administrator prompt runs the command as the test's own (root) user.
struct Prompt {
    ScopedEnv noEscalation{"QUELTO_OSASCRIPT_NO_ESCALATION", "1"};
    Prompt() { Platform::Programs::setPathForTesting(Program::osascript, QUELTO_BIN_DIR "/osascript"); }
    ~Prompt() { Platform::Programs::resetForTesting(); }
};

bool settle(const FanControl& fans) {
    return QTest::qWaitFor([&] { return !fans.busy(); }, 10000);
}

// A fake fan tool that prints `output` and exits with `status`.
fs::path fakeTool(const TempDir& dir, const std::string& output, int status) {
    return writeScript(dir / "QueltoFanHelper",
                       "printf '%s' " + testtree::shellQuoted(output) + " >&2\nexit " + std::to_string(status) + "\n");
}

struct OutcomeCase {
    const char* name;
    std::string output;
    int status;
    FanPreset preset;     // after choosing max from cool
    const char* error;    // contained in the error; empty: no error
};

class FanControlOutcome : public testing::TestWithParam<OutcomeCase> {};

TEST_P(FanControlOutcome, AfterTheRun) {
    const auto& c = GetParam();
    Prompt prompt;
    TempDir dir;
    FanControl fans;
    Platform::Programs::setPathForTesting(Program::fanHelper, fakeTool(dir, "", 0));
    fans.choose(FanPreset::cool);
    ASSERT_TRUE(settle(fans));
    ASSERT_EQ(fans.preset(), FanPreset::cool);

    Platform::Programs::setPathForTesting(Program::fanHelper, fakeTool(dir, c.output, c.status));
    fans.choose(FanPreset::max);
    EXPECT_TRUE(fans.busy());
    ASSERT_TRUE(settle(fans));
    EXPECT_EQ(fans.preset(), c.preset);
    if (*c.error) {
        EXPECT_TRUE(fans.error().contains(QString::fromUtf8(c.error))) << fans.error().toStdString();
        EXPECT_EQ(fans.error(), fans.error().trimmed());
    } else {
        EXPECT_TRUE(fans.error().isEmpty()) << fans.error().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FanControlOutcome,
    testing::Values(
        OutcomeCase{"success", "whatever it says\n", 0, FanPreset::max, ""},
        OutcomeCase{"commandFailed", "Fan command failed: macOS rejected the fan command for F1Tg.\n", 5,
                    FanPreset::auto_, "Fan command failed: macOS rejected the fan command for F1Tg."},
        OutcomeCase{"noWatcher", "Could not start the fan safety watcher.\n", 4, FanPreset::auto_,
                    "Could not start the fan safety watcher."},
        OutcomeCase{"unsupported", "This Mac does not expose writable fan controls.\n", 3, FanPreset::cool,
                    "This Mac does not expose writable fan controls."},
        OutcomeCase{"refused", "Invalid fan command or administrator access denied.\n", 2, FanPreset::cool,
                    "Invalid fan command"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FanControl, EmptyFailureAndCancelledPrompt) {
    Prompt prompt;
    TempDir dir;
    Platform::Programs::setPathForTesting(Program::fanHelper, fakeTool(dir, "", 0));
    for (const auto& [osascript, error] :
         {std::pair{"printf ' \\n\\t '; exit 1", "macOS could not change the fan mode."},
          {"echo '0:10: execution error: User canceled. (-128)' >&2; exit 1",
           "0:10: execution error: User canceled. (-128)"}}) {
        Platform::Programs::setPathForTesting(Program::osascript, writeScript(dir / "osascript", osascript));
        FanControl fans;
        fans.choose(FanPreset::max);
        ASSERT_TRUE(settle(fans));
        EXPECT_EQ(fans.error(), QString::fromUtf8(error));
        EXPECT_EQ(fans.preset(), FanPreset::auto_);
    }
}

TEST(FanControl, AwkwardToolPathReachesTheToolIntact) {
    Prompt prompt;
    TempDir dir;
    const fs::path folder = dir / "a'b\"c\\d $x";
    fs::create_directories(folder);
    const fs::path tool = writeScript(folder / "QueltoFanHelper", "printf '%s\\n' \"$0\" \"$@\" > \"$(dirname \"$0\")/../argv\"\n");
    Platform::Programs::setPathForTesting(Program::fanHelper, tool);
    FanControl fans;
    fans.choose(FanPreset::cool);
    ASSERT_TRUE(settle(fans));
    EXPECT_EQ(fans.error(), "");
    EXPECT_EQ(readFile(dir / "argv"), tool.string() + "\ncool\n" + std::to_string(::getpid()) + "\n");
}

// Run as root, a tool that someone else could have swapped is never started.
TEST(FanControl, RootSideRefusesAToolOthersCouldReplace) {
    ASSERT_EQ(::geteuid(), 0u) << "the ownership checks need root";
    struct Case {
        const char* name;
        std::function<void(const fs::path& folder, const fs::path& tool)> make;
        const char* atFault;  // "tool" or "folder"; none: the tool runs
    } cases[] = {
        {"tool owned by nobody", [](const fs::path&, const fs::path& t) { ASSERT_EQ(::chown(t.c_str(), 65534, 65534), 0); }, "tool"},
        {"tool writable by its group", [](const fs::path&, const fs::path& t) { ::chmod(t.c_str(), 0775); }, "tool"},
        {"folder owned by nobody", [](const fs::path& f, const fs::path&) { ASSERT_EQ(::chown(f.c_str(), 65534, 65534), 0); }, "folder"},
        {"folder anyone may write to", [](const fs::path& f, const fs::path&) { ::chmod(f.c_str(), 0777); }, "folder"},
        {"tool reached through a link", [](const fs::path& f, const fs::path& t) {
             fs::rename(t, f / "real");
             fs::create_symlink(f / "real", t);
         }, "tool"},
        // Only owners may rename in it, so root's tool stays root's.
        {"folder anyone may write to, sticky", [](const fs::path& f, const fs::path&) { ::chmod(f.c_str(), 01777); }, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Prompt prompt;
        TempDir dir;
        const fs::path folder = dir / "libexec";
        fs::create_directories(folder);
        const fs::path tool = writeScript(folder / "QueltoFanHelper", "touch " + testtree::shellQuoted(dir / "ran") + "\n");
        c.make(folder, tool);
        Platform::Programs::setPathForTesting(Program::fanHelper, tool);
        FanControl fans;
        fans.choose(FanPreset::max);
        ASSERT_TRUE(settle(fans));
        EXPECT_EQ(fs::exists(dir / "ran"), !c.atFault) << fans.error().toStdString();
        if (!c.atFault) continue;
        EXPECT_EQ(fans.preset(), FanPreset::auto_);
        const std::string atFault = std::string(c.atFault) == "tool" ? tool.string() : folder.string();
        EXPECT_TRUE(fans.error().startsWith(QString::fromStdString("The fan tool was not run: " + atFault + " must belong to root")))
            << fans.error().toStdString();
    }
}

TEST(FanControl, MissingToolStartsNothing) {
    Prompt prompt;
    TempDir dir;
    Platform::Programs::setPathForTesting(Program::osascript, writeScript(dir / "osascript", "touch \"$0.ran\"\n"));
    Platform::Programs::setPathForTesting(Program::fanHelper, (dir / "QueltoFanHelper").string());
    FanControl fans;
    QSignalSpy busy(&fans, &FanControl::busyChanged);
    fans.choose(FanPreset::max);
    EXPECT_EQ(fans.error(), "Fan control helper is missing from this app build.");
    EXPECT_FALSE(fans.busy());
    EXPECT_EQ(busy.count(), 0);
    EXPECT_FALSE(fs::exists(dir / "osascript.ran"));
}

TEST(FanControl, IgnoresTheCurrentModeAndChoicesDuringARun) {
    Prompt prompt;
    TempDir dir;
    const fs::path gate = dir / "gate";
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    // Each run waits until the test opens the gate.
    Platform::Programs::setPathForTesting(
        Program::fanHelper, writeScript(dir / "QueltoFanHelper", "echo \"$1\" >> \"$0.runs\"; cat " +
                                                                     testtree::shellQuoted(gate) + " >/dev/null\n"));
    FanControl fans;
    fans.choose(FanPreset::max);
    ASSERT_TRUE(fans.busy());
    fans.choose(FanPreset::cool);
    fans.choose(FanPreset::auto_);
    ::close(::open(gate.c_str(), O_WRONLY));
    ASSERT_TRUE(settle(fans));
    EXPECT_EQ(fans.preset(), FanPreset::max);
    EXPECT_EQ(readFile(dir / "QueltoFanHelper.runs"), "max\n");

    // An error stays until a run starts; choosing the current mode is no run.
    Platform::Programs::setPathForTesting(Program::fanHelper, (dir / "gone").string());
    fans.choose(FanPreset::cool);
    ASSERT_FALSE(fans.error().isEmpty());
    QSignalSpy changes(&fans, &FanControl::errorChanged);
    fans.choose(FanPreset::max);
    EXPECT_FALSE(fans.busy());
    EXPECT_FALSE(fans.error().isEmpty());
    EXPECT_EQ(changes.count(), 0);
}

TEST(FanControl, DrivesTheSimulatedControllerThroughThePrompt) {
    ASSERT_EQ(::geteuid(), 0u) << "the fan tool runs as root";
    Prompt prompt;
    SimRoot sim(fans(2));
    ScopedEnv root("QUELTO_FAN_TEST_ROOT", sim.path().string());
    Platform::Programs::setPathForTesting(Program::fanHelper, QUELTO_BIN_DIR "/QueltoFanHelperSim");
    FanControl control;

    const auto started = std::chrono::steady_clock::now();
    control.choose(FanPreset::cool);
    ASSERT_TRUE(settle(control));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "held by the watcher";
    EXPECT_EQ(control.preset(), FanPreset::cool) << control.error().toStdString();
    EXPECT_EQ(sim.modes(), (std::vector<double>{1, 1}));
    const std::string token = readFile(sim.token(::getpid()));
    EXPECT_TRUE(watcherOf(token).has_value());

    control.choose(FanPreset::auto_);
    ASSERT_TRUE(settle(control));
    EXPECT_EQ(control.preset(), FanPreset::auto_);
    EXPECT_EQ(sim.modes(), (std::vector<double>{0, 0}));
    EXPECT_TRUE(eventually([&] { return !watcherOf(token); }));
}

TEST(FanPreset, TextsAndRawValues) {
    EXPECT_EQ(rawValue(FanPreset::auto_), "auto");
    EXPECT_EQ(fanPresetFromRawValue("max"), FanPreset::max);
    EXPECT_EQ(fanPresetFromRawValue("Max"), std::nullopt);
    EXPECT_EQ(title(FanPreset::cool), "Cool");
    EXPECT_EQ(explanation(FanPreset::auto_), "Managed by macOS");
    EXPECT_EQ(explanation(FanPreset::cool), "Cooling ahead of load");
    EXPECT_EQ(explanation(FanPreset::max), "Maximum cooling");
}
}  // namespace
