#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <cmath>
#include <numbers>

#include "Models/Kit/MotionPause.h"
#include "Support/SteppedAnimations.h"
#include "Views/TestSupport.h"
#include "Views/Kit/SpaceBackground.h"
#include "Views/Kit/Starfield.h"
#include "Views/Kit/Theme.h"

TEST(StarRandom, SeedsAndStepsAsAXorshift) {
    StarRandom r(11);
    EXPECT_EQ(r.state, 0xCC623AF8783354E7ull);
    // The state is always odd, even for seed 0.
    EXPECT_EQ(StarRandom(0).state, 1ull);
    uint64_t s = 0xCC623AF8783354E7ull;
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    EXPECT_EQ(r.next(), s);
    StarRandom a(7), b(7);
    for (int i = 0; i < 50; ++i) {
        const double u = a.unit();
        EXPECT_GE(u, 0.0);
        EXPECT_LE(u, 0.9999);
        EXPECT_DOUBLE_EQ(u * 10000, std::round(u * 10000));
        EXPECT_EQ(u, b.unit());
    }
}

TEST(LiveStarfield, HasOneHundredTwentyStarsInTheirRanges) {
    const auto& stars = LiveStarfield::stars();
    ASSERT_EQ(stars.size(), 120u);
    int near = 0;
    for (size_t i = 0; i < stars.size(); ++i) {
        const auto& s = stars[i];
        EXPECT_EQ(s.near, i % 4 == 0) << i;
        near += s.near;
        EXPECT_GE(s.x, 0); EXPECT_LT(s.x, 1);
        EXPECT_GE(s.y, 0); EXPECT_LT(s.y, 1);
        EXPECT_GE(s.r, 0.4); EXPECT_LE(s.r, 1.59988 + 1e-12);
        EXPECT_GE(s.alpha, 0.15); EXPECT_LE(s.alpha, 0.699945 + 1e-12);
        EXPECT_GE(s.speed, 0.4); EXPECT_LE(s.speed, 1.99984 + 1e-12);
        EXPECT_GE(s.phase, 0); EXPECT_LT(s.phase, 2 * std::numbers::pi);
    }
    EXPECT_EQ(near, 30);
    // The first star takes the first six draws of the seed-11 generator.
    StarRandom r(11);
    EXPECT_DOUBLE_EQ(stars[0].x, r.unit());
    EXPECT_DOUBLE_EQ(stars[0].y, r.unit());
    EXPECT_DOUBLE_EQ(stars[0].r, 0.4 + 1.2 * r.unit());
}

TEST(LiveStarfield, StarsDriftLeftAndWrapPastMinusTen) {
    LiveStarfield::Star far{0.5, 0.25, 1.0, 0.5, 1.0, 0.0, false};
    LiveStarfield::Star near = far;
    near.near = true;
    const QSizeF size(980, 600);  // span 1000
    auto d0 = LiveStarfield::dot(far, 0, size);
    EXPECT_DOUBLE_EQ(d0.rect.x(), 500);
    EXPECT_DOUBLE_EQ(d0.rect.y(), 150);
    EXPECT_DOUBLE_EQ(d0.rect.width(), 1.0);
    EXPECT_DOUBLE_EQ(LiveStarfield::dot(far, 10, size).rect.x(), 480);    // 2 points a second
    EXPECT_DOUBLE_EQ(LiveStarfield::dot(near, 10, size).rect.x(), 450);   // 5 points a second
    EXPECT_DOUBLE_EQ(LiveStarfield::dot(near, 0, size).rect.width(), 1.3);

    // x 0 and drift 10: exactly -10 stays; a hair further comes back on the right.
    LiveStarfield::Star edge = far;
    edge.x = 0;
    EXPECT_DOUBLE_EQ(LiveStarfield::dot(edge, 5, size).rect.x(), -10);
    EXPECT_NEAR(LiveStarfield::dot(edge, 5.005, size).rect.x(), -10.01 + 1000, 1e-9);

    // Twinkle: base opacity times 0.55 + 0.45 sin(t speed + phase).
    EXPECT_NEAR(LiveStarfield::dot(far, std::numbers::pi / 2, size).opacity, 0.5, 1e-9);
    EXPECT_NEAR(LiveStarfield::dot(far, 3 * std::numbers::pi / 2, size).opacity, 0.05, 1e-9);
}

