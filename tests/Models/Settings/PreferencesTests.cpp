#include "Models/Settings/Preferences.h"
#include "Support/QtTestSupport.h"

#include <QSignalSpy>

#include <fstream>
#include <functional>

#include <gtest/gtest.h>

using Platform::UserDefaults;
using Value = UserDefaults::Value;
using qttest::TempHome;
namespace fs = std::filesystem;

namespace {
Value strings(std::vector<std::string> s) { return Value::stringArray(s); }

// Preferences read from a store that holds `key` = `stored` on disk.
struct Stored {
    TempHome home;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> prefs;
    explicit Stored(const std::optional<std::pair<std::string, Value>>& entry = std::nullopt) {
        if (entry) home.freshDefaults()->set(entry->first, entry->second);
        defaults = home.freshDefaults();
        prefs = std::make_unique<Preferences>(*defaults);
    }
};
}  // namespace

TEST(Preferences, EmptyDefaultsGiveTheDefaultsAndWriteNothing) {
    Stored s;
    const Preferences& p = *s.prefs;
    EXPECT_EQ(p.protectedPaths(), QStringList{});
    EXPECT_EQ(p.projectRoots(),
              (QStringList{"~/Developer", "~/Projects", "~/projects", "~/code", "~/Code", "~/dev", "~/src",
                           "~/GitHub", "~/Documents/GitHub", "~/repos", "~/workspace"}));
    EXPECT_EQ(p.staleProjectDays(), 30);
    EXPECT_FALSE(p.dryRun());
    EXPECT_FALSE(p.alwaysTrash());
    EXPECT_EQ(p.menuBarMetrics(), (QList<MenuBarMetric>{MenuBarMetric::cpu, MenuBarMetric::memory}));
    EXPECT_TRUE(p.sounds());
    EXPECT_EQ(p.pinnedProcesses(), QStringList{});
    EXPECT_FALSE(fs::exists(s.home.defaultsFile()));
}

TEST(Preferences, StringListsFallBackWhenAbsentOrNotAllStrings) {
    const auto defaultsRoots = Preferences::defaultProjectRoots();
    struct Case { const char* name; Value stored; QStringList protectedPaths; QStringList projectRoots; };
    const Case cases[] = {
        {"stored list", strings({"~/Keep", "/abs", "~/Keep"}), {"~/Keep", "/abs", "~/Keep"}, {"~/Keep", "/abs", "~/Keep"}},
        {"stored empty list", strings({}), {}, {}},
        {"list with a number", Value(UserDefaults::Array{Value("~/a"), Value(3)}), {}, defaultsRoots},
        {"plain string", Value("~/a"), {}, defaultsRoots},
        {"dictionary", Value(UserDefaults::Dictionary{{"a", Value("b")}}), {}, defaultsRoots},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Stored({{"protectedPaths", c.stored}}).prefs->protectedPaths(), c.protectedPaths);
        EXPECT_EQ(Stored({{"projectRoots", c.stored}}).prefs->projectRoots(), c.projectRoots);
        EXPECT_EQ(Stored({{"pinnedProcesses", c.stored}}).prefs->pinnedProcesses(), c.protectedPaths);
    }
}

TEST(Preferences, StaleProjectDaysTakesOnlyExactIntegers) {
    struct Case { const char* name; Value stored; int expected; };
    const Case cases[] = {
        {"integer beyond the stepper", Value(400), 400},
        {"zero", Value(0), 0},
        {"negative", Value(-5), -5},
        {"whole real", Value(14.0), 14},
        {"fraction", Value(7.5), 30},
        {"string of digits", Value("45"), 30},
        {"Boolean", Value(true), 30},
        {"too large", Value(int64_t{1} << 40), 30},
        {"list", strings({"10"}), 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Stored({{"staleProjectDays", c.stored}}).prefs->staleProjectDays(), c.expected);
    }
}

TEST(Preferences, BooleansTakeOnlyBooleansAndSoundsDefaultsOn) {
    struct Case { const char* name; Value stored; bool flag; bool sounds; };
    const Case cases[] = {
        {"true", Value(true), true, true},
        {"false", Value(false), false, false},
        {"integer 1", Value(1), false, true},
        {"integer 0", Value(0), false, true},
        {"text YES", Value("YES"), false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Stored({{"dryRun", c.stored}}).prefs->dryRun(), c.flag);
        EXPECT_EQ(Stored({{"alwaysTrash", c.stored}}).prefs->alwaysTrash(), c.flag);
        EXPECT_EQ(Stored({{"sounds", c.stored}}).prefs->sounds(), c.sounds);
    }
}

TEST(Preferences, MenuBarMetricsDropUnknownNamesAndKeepOrderAndRepeats) {
    using M = MenuBarMetric;
    struct Case { const char* name; Value stored; QList<M> expected; };
    const Case cases[] = {
        {"unknown name dropped alone", strings({"battery", "fan", "cpu"}), {M::battery, M::cpu}},
        {"repeats kept", strings({"disk", "cpu", "disk"}), {M::disk, M::cpu, M::disk}},
        {"case matters", strings({"CPU", "memory"}), {M::memory}},
        {"stored empty", strings({}), {}},
        {"nothing known", strings({"fan"}), {}},
        {"not all strings", Value(UserDefaults::Array{Value("gpu"), Value(1)}), {M::cpu, M::memory}},
        {"a string", Value("gpu"), {M::cpu, M::memory}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Stored({{"menuBarMetrics", c.stored}}).prefs->menuBarMetrics(), c.expected);
    }
}

