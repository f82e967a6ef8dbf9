#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <map>
#include <set>

#include "Models/Kit/MotionPause.h"
#include "Models/Kit/PacedSchedule.h"
#include "Views/TestSupport.h"

namespace {
std::vector<double> firstDates(PacedSchedule s, double from, int n, PacedSchedule::Mode mode = PacedSchedule::Mode::normal) {
    auto entries = s.entriesFromSeconds(from, mode);
    std::vector<double> out;
    for (int i = 0; i < n; ++i) {
        auto d = entries.nextSeconds();
        if (!d) break;
        out.push_back(*d);
    }
    return out;
}
}  // namespace

TEST(Clock, ReferenceDateIsJanuaryFirst2001) {
    using namespace std::chrono;
    const auto unix2001 = system_clock::time_point(seconds(978307200));
    EXPECT_DOUBLE_EQ(Platform::secondsSinceReferenceDate(unix2001), 0.0);
    EXPECT_DOUBLE_EQ(Platform::secondsSinceReferenceDate(unix2001 - seconds(1)), -1.0);
    for (double t : {0.0, 100.5, 812345678.125, -3.25}) {
        EXPECT_NEAR(Platform::secondsSinceReferenceDate(Platform::dateFromReferenceSeconds(t)), t, 1e-6) << t;
    }
}

TEST(Clock, SteppedClockMovesOnlyWhenTold) {
    ClockScope scope(500);
    EXPECT_DOUBLE_EQ(Platform::secondsSinceReferenceDate(Platform::clock().now()), 500.0);
    scope.advance(0.25);
    EXPECT_NEAR(Platform::secondsSinceReferenceDate(Platform::clock().now()), 500.25, 1e-9);
}

struct GridCase {
    const char* name;
    PacedSchedule schedule;
    double from;
    std::vector<double> expected;
};

class PacedScheduleGrid : public ::testing::TestWithParam<GridCase> {};

TEST_P(PacedScheduleGrid, YieldsTheGridPointsAfterTheStart) {
    const auto& c = GetParam();
    const auto dates = firstDates(c.schedule, c.from, int(c.expected.size()));
    ASSERT_EQ(dates.size(), c.expected.size());
    for (size_t i = 0; i < dates.size(); ++i) EXPECT_NEAR(dates[i], c.expected[i], 1e-9) << c.name << " #" << i;
}

