#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSignalSpy>

#include "Core/Clean/FakeHome.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Status/Monitor.h"
#include "Support/FakeStatusButton.h"
#include "Views/MenuBar/GlassPanel.h"
#include "Views/MenuBar/MenuBarImage.h"
#include "Views/MenuBar/MenuBarPanel.h"
#include "Views/Kit/Controls.h"
#include "Views/MenuBar/StatusItemController.h"
#include "Views/TestSupport.h"
#include "Views/Window/AppCommands.h"
#include "Views/Window/MainWindow.h"

namespace {
using Kind = CleanListModel::Phase::Kind;

// The controller over fresh state, on a fake button.
struct Item : Fixture {
    FakeStatusButton* button = new FakeStatusButton;
    StatusItemController item{*state, *prefs, button};
    void settle() { QCoreApplication::processEvents(); }
};
}  // namespace

TEST(StatusItem, ABurstOfChangesRefreshesOnce) {
    Item f;
    f.settle();
    const int before = f.item.refreshes();
    for (int i = 0; i < 50; ++i) emit f.state->monitor().cpuChanged();
    emit f.state->busyChanged();
    f.settle();
    EXPECT_EQ(f.item.refreshes(), before + 1);
}

TEST(StatusItem, ToolTipHoldsTheChosenReadingsAndTheMonitorGetsTheSetOnce) {
    Item f;
    Monitor& monitor = f.state->monitor();
    f.prefs->setMenuBarMetrics({MenuBarMetric::cpu, MenuBarMetric::memory});
    f.settle();
    const auto expected =
        MenuBarImage::titleText(MenuBarImage::title(f.prefs->menuBarMetrics(), MenuBarImage::Readings::of(monitor)));
    EXPECT_TRUE(f.button->toolTip().startsWith("CPU ")) << f.button->toolTip().toStdString();
    EXPECT_EQ(f.button->toolTip(), expected);

    QSignalSpy copies(&monitor, &Monitor::menuBarMetricsChanged);
    f.prefs->setMenuBarMetrics({MenuBarMetric::cpu, MenuBarMetric::network});
    f.settle();
    f.settle();
    EXPECT_EQ(copies.count(), 1);
    EXPECT_EQ(monitor.menuBarMetrics(), (QSet<MenuBarMetric>{MenuBarMetric::cpu, MenuBarMetric::network}));
    // The same set in another order is not written again.
    f.prefs->setMenuBarMetrics({MenuBarMetric::network, MenuBarMetric::cpu});
    f.settle();
    EXPECT_EQ(copies.count(), 1);
    EXPECT_TRUE(f.button->toolTip().startsWith(QString::fromUtf8("Network ↓"))) << f.button->toolTip().toStdString();

    f.prefs->setMenuBarMetrics({});
    f.settle();
    EXPECT_EQ(f.button->toolTip(), "Quelto");
}

// A clean of the junk list, watched from the status item: the icon pulses while it
// runs, frame by frame on the monotonic clock, and once it is over the icon is the
// plain glyph and no frame follows however long nothing runs.
TEST(StatusItem, PulsesWhileAListCleansAndSendsNoFrameWhenIdle) {
    fakehome::FakeHome h;
    steppedtime::Clocks clocks(h.now());
    cleantest::FakeAudio audio;
    h.folder(".npm/_cacache/index-v5", 20);
    h.folder(".cache/uv/wheels", 18);
    Item f;
    f.state->setCleanMode(CleanMode::ai);  // the Clean tab shows another list
    CleanListModel& junk = f.state->junk();
    ASSERT_TRUE(cleantest::drive(clocks, junk.scan()));
    f.settle();
    EXPECT_FALSE(f.item.isPulsing());
    const int idleFrames = f.button->iconFrames;

    bool done = false;
    cleantest::markDone(junk.clean(), &done);
    ASSERT_TRUE(qttest::until([&] { return f.item.isPulsing(); }));
    EXPECT_EQ(junk.phase().kind, Kind::cleaning);
    // Half a cycle takes four frames; a refresh while busy leaves the pulse running.
    const int start = f.button->iconFrames;
    for (int i = 0; i < 4; ++i) {
        clocks.advance(StatusItemController::pulseHalfCycle / StatusItemController::pulseSteps);
        emit f.state->busyChanged();
        f.settle();
    }
    EXPECT_EQ(f.button->iconFrames - start, 4);
    EXPECT_EQ(start, idleFrames);

    ASSERT_TRUE(qttest::until([&] {
        if (!done) clocks.advance(0.05);
        return done;
    }));
    ASSERT_TRUE(qttest::until([&] { return !f.item.isPulsing(); }));
    const int after = f.button->iconFrames;
    for (int i = 0; i < 100; ++i) {
        clocks.advance(0.1);
        f.settle();
    }
    EXPECT_EQ(f.button->iconFrames, after);
}

// The window's first show makes the process's one item; showing it again keeps
// that item, and the panel a click on the button opens brings the closed window back.
TEST(StatusItem, TheFirstShowMakesTheOneItemAndItsPanelBringsTheWindowBack) {
    Fixture f;
    f.state->makeStatusItem = [](AppState& s, Preferences& p) -> QObject* {
        return new StatusItemController(s, p, new FakeStatusButton);
    };
    MainWindow window(*f.state, *f.prefs);
    EXPECT_EQ(f.state->statusItem(), nullptr);
    window.show();
    QObject* first = f.state->statusItem();
    ASSERT_NE(first, nullptr);
    auto& button = static_cast<FakeStatusButton&>(static_cast<StatusItemController*>(first)->button());
    window.close();
    button.click();
    GlassPanel& panel = static_cast<StatusItemController*>(first)->panel();
    ASSERT_TRUE(panel.isVisible());
    EXPECT_FALSE(window.isVisible());
    static_cast<MenuBarPanel*>(panel.content())->openButton()->click();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(f.state->statusItem(), first);
}