TEST(LiveStarfield, ShootingStarFliesForNineTenthsOfEachCycle) {
    const QSizeF size(1000, 680);
    const double k = 5;
    EXPECT_FALSE(LiveStarfield::shootingStar(11 * k + 0.9 + 1e-9, size));
    EXPECT_TRUE(LiveStarfield::shootingStar(11 * k + 0.9 - 1e-9, size));
    EXPECT_FALSE(LiveStarfield::shootingStar(11 * k + 5, size));
    const auto start = LiveStarfield::shootingStar(11 * k, size);
    const auto middle = LiveStarfield::shootingStar(11 * k + 0.45, size);
    ASSERT_TRUE(start && middle);
    EXPECT_NEAR(start->headOpacity, 0.0, 1e-12);
    EXPECT_NEAR(middle->headOpacity, 0.8, 1e-12);
    // Cycle 5 starts from its own seeded point, in the upper 35 % between 35 % and 95 % of the width.
    StarRandom r(5 + 3);
    const double x = 1000 * (0.35 + 0.6 * r.unit()), y = 680 * 0.35 * r.unit();
    EXPECT_DOUBLE_EQ(start->head.x(), x);
    EXPECT_DOUBLE_EQ(start->head.y(), y);
    EXPECT_NEAR(middle->head.x(), x - 130, 1e-9);
    EXPECT_NEAR(middle->head.y(), y + 58.5, 1e-9);
    EXPECT_NEAR(middle->tail.x() - middle->head.x(), 70, 1e-9);
    EXPECT_NEAR(middle->tail.y() - middle->head.y(), -31, 1e-9);
    // Each cycle has its own start, the same every time.
    EXPECT_NE(LiveStarfield::shootingStar(11 * 6, size)->head, start->head);
    EXPECT_EQ(LiveStarfield::shootingStar(11 * k, size)->head, start->head);
}