INSTANTIATE_TEST_SUITE_P(
    Starts, PacedScheduleGrid,
    ::testing::Values(
        GridCase{"plainTwelve", {12, false, false}, 100.0, {100 + 1.0 / 12, 100 + 2.0 / 12, 100 + 3.0 / 12}},
        GridCase{"startOnAGridPointIsSkipped", {12, false, false}, 100.5, {100.5 + 1.0 / 12}},
        GridCase{"thirtyForTheMark", {30, false, false}, 7.0, {7 + 1.0 / 30, 7 + 2.0 / 30}},
        GridCase{"insideAWindowRunsAtThirty", {12, false, true}, 110.2, {3307.0 / 30, 3308.0 / 30}},
        GridCase{"pastTheWindowBackToTwelve", {12, false, true}, 110.96, {111.0, 111.0 + 1.0 / 12}},
        // The frame that enters a window is still on the base grid; the next one is not.
        GridCase{"enteringAWindow", {12, false, true}, 109.99, {110.0, 110.0 + 1.0 / 30}},
        GridCase{"windowsIgnoredWithoutShootingStars", {12, false, false}, 110.2, {1323.0 / 12}},
        GridCase{"beforeTheReferenceDate", {12, false, false}, -1.0, {-11.0 / 12}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PacedSchedule, PausedOrLowFrequencyYieldsNothing) {
    EXPECT_TRUE(firstDates({12, true, true}, 100, 3).empty());
    EXPECT_TRUE(firstDates({30, false, false}, 100, 3, PacedSchedule::Mode::lowFrequency).empty());
    auto stopped = PacedSchedule{12, true, false}.entriesFromSeconds(5);
    EXPECT_TRUE(stopped.stopped());
    EXPECT_FALSE(stopped.next().has_value());
}

TEST(PacedSchedule, ShootingStarWindowIsTheFirst095SecondsOfEvery11) {
    struct { double t; bool in; } cases[] = {
        {0.0, true}, {0.94, true}, {0.95, false}, {5.0, false}, {10.99, false},
        {11.0, true}, {11.5, true}, {121.94, true}, {121.96, false}, {-10.5, true}, {-0.5, false},
    };
    for (auto c : cases) EXPECT_EQ(PacedSchedule::inShootingStarWindow(c.t), c.in) << c.t;
}

TEST(PacedSchedule, NeverStandsStillNearTodaysDates) {
    // Around present-day dates, a rate change must still move strictly forward.
    auto entries = PacedSchedule{12, false, true}.entriesFromSeconds(11.0 * 72000000 - 0.3);
    double last = 11.0 * 72000000 - 0.3;
    for (int i = 0; i < 400; ++i) {
        const double next = *entries.nextSeconds();
        ASSERT_GT(next, last);
        last = next;
    }
}

// ---- The frame driver

TEST(PacedTimeline, ArmsNothingWhilePaused) {
    ClockScope scope(100.0);
    PacedTimeline timeline(12, false);
    EXPECT_TRUE(timeline.isPaused());
    EXPECT_FALSE(timeline.isScheduled());
    EXPECT_EQ(timeline.scheduledFrames(), 0);
    EXPECT_DOUBLE_EQ(timeline.currentTime(), 100.0);  // the start date's frame is on show
}

TEST(PacedTimeline, DeliversFramesOnTheGridAndStopsWhenPaused) {
    ClockScope scope(100.0);
    PacedTimeline timeline(12, false);
    QSignalSpy frames(&timeline, &PacedTimeline::frame);
    timeline.setPaused(false);
    ASSERT_TRUE(timeline.isScheduled());
    EXPECT_NEAR(*timeline.pendingTime(), 100 + 1.0 / 12, 1e-9);
    EXPECT_EQ(timeline.scheduledFrames(), 1);

    scope.advance(1.0 / 12);
    timeline.deliverDueFrame();
    ASSERT_EQ(frames.count(), 1);
    EXPECT_NEAR(frames.at(0).at(0).toDouble(), 100 + 1.0 / 12, 1e-9);
    EXPECT_NEAR(*timeline.pendingTime(), 100 + 2.0 / 12, 1e-9);

    // After a stall the newest due frame shows; the missed ones are dropped.
    scope.advance(1.01);
    timeline.deliverDueFrame();
    ASSERT_EQ(frames.count(), 2);
    EXPECT_NEAR(frames.at(1).at(0).toDouble(), std::floor(12 * (100 + 1.0 / 12 + 1.01)) / 12, 1e-6);
    EXPECT_GT(*timeline.pendingTime(), 100 + 1.0 / 12 + 1.01);

    const long long armed = timeline.scheduledFrames();
    timeline.setPaused(true);
    EXPECT_FALSE(timeline.isScheduled());
    timeline.deliverDueFrame();
    EXPECT_EQ(frames.count(), 2);
    EXPECT_EQ(timeline.scheduledFrames(), armed);
}

TEST(PacedTimeline, ResumesOnTheNextGridPoint) {
    ClockScope scope(200.0);
    PacedTimeline timeline(12, false);
    timeline.setPaused(false);
    timeline.setPaused(true);
    scope.advance(3.03);
    timeline.setPaused(false);
    EXPECT_NEAR(*timeline.pendingTime(), std::floor(12 * 203.03 + 1) / 12, 1e-6);
}

TEST(PacedTimeline, ANewRateTakesOverFromNow) {
    ClockScope scope(300.0);
    PacedTimeline timeline(12, false);
    timeline.setPaused(false);
    scope.advance(0.01);
    timeline.setFps(60);
    EXPECT_NEAR(*timeline.pendingTime(), 300 + 1.0 / 60, 1e-9);
    const long long armed = timeline.scheduledFrames();
    timeline.setFps(60);  // the same rate changes nothing
    EXPECT_EQ(timeline.scheduledFrames(), armed);
    // Paused, the rate is kept for when it runs again.
    timeline.setPaused(true);
    timeline.setFps(12);
    EXPECT_FALSE(timeline.isScheduled());
    timeline.setPaused(false);
    EXPECT_NEAR(*timeline.pendingTime(), 300 + 1.0 / 12, 1e-9);
    // A rate changed while a frame is delivered, with the clock a hair short of
    // that frame's date, moves on instead of delivering it again.
    scope.advance(1.0 / 12 - 0.01 - 1e-9);
    timeline.deliverDueFrame();
    timeline.setFps(60);
    EXPECT_GT(*timeline.pendingTime(), timeline.currentTime());
}

TEST(PacedTimeline, RunsOnTheEventLoop) {
    // The wall clock: two frames of a 30-per-second timeline arrive within a fraction of a second.
    PacedTimeline timeline(30, false);
    QSignalSpy frames(&timeline, &PacedTimeline::frame);
    timeline.setPaused(false);
    EXPECT_TRUE(frames.wait(500));
    EXPECT_TRUE(frames.count() >= 2 || frames.wait(500));
    double last = 0;
    for (const auto& f : frames) {
        const double t = f.at(0).toDouble();
        EXPECT_NEAR(t * 30, std::round(t * 30), 1e-3);  // on the grid
        EXPECT_GT(t, last);
        last = t;
    }
}

TEST(PacedTimeline, FramesOfOneInstantArriveInOneTimerEvent) {
    // The sky at 12, a hero at 60 and a chart at 12: whenever their grids meet, their
    // views must be drawn in one pass, so the frames come out of one timer event.
    struct TimerEvents : QObject {
        long long seen = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            seen += e->type() == QEvent::Timer;
            return false;
        }
    } timers;
    QCoreApplication::instance()->installEventFilter(&timers);
    PacedTimeline sky(12, true), hero(60, false), chart(12, false);
    std::map<double, std::set<long long>> eventsAt;  // frame date to the timer events it came in
    for (PacedTimeline* t : {&sky, &hero, &chart}) {
        QObject::connect(t, &PacedTimeline::frame, t, [&](double at) { eventsAt[std::round(at * 60)].insert(timers.seen); });
        t->setPaused(false);
    }
    QTest::qWaitFor([&] { return eventsAt.size() >= 25; }, 3000);
    QCoreApplication::instance()->removeEventFilter(&timers);
    ASSERT_GE(eventsAt.size(), 25u);
    for (const auto& [at, events] : eventsAt) EXPECT_EQ(events.size(), 1u) << "frame " << at << "/60";
}

TEST(MotionPause, NotifiesOnlyOnChange) {
    auto& pause = MotionPause::shared();
    QSignalSpy scrolling(&pause, &MotionPause::scrollingChanged);
    QSignalSpy hidden(&pause, &MotionPause::hiddenChanged);
    pause.setScrolling(true);
    pause.setScrolling(true);
    pause.setScrolling(false);
    pause.setHidden(false);
    EXPECT_EQ(scrolling.count(), 2);
    EXPECT_EQ(hidden.count(), 0);
    EXPECT_FALSE(pause.scrolling());
}
