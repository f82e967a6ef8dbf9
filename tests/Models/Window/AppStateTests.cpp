#include "Models/Window/AppState.h"
#include "Models/Settings/MenuBarMetric.h"
#include "Support/QtTestSupport.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Status/OptimizeModel.h"
#include "Support/TestTree.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

using qttest::TempHome;
namespace fs = std::filesystem;

TEST(AppState, StartsOnTheCleanTabWithNothingOpen) {
    TempHome home;
    AppState state;
    EXPECT_EQ(state.tab(), AppTab::clean);
    EXPECT_EQ(state.cleanMode(), CleanMode::system);
    EXPECT_EQ(state.appsMode(), AppsMode::uninstall);
    EXPECT_FALSE(state.showHistory());
    EXPECT_FALSE(state.showSettings());
    EXPECT_TRUE(state.hasFullDiskAccess());  // no such permission to lack here
    EXPECT_FALSE(state.openMainWindow);
    for (AppTab t : AppTabs::allCases) EXPECT_FALSE(state.isBusy(t));
}

TEST(AppState, ProbesFullDiskAccessAtCreationOnly) {
    TempHome home;
    std::filesystem::create_directories(home / "Library/Safari");
    AppState state;
    EXPECT_TRUE(state.hasFullDiskAccess());
    std::filesystem::remove_all(home / "Library");
    EXPECT_TRUE(state.hasFullDiskAccess());
}

