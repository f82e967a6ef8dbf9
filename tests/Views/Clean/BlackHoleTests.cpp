#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>

#include "Models/Clean/Shockwave.h"
#include "Models/Kit/MotionPause.h"
#include "Views/Clean/BlackHole.h"
#include "Views/TestSupport.h"

namespace {
// Delivers the timeline's next frame on the stepped clock.
double step(ClockScope& clock, BlackHole& hero) {
    const auto due = hero.timeline().pendingTime();
    if (!due) return hero.shownFrame().t;
    clock.advance(*due - Platform::secondsSinceReferenceDate(Platform::clock().now()));
    hero.timeline().deliverDueFrame();
    return hero.shownFrame().t;
}
}  // namespace

TEST(MotionClock, FirstFrameAndPausesMoveAtMostATenthOfASecond) {
    struct Case {
        const char* name;
        double gap;       // seconds between the two frames
        double advanced;  // seconds of motion the second frame adds
    } cases[] = {{"steady", 1.0 / 60, 1.0 / 60}, {"longPause", 10, 0.1}, {"clockSteppedBack", -5, 0}};
    for (const auto& c : cases) {
        MotionClock clock;
        clock.advance(1000, 1.0, 0, 0);
        // The first frame eases nothing: there is no earlier one.
        EXPECT_DOUBLE_EQ(clock.pace, 0.22) << c.name;
        EXPECT_DOUBLE_EQ(clock.phase, 0) << c.name;
        clock.advance(1000 + c.gap, 1.0, 0, 0);
        const double k = 1 - std::exp(-2.5 * c.advanced);
        EXPECT_NEAR(clock.pace, 0.22 + (1.0 - 0.22) * k, 1e-12) << c.name;
        EXPECT_NEAR(clock.phase, c.advanced * clock.pace * 0.3, 1e-12) << c.name;
    }
}

TEST(MotionClock, EasesTowardsEachMood) {
    MotionClock clock;
    for (double t = 0; t < 20; t += 1.0 / 60) clock.advance(t, 2.4, 1.0, 1.0);
    EXPECT_NEAR(clock.pace, 2.4, 1e-6);
    EXPECT_NEAR(clock.energy, 1.0, 1e-6);
    EXPECT_NEAR(clock.growth, 1.0, 1e-6);
    EXPECT_LT(clock.phase, 1000);
}

struct RateCase {
    const char* name;
    bool spinning, suction, animated, reduceMotion, hidden;
    double fps;   // 0: paused
};

class BlackHoleRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(BlackHoleRate, RunsFastOnlyWhileSomethingMovesFastAndRestsWhenItMust) {
    const auto& c = GetParam();
    ClockScope clock(5000);
    BlackHole hero(240);
    hero.show();
    hero.setSpinning(c.spinning);
    hero.setSuction(c.suction);
    hero.setAnimated(c.animated);
    MotionPause::shared().setReduceMotion(c.reduceMotion);
    MotionPause::shared().setHidden(c.hidden);
    if (c.fps == 0) {
        EXPECT_FALSE(hero.timeline().isScheduled());
    } else {
        ASSERT_TRUE(hero.timeline().isScheduled());
        const double a = step(clock, hero), b = step(clock, hero);
        EXPECT_NEAR(b - a, 1.0 / c.fps, 1e-6);
    }
    MotionPause::shared().setHidden(false);
    MotionPause::shared().setReduceMotion(false);
}

