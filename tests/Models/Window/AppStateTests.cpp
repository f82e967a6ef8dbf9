#include "Models/Window/AppState.h"
#include "Models/Settings/MenuBarMetric.h"
#include "Support/QtTestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

using qttest::TempHome;

TEST(AppState, StartsOnTheCleanTabWithNothingOpen) {
    TempHome home;
    AppState state;
    EXPECT_EQ(state.tab(), AppTab::clean);
    EXPECT_EQ(state.cleanMode(), CleanMode::system);
    EXPECT_EQ(state.appsMode(), AppsMode::uninstall);
    EXPECT_FALSE(state.showHistory());
    EXPECT_FALSE(state.showSettings());
    EXPECT_FALSE(state.hasFullDiskAccess());
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
         [](AppState& s) { s.setHasFullDiskAccess(false); }, [](AppState& s) { s.setHasFullDiskAccess(true); }},
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