TEST(Preferences, UnreadableDefaultsFileFallsBackToTheDefaults) {
    TempHome home;
    fs::create_directories(home.defaultsFile().parent_path());
    std::ofstream(home.defaultsFile()) << "<plist><dict><key>dryRun</key><true/>";
    auto d = home.freshDefaults();
    Preferences p(*d);
    EXPECT_FALSE(p.dryRun());
    EXPECT_EQ(p.staleProjectDays(), 30);
}

TEST(Preferences, EveryAssignmentIsWrittenButOnlyChangesNotify) {
    struct Case {
        const char* key;
        const char* signal;
        std::function<void(Preferences&)> assignSame;
        std::function<void(Preferences&)> assignNew;
        Value written;
    };
    const Case cases[] = {
        {"protectedPaths", SIGNAL(protectedPathsChanged(QStringList)),
         [](Preferences& p) { p.setProtectedPaths({}); },
         [](Preferences& p) { p.setProtectedPaths({"~/Keep"}); }, strings({"~/Keep"})},
        {"projectRoots", SIGNAL(projectRootsChanged(QStringList)),
         [](Preferences& p) { p.setProjectRoots(Preferences::defaultProjectRoots()); },
         [](Preferences& p) { p.setProjectRoots({"/src"}); }, strings({"/src"})},
        {"staleProjectDays", SIGNAL(staleProjectDaysChanged(int)),
         [](Preferences& p) { p.setStaleProjectDays(30); },
         [](Preferences& p) { p.setStaleProjectDays(365); }, Value(365)},
        {"dryRun", SIGNAL(dryRunChanged(bool)),
         [](Preferences& p) { p.setDryRun(false); }, [](Preferences& p) { p.setDryRun(true); }, Value(true)},
        {"alwaysTrash", SIGNAL(alwaysTrashChanged(bool)),
         [](Preferences& p) { p.setAlwaysTrash(false); }, [](Preferences& p) { p.setAlwaysTrash(true); },
         Value(true)},
        {"sounds", SIGNAL(soundsChanged(bool)),
         [](Preferences& p) { p.setSounds(true); }, [](Preferences& p) { p.setSounds(false); }, Value(false)},
        {"menuBarMetrics", SIGNAL(menuBarMetricsChanged(QList<MenuBarMetric>)),
         [](Preferences& p) { p.setMenuBarMetrics({MenuBarMetric::cpu, MenuBarMetric::memory}); },
         [](Preferences& p) { p.setMenuBarMetrics({MenuBarMetric::battery, MenuBarMetric::cpu}); },
         strings({"battery", "cpu"})},
        {"pinnedProcesses", SIGNAL(pinnedProcessesChanged(QStringList)),
         [](Preferences& p) { p.setPinnedProcesses({}); },
         [](Preferences& p) { p.setPinnedProcesses({"Xcode", "Xcode"}); }, strings({"Xcode", "Xcode"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        Stored s;
        QSignalSpy spy(s.prefs.get(), c.signal);
        ASSERT_TRUE(spy.isValid());

        c.assignSame(*s.prefs);
        EXPECT_EQ(spy.count(), 0);
        EXPECT_TRUE(s.home.freshDefaults()->object(c.key)) << "an equal assignment is still written";

        c.assignNew(*s.prefs);
        EXPECT_EQ(spy.count(), 1);
        EXPECT_EQ(s.home.freshDefaults()->object(c.key), c.written);
        c.assignNew(*s.prefs);
        EXPECT_EQ(spy.count(), 1);

        // What was written is what the next launch reads.
        auto again = s.home.freshDefaults();
        Preferences next(*again);
        EXPECT_EQ(next.property(c.key), s.prefs->property(c.key));
    }
}

TEST(Preferences, MetricsReadWithUnknownNamesAreWrittenBackClean) {
    Stored s({{"menuBarMetrics", strings({"battery", "fan", "cpu"})}});
    s.prefs->setMenuBarMetrics(s.prefs->menuBarMetrics());
    EXPECT_EQ(s.home.freshDefaults()->stringArray("menuBarMetrics"), (std::vector<std::string>{"battery", "cpu"}));
}

TEST(Preferences, ProjectRootURLsExpandTildeAndKeepOnlyWhatExists) {
    Stored s;
    const fs::path& h = s.home.path();
    fs::create_directories(h / "Developer");
    fs::create_directories(h / "Documents/GitHub");
    fs::create_directories(h / "elsewhere");
    std::ofstream(h / "code") << "a file counts too";
    EXPECT_EQ(s.prefs->projectRootURLs(), (std::vector<fs::path>{h / "Developer", h / "code", h / "Documents/GitHub"}));

    s.prefs->setProjectRoots({(h / "elsewhere").c_str(), "~", "~/missing", "Developer", "~/Developer"});
    EXPECT_EQ(s.prefs->projectRootURLs(), (std::vector<fs::path>{h / "elsewhere", h, h / "Developer"}));
}

TEST(Preferences, SafetyGuardUsesTheResolvedHomeAndTheStoredPaths) {
    Stored s;
    const fs::path real = s.home / "real-home";
    fs::create_directories(real / "Keep");
    fs::create_directory_symlink(real, s.home / "link-home");
    ::setenv("HOME", (s.home / "link-home/./").c_str(), 1);
    s.prefs->setProtectedPaths({"~/Keep", "/abs/path"});

    const SafetyGuard guard = s.prefs->safetyGuard({"/Applications"});
    EXPECT_EQ(guard.home(), real);
    EXPECT_EQ(guard.protectedPaths(), (std::vector<std::string>{"~/Keep", "/abs/path"}));
    EXPECT_EQ(guard.extraRoots(), std::vector<fs::path>{"/Applications"});
    EXPECT_FALSE(guard.check(real / "Keep/file").isAllowed());
    EXPECT_TRUE(s.prefs->safetyGuard().extraRoots().empty());
}
