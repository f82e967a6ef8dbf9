#include <gtest/gtest.h>

#include <QTest>

#include <xcb/xcb.h>

#include "Models/Kit/MotionPause.h"
#include "Support/SteppedAnimations.h"
#include "Views/TestSupport.h"
#include "Views/Window/ContentView.h"
#include "Views/Kit/Controls.h"
#include "Views/Window/MainWindow.h"
#include "Views/Window/WindowOcclusion.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/Settings/SettingsView.h"
#include "Views/Kit/SpaceBackground.h"
#include "Views/Kit/SubTabs.h"
#include "Views/Kit/TabBar.h"
#include "Views/Kit/Theme.h"

namespace {
struct Shown : ShownContent {
    void clickTab(AppTab t) {
        QTest::mouseClick(view.tabBar(), Qt::LeftButton, {}, view.tabBar()->tabRect(t).center().toPoint());
    }
    bool settingsShown() const { return qobject_cast<SettingsView*>(view.screens()->screen()) != nullptr; }
};
}  // namespace

struct SlotCase {
    AppTab tab;
    bool settings;
    bool subTabs;
};

class ContentViewSubTabs : public ::testing::TestWithParam<SlotCase> {};

TEST_P(ContentViewSubTabs, ShowOnlyOnTheCleanTabWithoutSettings) {
    const auto c = GetParam();
    qttest::SteppedAnimations animations;
    Shown s;
    s.state->setTab(c.tab);
    s.state->setShowSettings(c.settings);
    EXPECT_EQ(s.view.cleanSubTabs()->isVisible(), c.subTabs);
    EXPECT_EQ(s.view.tabBar()->showsSelection(), !c.settings);
    // The pill fades out when settings open.
    animations.step(1500);
    EXPECT_EQ(s.view.tabBar()->pillRect().isEmpty(), c.settings);
    EXPECT_EQ(s.view.settingsButton()->color(), c.settings ? Theme::text() : Theme::secondary());
    EXPECT_EQ(s.view.screenIdentity(), c.settings ? QString("settings") : rawValue(c.tab));
    EXPECT_EQ(s.settingsShown(), c.settings);
}

INSTANTIATE_TEST_SUITE_P(TabsAndSettings, ContentViewSubTabs,
                         ::testing::Values(SlotCase{AppTab::clean, false, true}, SlotCase{AppTab::clean, true, false},
                                           SlotCase{AppTab::apps, false, false}, SlotCase{AppTab::status, false, false},
                                           SlotCase{AppTab::analyze, true, false}),
                         [](const auto& info) {
                             return rawValue(info.param.tab).toStdString() + (info.param.settings ? "WithSettings" : "");
                         });

TEST(ContentView, ClickingTheSelectedTabClosesSettings) {
    Shown s;
    s.state->setTab(AppTab::optimize);
    s.state->setShowSettings(true);
    s.clickTab(AppTab::optimize);
    EXPECT_FALSE(s.state->showSettings());
    EXPECT_EQ(s.state->tab(), AppTab::optimize);
    EXPECT_EQ(s.view.screenIdentity(), "optimize");
    EXPECT_FALSE(s.settingsShown());
    EXPECT_FALSE(s.view.tabBar()->pillRect().isEmpty());
}

TEST(ContentView, ClickingAnotherTabSelectsItAndLeavesSettings) {
    Shown s;
    s.state->setShowSettings(true);
    s.clickTab(AppTab::analyze);
    EXPECT_EQ(s.state->tab(), AppTab::analyze);
    EXPECT_FALSE(s.state->showSettings());
    EXPECT_EQ(s.view.background()->tab(), AppTab::analyze);
    EXPECT_EQ(s.view.tabBar()->selection(), AppTab::analyze);
}

TEST(ContentView, GearTogglesSettingsWithATransitionAndHistoryOpensTheSheet) {
    qttest::SteppedAnimations animations;
    Shown s;
    QTest::mouseClick(s.view.settingsButton(), Qt::LeftButton);
    EXPECT_TRUE(s.state->showSettings());
    EXPECT_TRUE(s.view.screens()->isTransitioning());
    EXPECT_FALSE(s.view.screens()->screen()->isVisible());  // the picture of it grows in first
    animations.step(2000);
    ASSERT_FALSE(s.view.screens()->isTransitioning());
    EXPECT_TRUE(s.view.screens()->screen()->isVisible());
    QTest::mouseClick(s.view.settingsButton(), Qt::LeftButton);
    EXPECT_FALSE(s.state->showSettings());

    QTest::mouseClick(s.view.historyButton(), Qt::LeftButton);
    EXPECT_TRUE(s.state->showHistory());
    EXPECT_EQ(s.view.historyButton()->toolTip(), "History");
    EXPECT_EQ(s.view.settingsButton()->toolTip(), "Settings");
}

TEST(ContentView, TransitionPicturesKeepTheirPlaceWhenTheSubTabsComeAndGo) {
    // Clean to settings hides the sub-tabs (the screen area grows upwards); settings
    // to Clean shows them again. Neither picture may jump.
    for (bool fromSettings : {false, true}) {
        SCOPED_TRACE(fromSettings ? "leaving settings" : "opening settings");
        Shown s;
        s.state->setShowSettings(fromSettings);
        QCoreApplication::sendPostedEvents();
        ScreenStack* stack = s.view.screens();
        const QPoint before = stack->mapTo(&s.view, QPoint(0, 0));
        s.view.toggleSettings();
        QCoreApplication::sendPostedEvents();  // the layout settles
        ASSERT_TRUE(stack->isTransitioning());
        EXPECT_NE(stack->mapTo(&s.view, QPoint(0, 0)), before);
        EXPECT_EQ(stack->mapTo(&s.view, stack->outgoingOffset()), before);
        EXPECT_EQ(stack->incomingPictureSize(), stack->size());
    }
}