INSTANTIATE_TEST_SUITE_P(
    Moods, BlackHoleRate,
    ::testing::Values(RateCase{"idle", false, false, true, false, false, 12},
                      RateCase{"scanning", true, false, true, false, false, 60},
                      RateCase{"swallowing", false, true, true, false, false, 60},
                      RateCase{"notAnimated", true, false, false, false, false, 0},
                      RateCase{"reducedMotion", false, false, true, true, false, 0},
                      RateCase{"noWindowOnScreen", true, false, true, false, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlackHole, StaysPausedWhileHiddenAndResumesGently) {
    ClockScope clock(7000);
    BlackHole hero(240);
    hero.show();
    step(clock, hero);
    hero.hide();
    EXPECT_FALSE(hero.timeline().isScheduled());
    const double phase = hero.motion().phase;
    clock.advance(30.0);
    hero.show();
    step(clock, hero);
    // Half a minute away moves the spin by at most a tenth of a second's worth.
    EXPECT_LE(hero.motion().phase - phase, 0.1 * 0.22 * 0.3 + 1e-12);
}

TEST(BlackHole, IntensityAndScaleStayWithinTheirBounds) {
    ClockScope clock(9000);
    BlackHole hero(240);
    hero.show();
    hero.setSuction(true);
    hero.setOpen(1);
    hero.setGrowth(1);
    for (int i = 0; i < 60 * 20; ++i) step(clock, hero);
    EXPECT_LE(hero.shownFrame().intensity, 1.6);
    EXPECT_NEAR(hero.shownFrame().scale, 1.35 * (1 + 0.05 * hero.shownFrame().intensity), 1e-3);
    EXPECT_LE(hero.shownFrame().scale, 1.35 * (1 + 0.08 + 0.045));
}

TEST(BlackHole, ProbeRunsAlongTheOrbitAndPassesBehindTheHole) {
    for (double theta : {0.3, 1.6, 3.5, 5.0}) {
        const auto p = BlackHole::probe(theta / 1.6, 240);
        // Undo the 20-degree tilt: the star lies on the 0.675 × 0.31 ellipse.
        const double c = std::cos(20 * std::numbers::pi / 180), s = std::sin(20 * std::numbers::pi / 180);
        const double x = p.offset.x() * c + p.offset.y() * s, y = -p.offset.x() * s + p.offset.y() * c;
        EXPECT_NEAR(std::pow(x / (0.675 * 240), 2) + std::pow(y / (0.31 * 240), 2), 1.0, 1e-9);
        EXPECT_EQ(p.behind, std::sin(theta) < 0);
    }
}

TEST(BlackHole, IconsAboutToLandPullTheHole) {
    auto event = [](int64_t bytes, double start) {
        SwallowFeed::Event e;
        e.bytes = bytes;
        e.start = Platform::dateFromReferenceSeconds(start);
        return e;
    };
    const double now = 1000;
    const BlackHole::Events events = {
        event(10'000'000'000, now - 4.0),  // lands in 0.5 s, the largest size class
        event(500, now - 2.0),             // lands now, the smallest
        event(500, now - 3.0),             // landed a second ago: adds nothing
    };
    EXPECT_NEAR(BlackHole::pull(events, now), 1.35 * std::exp(-2.0) + 0.35, 1e-9);
    EXPECT_EQ(BlackHole::pull({}, now), 0);
}

TEST(BlackHole, SwallowingWithoutAFeedShowsTheParticlesButAnEmptyFeedShowsNothing) {
    ClockScope clock(11000);
    BlackHole hero(240);
    hero.setSuction(true);
    const double wide = 2 * 1.1 * 240;
    EXPECT_GE(hero.layerBounds(hero.shownFrame()).width(), wide);
    hero.setFeed(BlackHole::Events{});
    EXPECT_LT(hero.layerBounds(hero.shownFrame()).width(), wide);
}

struct ShockCase {
    const char* name;
    double size;
    bool animated;
    double startsIn;  // seconds from now; a start ahead is a clock stepped back
    bool drawn;
};

class BlackHoleShock : public ::testing::TestWithParam<ShockCase> {};

TEST_P(BlackHoleShock, RunsFastWhileTheShockwaveLivesThenSettles) {
    const auto& c = GetParam();
    ClockScope clock(13000);
    BlackHole hero(c.size);
    hero.setAnimated(c.animated);
    hero.show();
    auto& shock = Shockwave::shared();
    shock.setStrength(1.0);
    shock.setStart(Platform::dateFromReferenceSeconds(13000 + c.startsIn));
    if (!c.animated) {
        EXPECT_FALSE(hero.timeline().isScheduled());
    } else {
        const double a = step(clock, hero), b = step(clock, hero);
        EXPECT_NEAR(b - a, c.drawn ? 1.0 / 60 : 1.0 / 12, 1e-6) << c.name;
        EXPECT_EQ(hero.shownFrame().shockAge.has_value(), c.drawn) << c.name;
        if (c.drawn) {
            EXPECT_NEAR(hero.shownFrame().intensity, 1.5 * std::exp(-5 * *hero.shownFrame().shockAge), 1e-9);
            // Live for strength + 1.9 seconds; the first frame after that is a slow one again.
            while (step(clock, hero) < 13000 + 2.9) ASSERT_TRUE(hero.shownFrame().shockAge.has_value());
            EXPECT_FALSE(hero.shownFrame().shockAge.has_value());
            const double x = step(clock, hero), y = step(clock, hero);
            EXPECT_NEAR(y - x, 1.0 / 12, 1e-6);
        }
    }
    shock.setStart(std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Heroes, BlackHoleShock,
                         ::testing::Values(ShockCase{"cleanScreen", 240, true, 0, true},
                                           ShockCase{"small", 100, true, 0, false},
                                           ShockCase{"notAnimated", 240, false, 0, false},
                                           ShockCase{"clockSteppedBack", 240, true, 30, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ShockwaveRing, RepaintsOnlyTheBandAroundTheRings) {
    const QRegion early = ShockwaveRing::changed(0.2, 0.22, 1, 240);
    EXPECT_TRUE(early.contains(QPoint(0, int(ShockwaveRing::ring(0, 0.22, 1, 240)->radius))));
    const QRegion late = ShockwaveRing::changed(1.5, 1.52, 1, 240);
    const double r = ShockwaveRing::ring(0, 1.52, 1, 240)->radius;
    EXPECT_TRUE(late.contains(QPoint(int(r), 0)));
    EXPECT_TRUE(late.contains(QPoint(0, -int(r))));
    // Not the hero in the middle, which the rings have long left.
    EXPECT_FALSE(late.contains(QPoint(0, 0)));
    EXPECT_FALSE(late.contains(QPoint(int(0.6 * 240), 0)));
    EXPECT_TRUE(ShockwaveRing::changed(3, 3.1, 1, 240).isEmpty());
}

TEST(BlackHole, AGlowAtRestIsCopiedAsItWasDrawn) {
    // The first paint at a place draws the glow scaled; a second one at the same place
    // and brightness copies a picture made for it, at device pixels that are offset
    // (a widget inside a window) and at two pixel ratios.
    ClockScope clock(7.5e8);
    BlackHole hero(240);
    for (const double ratio : {1.0, 2.0}) {
        QImage first(QSize(620, 600) * ratio, QImage::Format_ARGB32_Premultiplied), second = first;
        first.setDevicePixelRatio(ratio);
        second.setDevicePixelRatio(ratio);
        first.fill(Qt::black);
        second.fill(Qt::black);
        for (QImage* target : {&first, &second}) {
            QPainter p(target);
            p.translate(17, 9);  // the overlay's place in the window
            hero.paintLayers(p, QPointF(290.5, 280.25));
        }
        int worst = 0;
        for (int y = 0; y < first.height(); ++y)
            for (int x = 0; x < first.width(); ++x) {
                const QRgb a = first.pixel(x, y), b = second.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
            }
        EXPECT_LE(worst, 2) << "at ratio " << ratio;
        // And it is there: warm light above the hole, fading out towards the glow's edge.
        const auto red = [&](double above) { return qRed(second.pixel((QPointF(17 + 290.5, 9 + 280.25 - above) * ratio).toPoint())); };
        EXPECT_GT(red(120), red(180) + 5);
    }
}