namespace {
QImage stillField(int count, uint64_t seed) {
    QImage img(300, 200, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    Starfield::paint(p, img.size(), count, seed);
    return img;
}
}  // namespace

TEST(Starfield, SameSeedSameSkyAndNoStarsDrawNothing) {
    EXPECT_EQ(stillField(90, 7), stillField(90, 7));
    EXPECT_NE(stillField(90, 7), stillField(90, 8));
    QImage empty(300, 200, QImage::Format_ARGB32_Premultiplied);
    empty.fill(Qt::transparent);
    EXPECT_EQ(stillField(0, 7), empty);
}

// ---- The backdrop's motion

struct PauseReset {
    ~PauseReset() {
        MotionPause::shared().setHidden(false);
        MotionPause::shared().setScrolling(false);
    }
};

TEST(SpaceBackground, LiveFieldRunsOnlyWhileShownAnimatedAndUnpaused) {
    PauseReset reset;
    SpaceBackground sky(AppTab::clean, true);
    sky.resize(400, 300);
    EXPECT_FALSE(sky.timeline().isScheduled());  // not on screen yet
    sky.show();
    EXPECT_TRUE(sky.timeline().isScheduled());

    MotionPause::shared().setHidden(true);
    EXPECT_FALSE(sky.timeline().isScheduled());
    const long long armed = sky.timeline().scheduledFrames();
    MotionPause::shared().setHidden(false);
    EXPECT_TRUE(sky.timeline().isScheduled());
    EXPECT_EQ(sky.timeline().scheduledFrames(), armed + 1);

    MotionPause::shared().setScrolling(true);
    EXPECT_FALSE(sky.timeline().isScheduled());
    MotionPause::shared().setScrolling(false);

    sky.setAnimated(false);
    EXPECT_FALSE(sky.timeline().isScheduled());
    sky.setAnimated(true);
    sky.hide();
    EXPECT_FALSE(sky.timeline().isScheduled());
}

TEST(SpaceBackground, AFramesRegionHoldsEveryStarsOldAndNewPlace) {
    SpaceBackground sky(AppTab::clean, true);
    sky.resize(1000, 680);
    const QSizeF size(sky.size());
    // Far and near stars, across a wrap at the left edge and into a shooting star's flight.
    for (double from : {7.5e8, 7.5e8 + 11 * 3 + 0.2, 7.5e8 + 93.37}) {
        const double to = from + 1.0 / 12;
        const QRegion region = sky.dirtyRegion(from, to);
        for (const auto& star : LiveStarfield::stars())
            for (double t : {from, to}) {
                const QRect r = LiveStarfield::dot(star, std::floor(t * 12 + 1e-3) / 12, size).rect.toAlignedRect() & sky.rect();
                EXPECT_TRUE(r.isEmpty() || region.contains(r)) << "a star at " << t << " left out: " << r.x() << "," << r.y();
            }
        if (auto streak = LiveStarfield::shootingStar(to, size))
            EXPECT_TRUE(region.contains(QRectF(streak->tail, streak->head).normalized().toAlignedRect() & sky.rect()));
        // Built by hand in the form the region's own operations give.
        QRegion united;
        for (const QRect& r : region) united += r;
        EXPECT_EQ(united, region);
        EXPECT_EQ(region & sky.rect(), region);
        // Far less than the window: the rest of the sky stays as it is.
        long long area = 0;
        for (const QRect& r : region) area += qlonglong(r.width()) * r.height();
        EXPECT_LT(area, 1000 * 680 / 10);
    }
}

TEST(LiveStarfield, BlendsTheSamePixelsIntoAnImageAsItPaints) {
    // Over a patterned ground, through a region of many small places as a frame gives,
    // at two pixel ratios.
    for (const double ratio : {1.0, 2.0}) {
        const QSizeF size(500, 320);
        QImage ground((size * ratio).toSize(), QImage::Format_RGB32);
        for (int y = 0; y < ground.height(); ++y)
            for (int x = 0; x < ground.width(); ++x) ground.setPixel(x, y, qRgb(x % 53, 20 + y % 41, 60));
        QRegion area;  // device pixels
        // On even pixels, so that the painter's own clip in points is the same region.
        for (int i = 0; i < 300; ++i) area += QRect(((i * 37) % ground.width()) & ~1, ((i * 53) % ground.height()) & ~1, 24, 18);
        area &= ground.rect();
        const double at = 7.5e8 + 3.7;
        QImage blended = ground.copy(), painted = ground.copy();
        blended.setDevicePixelRatio(ratio);
        painted.setDevicePixelRatio(ratio);
        LiveStarfield::blend(blended, QPoint(0, 0), ratio, size, at, area);
        {
            const QRegion logical = QTransform::fromScale(1 / ratio, 1 / ratio).map(area);
            QPainter p(&painted);
            p.setClipRegion(logical);
            LiveStarfield::paint(p, size, at, at + 5, logical);  // no shooting star at +5
        }
        std::vector<bool> inside(size_t(ground.width() * ground.height()));
        for (const QRect& r : area)
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x) inside[size_t(y * ground.width() + x)] = true;
        int worst = 0, lit = 0;
        for (int y = 0; y < ground.height(); ++y)
            for (int x = 0; x < ground.width(); ++x) {
                const QRgb a = blended.pixel(x, y), b = painted.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
                lit += a != ground.pixel(x, y);
                if (!inside[size_t(y * ground.width() + x)]) EXPECT_EQ(a, ground.pixel(x, y)) << x << "," << y;
            }
        EXPECT_GT(lit, 10) << "at ratio " << ratio;  // some stars fall in the places
        EXPECT_LE(worst, 2) << "at ratio " << ratio;
    }
}