TEST(AppState, SettersNotifyOnlyOnChange) {
    struct Case {
        const char* name;
        const char* signal;
        std::function<void(AppState&)> same, other;
    };
    const Case cases[] = {
        {"tab", SIGNAL(tabChanged(AppTab)), [](AppState& s) { s.setTab(AppTab::clean); },
         [](AppState& s) { s.setTab(AppTab::status); }},
        {"cleanMode", SIGNAL(cleanModeChanged(CleanMode)), [](AppState& s) { s.setCleanMode(CleanMode::system); },
         [](AppState& s) { s.setCleanMode(CleanMode::ai); }},
        {"appsMode", SIGNAL(appsModeChanged(AppsMode)), [](AppState& s) { s.setAppsMode(AppsMode::uninstall); },
         [](AppState& s) { s.setAppsMode(AppsMode::startup); }},
        {"showHistory", SIGNAL(showHistoryChanged(bool)), [](AppState& s) { s.setShowHistory(false); },
         [](AppState& s) { s.setShowHistory(true); }},
        {"showSettings", SIGNAL(showSettingsChanged(bool)), [](AppState& s) { s.setShowSettings(false); },
         [](AppState& s) { s.setShowSettings(true); }},
        {"hasFullDiskAccess", SIGNAL(hasFullDiskAccessChanged(bool)),
         [](AppState& s) { s.setHasFullDiskAccess(true); }, [](AppState& s) { s.setHasFullDiskAccess(false); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempHome home;
        AppState state;
        QSignalSpy spy(&state, c.signal);
        ASSERT_TRUE(spy.isValid());
        const QVariant before = state.property(c.name);
        c.same(state);
        EXPECT_EQ(spy.count(), 0);
        c.other(state);
        c.other(state);
        EXPECT_EQ(spy.count(), 1);
        EXPECT_NE(state.property(c.name), before);
        EXPECT_EQ(spy.first().first(), state.property(c.name));
    }
}

TEST(AppState, SharedIsOneInstance) {
    EXPECT_EQ(&AppState::shared(), &AppState::shared());
}

TEST(Enumerations, RawValuesAreExactAndInDeclarationOrder) {
    QStringList tabs, modes, apps, metrics;
    for (auto t : AppTabs::allCases) tabs << rawValue(t);
    for (auto m : CleanModes::allCases) modes << rawValue(m);
    for (auto m : AppsModes::allCases) apps << rawValue(m);
    for (auto m : MenuBarMetrics::allCases) metrics << rawValue(m);
    EXPECT_EQ(tabs, (QStringList{"clean", "apps", "optimize", "analyze", "status"}));
    EXPECT_EQ(modes, (QStringList{"system", "ai", "projects", "installers"}));
    EXPECT_EQ(apps, (QStringList{"uninstall", "updates", "startup"}));
    EXPECT_EQ(metrics, (QStringList{"cpu", "gpu", "memory", "temperature", "disk", "network", "battery"}));

    for (auto t : AppTabs::allCases) EXPECT_EQ(appTabFromRawValue(rawValue(t)), t);
    for (auto m : CleanModes::allCases) EXPECT_EQ(cleanModeFromRawValue(rawValue(m)), m);
    for (auto m : AppsModes::allCases) EXPECT_EQ(appsModeFromRawValue(rawValue(m)), m);
    for (auto m : MenuBarMetrics::allCases) EXPECT_EQ(menuBarMetricFromRawValue(rawValue(m)), m);

    for (const char* bad : {"Clean", " clean", "clean ", "", "system"}) EXPECT_FALSE(appTabFromRawValue(bad)) << bad;
    EXPECT_FALSE(cleanModeFromRawValue("System"));
    EXPECT_FALSE(appsModeFromRawValue("Uninstall"));
    EXPECT_FALSE(menuBarMetricFromRawValue("CPU usage"));
}

TEST(AppState, CleanListsWithTheirActionWordsAndTheirBusyAnswer) {
    TempHome home;
    steppedtime::Clocks clocks;
    AppState state;
    const std::pair<CleanListModel*, const char*> lists[] = {
        {&state.junk(), "clean"}, {&state.ai(), "ai"}, {&state.projects(), "purge"}, {&state.installers(), "installers"}};
    for (const auto& [list, action] : lists) {
        SCOPED_TRACE(action);
        EXPECT_EQ(list->action(), action);
        EXPECT_TRUE(list->extraRoots().empty());
        EXPECT_EQ(list->phase().kind, CleanListModel::Phase::Kind::idle);

        QSignalSpy busy(&state, &AppState::busyChanged);
        std::vector<bool> seen;
        QObject::connect(&state, &AppState::busyChanged, [&] { seen.push_back(state.isBusy(AppTab::clean)); });
        ASSERT_TRUE(cleantest::drive(clocks, list->scan()));
        EXPECT_EQ(list->phase().kind, CleanListModel::Phase::Kind::ready);
        ASSERT_GE(seen.size(), 2u);
        EXPECT_TRUE(seen.front());
        EXPECT_FALSE(seen.back());
        for (AppTab t : AppTabs::allCases) EXPECT_FALSE(state.isBusy(t));
    }
}

TEST(AppState, InstallersAreFoundThroughALinkedHome) {
    testtree::TempDir dir;
    fs::create_directories(dir / "real/Downloads");
    testtree::writeFile(dir / "real/Downloads/setup.dmg", std::string(5000, 'x'));
    fs::create_directory_symlink(dir / "real", dir / "link");
    testtree::ScopedEnv linked("HOME", (dir / "link").string());
    steppedtime::Clocks clocks(std::chrono::system_clock::now() + std::chrono::hours(24 * 30));
    AppState state;
    ASSERT_TRUE(cleantest::drive(clocks, state.installers().scan()));
    ASSERT_EQ(state.installers().items().size(), 1u);
    EXPECT_EQ(state.installers().items()[0].url, dir / "real/Downloads/setup.dmg");
    EXPECT_EQ(state.installers().selection().size(), 1u);
}

TEST(AppState, TheOptimizeTabIsBusyUntilItsRunHasLanded) {
    TempHome home;
    steppedtime::Clocks clocks;
    AppState state;
    state.optimize().setSelected({});
    std::vector<std::pair<bool, bool>> seen;  // busy, feed still there
    QObject::connect(&state, &AppState::busyChanged, [&] {
        seen.emplace_back(state.isBusy(AppTab::optimize), state.optimize().feed() != nullptr);
    });
    ASSERT_TRUE(cleantest::drive(clocks, state.optimize().runSelected()));
    EXPECT_EQ(seen, (std::vector<std::pair<bool, bool>>{{true, true}, {false, false}}));
}
