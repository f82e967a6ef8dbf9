#include <gtest/gtest.h>

#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "Models/Status/Monitor.h"
#include "Support/FakeStatusButton.h"
#include "Support/SteppedAnimations.h"
#include "Views/Kit/Controls.h"
#include "Views/MenuBar/CleaningTotals.h"
#include "Views/MenuBar/GlassPanel.h"
#include "Views/MenuBar/MenuBarPanel.h"
#include "Views/MenuBar/StatusItemController.h"
#include "Views/TestSupport.h"

namespace {
struct Placement {
    const char* name;
    QSize fitting;
    QRect button;
    QRect expected;
};
const QRect screen(0, 0, 1280, 800);
const QRect topTray(1200, 0, 22, 22), bottomTray(1200, 778, 22, 22);

class GlassPanelPlacement : public ::testing::TestWithParam<Placement> {};
}  // namespace

TEST_P(GlassPanelPlacement, StaysInsideTheScreenByTheButton) {
    const Placement& c = GetParam();
    const QRect placed = GlassPanel::place(c.fitting, c.button, screen);
    EXPECT_EQ(placed, c.expected);
    EXPECT_TRUE(screen.contains(placed) || placed.width() > screen.width());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GlassPanelPlacement,
    ::testing::Values(
        // Content that has not measured itself yet gets 320 x 480 at least.
        Placement{"unmeasured", {0, 0}, {600, 0, 22, 22}, {451, 28, 320, 480}},
        Placement{"unmeasuredButTall", {50, 600}, {600, 0, 22, 22}, {451, 28, 320, 600}},
        Placement{"measuredShort", {340, 300}, {600, 0, 22, 22}, {441, 28, 340, 300}},
        // Centred on the button, 6 below it.
        Placement{"centredUnderTheButton", {340, 600}, {600, 0, 22, 22}, {441, 28, 340, 600}},
        // At the right edge: 8 inside the screen.
        Placement{"keptInsideOnTheRight", {340, 600}, topTray, {1280 - 340 - 8, 28, 340, 600}},
        Placement{"keptInsideOnTheLeft", {340, 600}, {0, 0, 22, 22}, {8, 28, 340, 600}},
        // A bottom tray: above the button, 6 above it.
        Placement{"aboveABottomTray", {340, 600}, bottomTray, {932, 778 - 6 - 600, 340, 600}},
        // Taller than the room beside the button: cut to it, 8 from the screen's edge.
        Placement{"tallerThanTheScreen", {340, 1200}, topTray, {932, 28, 340, 800 - 8 - 28}},
        Placement{"tallerAboveABottomTray", {340, 1200}, bottomTray, {932, 8, 340, 778 - 6 - 8}},
        Placement{"cutToTheRoomBelow", {340, 780}, {600, 100, 22, 22}, {441, 128, 340, 800 - 8 - 128}},
        // A button above the screen's free area (a tray the free area leaves out).
        Placement{"buttonAboveTheFreeArea", {340, 1200}, {600, -30, 22, 22}, {441, 8, 340, 800 - 16}},
        // Wider than the screen: the right margin wins.
        Placement{"widerThanTheScreen", {1400, 300}, topTray, {1280 - 1400 - 8, 28, 1400, 300}}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {
// The status item on a fake button, with its panel.
struct Tray : Fixture {
    FakeStatusButton* button = new FakeStatusButton;
    StatusItemController item{*state, *prefs, button};
    GlassPanel& panel = item.panel();
    QWidget elsewhere;  // another window of ours
    Tray() {
        button->frame = QRect(600, 0, 22, 22);
        elsewhere.setGeometry(20, 400, 200, 200);
        elsewhere.show();
    }
    void settle() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};
}  // namespace

// A click on the button opens the panel under it with fresh content; a click inside
// keeps it; a click on the button or anywhere else closes it and lets its content go.
TEST(GlassPanel, OpensByTheButtonAndClosesOnTheButtonOrOutside) {
    qttest::SteppedAnimations animations;
    Tray t;
    t.button->click();
    ASSERT_TRUE(t.panel.isVisible());
    // It fades in over 0.16 s.
    EXPECT_LT(t.panel.fade(), 0.5);
    animations.step(80);
    EXPECT_GT(t.panel.fade(), 0.3);
    EXPECT_LT(t.panel.fade(), 0.7);
    animations.step(100);
    EXPECT_EQ(t.panel.fade(), 1.0);
    EXPECT_EQ(t.panel.x(), 600 + 11 - MenuBarPanel::width / 2);
    EXPECT_EQ(t.panel.y(), 28);
    EXPECT_EQ(t.panel.width(), MenuBarPanel::width);
    QPointer<QWidget> first = t.panel.content();
    ASSERT_TRUE(first);

    // Taller than this screen: cut to it, and the rest is reached by scrolling.
    const QRect visible = t.panel.screen()->availableGeometry();
    auto* content = static_cast<MenuBarPanel*>(t.panel.content());
    ASSERT_GT(content->sizeHint().height(), visible.height());
    EXPECT_EQ(t.panel.geometry().bottom(), visible.bottom() - GlassPanel::margin);
    EXPECT_EQ(t.panel.y(), 28);
    QScrollBar* bar = content->scrollArea()->verticalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    EXPECT_FALSE(content->totals()->visibleRegion().isEmpty());

    QTest::mouseClick(t.panel.windowHandle(), Qt::LeftButton, {}, QPoint(40, 10));
    t.settle();
    EXPECT_TRUE(t.panel.isVisible());
    EXPECT_EQ(t.panel.content(), first);

    t.button->click();
    t.settle();
    EXPECT_FALSE(t.panel.isVisible());
    EXPECT_FALSE(first) << "the content outlived its showing";

    t.button->click();
    ASSERT_TRUE(t.panel.isVisible());
    QPointer<QWidget> second = t.panel.content();
    EXPECT_TRUE(second);
    QTest::mouseClick(t.elsewhere.windowHandle(), Qt::LeftButton, {}, QPoint(100, 100));
    t.settle();
    EXPECT_FALSE(t.panel.isVisible());
    EXPECT_FALSE(second);
}

// The panel counts as one watcher of the monitor while it shows, and as none once
// hidden, however it closes. Its own buttons close it from inside their click: ten
// times over, with no crash and no content left behind.
TEST(GlassPanel, CountsAsOneWatcherWhileShownAndClosesSafelyFromInside) {
    Tray t;
    const Monitor& monitor = t.state->monitor();
    int opened = 0;
    t.state->openMainWindow = [&] { ++opened; };
    for (int i = 0; i < 12; ++i) {
        t.button->click();
        auto* content = static_cast<MenuBarPanel*>(t.panel.content());
        ASSERT_TRUE(content);
        EXPECT_EQ(monitor.processWatchers(), 1);
        QPointer<QWidget> alive(content);
        switch (i % 4) {
            case 0: content->openButton()->click(); break;
            case 1: content->settingsButton()->click(); break;
            case 2: QTest::mouseClick(t.elsewhere.windowHandle(), Qt::LeftButton, {}, QPoint(10, 10)); break;
            default: t.button->click(); break;
        }
        EXPECT_FALSE(t.panel.isVisible());
        EXPECT_EQ(monitor.processWatchers(), 0) << "a hidden panel still counted";
        t.settle();
        EXPECT_FALSE(alive);
    }
    EXPECT_EQ(opened, 6);
    EXPECT_EQ(monitor.processWatchers(), 0);
}
