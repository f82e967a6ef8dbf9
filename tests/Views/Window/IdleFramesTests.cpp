#include <gtest/gtest.h>

#include <QTest>

#include <functional>

#include "Models/Kit/MotionPause.h"
#include "Models/Kit/PacedSchedule.h"
#include "Views/Status/StatusScene.h"
#include "Views/TestSupport.h"
#include "Views/Kit/SpaceBackground.h"
#include "Views/Window/MainWindow.h"

namespace {
// Every widget's paint events while it lives, and the frames armed meanwhile.
struct Drawn : QObject {
    long long paints = 0;

    const long long frames0 = PacedTimeline::totalScheduledFrames();
    Drawn() { QCoreApplication::instance()->installEventFilter(this); }
    ~Drawn() override { QCoreApplication::instance()->removeEventFilter(this); }
    long long frames() const { return PacedTimeline::totalScheduledFrames() - frames0; }
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

// Waits (five seconds at most) for the transitions of a change to end: half a second
// without a paint. A view that never stops drawing never gets there.
bool settles() {
    for (int i = 0; i < 10; ++i) {
        Drawn drawn;
        QTest::qWait(500);
        if (drawn.paints == 0) return true;
    }
    return false;
}
}  // namespace

TEST(IdleWindow, AStillTabDrawsNothing) {
    // The Status tab over a settled monitor: a still sky, a still hero, and readings
    // that change only when the (stepped) monitor ticks.
    StatusScene scene({});
    scene.state->setTab(AppTab::status);
    MainWindow w(*scene.state, *scene.prefs);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    scene.warmUp();
    ASSERT_FALSE(MotionPause::shared().hidden());
    ASSERT_TRUE(settles());
    Drawn drawn;
    QTest::qWait(500);  // any frame armed would have come by now
    EXPECT_EQ(drawn.frames(), 0);
    EXPECT_EQ(drawn.paints, 0);
}

struct Resting {
    const char* name;
    std::function<void(MainWindow&)> put;
};

class IdleWindowResting : public ::testing::TestWithParam<Resting> {};

TEST_P(IdleWindowResting, DrawsNoFrame) {
    Fixture f;
    f.state->setTab(AppTab::clean);  // the live sky and hero
    MainWindow w(*f.state, *f.prefs);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(QTest::qWaitFor([] { return !MotionPause::shared().hidden(); }, 10000));
    {
        Drawn shown;
        QTest::qWait(250);
        ASSERT_GT(shown.frames(), 0);  // the sky and the hero move while the window shows
    }
    GetParam().put(w);
    ASSERT_TRUE(QTest::qWaitFor([] { return MotionPause::shared().hidden(); }, 10000));
    QCoreApplication::processEvents();
    Drawn drawn;
    QTest::qWait(500);  // six frames of the sky, thirty of a busy hero
    EXPECT_EQ(drawn.frames(), 0);
    EXPECT_EQ(drawn.paints, 0);
    EXPECT_FALSE(w.content()->background()->timeline().isScheduled());
    w.close();
    MotionPause::shared().setHidden(false);
}

INSTANTIATE_TEST_SUITE_P(HiddenOrMinimised, IdleWindowResting,
                         ::testing::Values(Resting{"Hidden", [](MainWindow& w) { w.hide(); }},
                                           Resting{"Minimised", [](MainWindow& w) { w.showMinimized(); }}),
                         [](const auto& info) { return std::string(info.param.name); });