TEST(ContentView, ACommandOpensSettingsWithoutAnimation) {
    Shown s;
    s.state->setShowSettings(true);
    EXPECT_FALSE(s.view.screens()->isTransitioning());
    EXPECT_TRUE(s.view.screens()->screen()->isVisible());
}

TEST(ContentView, StatusBackdropIsStillUntilSettingsOpen) {
    Shown s;
    s.clickTab(AppTab::status);
    EXPECT_FALSE(s.view.background()->isAnimated());
    EXPECT_FALSE(s.view.background()->timeline().isScheduled());
    QTest::mouseClick(s.view.settingsButton(), Qt::LeftButton);
    EXPECT_TRUE(s.view.background()->isAnimated());
    EXPECT_TRUE(s.view.background()->timeline().isScheduled());
    EXPECT_EQ(s.view.background()->tab(), AppTab::status);
    s.clickTab(AppTab::status);
    EXPECT_FALSE(s.view.background()->isAnimated());
    s.clickTab(AppTab::apps);
    EXPECT_TRUE(s.view.background()->isAnimated());
}

TEST(ContentView, CleanSubTabsSetTheModeAndKeepTheScreen) {
    Shown s;
    auto* tabs = s.view.cleanSubTabs();
    EXPECT_EQ(tabs->selection(), "system");
    QStringList titles;
    for (const auto& item : tabs->items()) titles << item.title;
    EXPECT_EQ(titles, QStringList({"System", "AI", "Projects", "Installers"}));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->itemRect(1).center().toPoint());
    EXPECT_EQ(s.state->cleanMode(), CleanMode::ai);
    EXPECT_EQ(tabs->selection(), "ai");
    EXPECT_EQ(s.view.screenIdentity(), "clean");
}

TEST(ContentView, ShowingInstallsTheWindowOpener) {
    Fixture f;
    ContentView view(*f.state, *f.prefs, *f.login);
    EXPECT_FALSE(f.state->openMainWindow);
    view.show();
    ASSERT_TRUE(f.state->openMainWindow);
    view.hide();
    f.state->openMainWindow();
    EXPECT_TRUE(view.isVisible());
}

TEST(MainWindow, IsTheMainWindowAndPausesMotionWhenHidden) {
    Fixture f;
    MainWindow w(*f.state, *f.prefs);
    EXPECT_EQ(w.objectName(), "main");
    EXPECT_EQ(w.windowTitle(), "Quelto");
    EXPECT_EQ(w.size(), QSize(1000, 680));
    EXPECT_EQ(w.minimumSize(), QSize(860, 600));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(QTest::qWaitFor([] { return !MotionPause::shared().hidden(); }, 10000));
    auto* sky = w.content()->background();
    EXPECT_TRUE(sky->timeline().isScheduled());

    w.hide();
    ASSERT_TRUE(QTest::qWaitFor([] { return MotionPause::shared().hidden(); }, 10000));
    EXPECT_FALSE(sky->timeline().isScheduled());

    w.show();
    ASSERT_TRUE(QTest::qWaitFor([] { return !MotionPause::shared().hidden(); }, 10000));
    w.showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([] { return MotionPause::shared().hidden(); }, 10000));
    w.showNormal();
    ASSERT_TRUE(QTest::qWaitFor([] { return !MotionPause::shared().hidden(); }, 10000));
    w.close();
    ASSERT_TRUE(QTest::qWaitFor([] { return MotionPause::shared().hidden(); }, 10000));
    MotionPause::shared().setHidden(false);
}

TEST(MainWindow, AQuietStartRestsTheAnimations) {
    MotionPause::shared().setHidden(false);
    Fixture f;
    MainWindow w(*f.state, *f.prefs);  // never shown
    ASSERT_TRUE(QTest::qWaitFor([] { return MotionPause::shared().hidden(); }, 10000));
    MotionPause::shared().setHidden(false);
}

TEST(MainWindow, ACoveredWindowRestsTheAnimations) {
    Fixture f;
    MainWindow w(*f.state, *f.prefs);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(QTest::qWaitFor([] { return !MotionPause::shared().hidden(); }, 10000));
    // What the X server reports when another window covers this one, and uncovers it.
    auto report = [&](uint8_t state) {
        xcb_visibility_notify_event_t e{};
        e.response_type = XCB_VISIBILITY_NOTIFY;
        e.window = uint32_t(w.winId());
        e.state = state;
        w.occlusion()->nativeEventFilter("xcb_generic_event_t", &e, nullptr);
    };
    report(XCB_VISIBILITY_FULLY_OBSCURED);
    ASSERT_TRUE(QTest::qWaitFor([] { return MotionPause::shared().hidden(); }, 10000));
    EXPECT_FALSE(w.content()->background()->timeline().isScheduled());
    report(XCB_VISIBILITY_PARTIALLY_OBSCURED);
    ASSERT_TRUE(QTest::qWaitFor([] { return !MotionPause::shared().hidden(); }, 10000));
    EXPECT_TRUE(w.content()->background()->timeline().isScheduled());
    // Another window's report changes nothing.
    xcb_visibility_notify_event_t other{};
    other.response_type = XCB_VISIBILITY_NOTIFY;
    other.window = uint32_t(w.winId()) + 1;
    other.state = XCB_VISIBILITY_FULLY_OBSCURED;
    w.occlusion()->nativeEventFilter("xcb_generic_event_t", &other, nullptr);
    EXPECT_FALSE(w.occlusion()->isCovered());
    w.close();
    ASSERT_TRUE(QTest::qWaitFor([] { return MotionPause::shared().hidden(); }, 10000));
    MotionPause::shared().setHidden(false);
}