TEST(SpaceBackground, PaintsItsPixelsWhereTheWindowHasIt) {
    // Straight into an image the sky is written by hand: a widget inside a window sits
    // at an offset in its pixels, and its picture must land there whole.
    ClockScope scope(7.5e8 + 4.2);
    PauseReset reset;
    SpaceBackground sky(AppTab::analyze, true);
    sky.resize(320, 200);
    QImage atOrigin(sky.size(), QImage::Format_RGB32), offset(sky.size() + QSize(40, 30), QImage::Format_RGB32);
    atOrigin.fill(Qt::red);
    offset.fill(Qt::red);
    sky.render(&atOrigin);
    sky.render(&offset, QPoint(13, 7));
    EXPECT_EQ(offset.copy(QRect(QPoint(13, 7), sky.size())), atOrigin);
    EXPECT_EQ(offset.pixel(12, 6), QColor(Qt::red).rgb());                    // nothing outside it
    EXPECT_EQ(offset.pixel(13 + 320, 7 + 200), QColor(Qt::red).rgb());
    int lit = 0;  // and the stars are in it
    for (int y = 0; y < atOrigin.height(); ++y)
        for (int x = 4; x < atOrigin.width(); ++x) lit += qGray(atOrigin.pixel(x, y)) > qGray(atOrigin.pixel(x - 4, y)) + 12;
    EXPECT_GT(lit, 5);
}

TEST(SpaceBackground, AWindowRepaintedFrameByFrameShowsWhatAFreshPaintShows) {
    // Only the places a frame names are painted again: any star or streak left behind
    // would show as a difference from the same moment painted whole.
    const double start = std::floor(7.5e8 / 11) * 11 + 11 - 0.3;  // into a shooting star
    ClockScope scope(start);
    PauseReset reset;
    QWidget window;
    window.resize(420, 300);
    auto* sky = new SpaceBackground(AppTab::clean, true, &window);
    sky->setGeometry(window.rect());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    for (int step = 0; step < 45; ++step) {
        scope.advance(1.0 / 30);
        deliverDueFrames(sky->timeline());
        QCoreApplication::processEvents();
    }
    const QImage shown = window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage whole = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), whole.size());
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) differing += shown.pixel(x, y) != whole.pixel(x, y);
    EXPECT_EQ(differing, 0);
}

TEST(SpaceBackground, StillSkyShowsTheSeededStarsAndTheTabsGradient) {
    SpaceBackground sky(AppTab::status, false);
    sky.resize(1400, 900);  // the left edge lies beyond the glow's reach
    const QImage img = sky.grab().toImage();
    const QColor top = Theme::color(tint(AppTab::status).top);
    const QColor bottom = Theme::color(tint(AppTab::status).bottom);
    EXPECT_NEAR(QColor(img.pixel(2, 0)).red(), top.red(), 3);
    EXPECT_NEAR(QColor(img.pixel(2, 899)).red(), bottom.red(), 3);
    // Stars stand out from the sky beside them.
    int bright = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 4; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) > qGray(img.pixel(x - 4, y)) + 12) ++bright;
    EXPECT_GT(bright, 20);
}

TEST(SpaceBackground, ANewTabMidFadeContinuesFromTheColoursOnShow) {
    qttest::SteppedAnimations animations;
    SpaceBackground sky(AppTab::clean, false);
    sky.resize(200, 150);
    sky.show();
    sky.setTab(AppTab::apps);
    animations.step(120);  // part of the half-second fade
    const TabTint midway = sky.shownTint();
    const Rgba glowMidway = sky.shownGlow();
    ASSERT_NE(midway, tint(AppTab::clean));
    ASSERT_NE(midway, tint(AppTab::apps));

    sky.setTab(AppTab::status);
    auto near = [](const Rgba& a, const Rgba& b) {
        return std::abs(a.red - b.red) < 1e-9 && std::abs(a.green - b.green) < 1e-9 && std::abs(a.blue - b.blue) < 1e-9;
    };
    EXPECT_TRUE(near(sky.shownTint().top, midway.top));
    EXPECT_TRUE(near(sky.shownTint().bottom, midway.bottom));
    EXPECT_TRUE(near(sky.shownGlow(), glowMidway));
    animations.step(500);
    EXPECT_EQ(sky.shownTint(), tint(AppTab::status));
}
