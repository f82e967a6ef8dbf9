#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>
#include <numbers>

#include "Views/Clean/BlackHoleArt.h"
#include "Views/Clean/BlackHoleLayers.h"
#include "Views/Kit/Sparkle.h"
#include "Views/Kit/Bloom.h"
#include "Views/Kit/BundleImage.h"

namespace {
constexpr double pi = std::numbers::pi;
}

TEST(Particles, AreTheSameOnEveryLaunch) {
    const auto& list = Quelto::particles();
    // The first and last particles from the fixed seed, by their raw draws (mod 10,000).
    struct Golden {
        int index;
        double u[5];
    } goldens[] = {{0, {0.9043, 0.8900, 0.9307, 0.2258, 0.8681}}, {25, {0.9424, 0.7917, 0.8148, 0.3721, 0.2821}}};
    for (const auto& g : goldens) {
        const auto& p = list[size_t(g.index)];
        EXPECT_NEAR(p.angle, 2 * pi * g.u[0], 1e-12) << g.index;
        EXPECT_NEAR(p.radius, 0.6 + 0.3 * g.u[1], 1e-12) << g.index;
        EXPECT_NEAR(p.speed, 0.32 + 0.3 * g.u[2], 1e-12) << g.index;
        EXPECT_NEAR(p.phase, g.u[3], 1e-12) << g.index;
        EXPECT_NEAR(p.scale, 0.6 + 0.7 * g.u[4], 1e-12) << g.index;
    }
    for (int i = 0; i < Quelto::count; ++i) {
        const bool dust = i % 9 >= 6;
        EXPECT_EQ(!list[size_t(i)].symbol.has_value(), dust) << i;
    }
    EXPECT_EQ(list[4].symbol, "film.fill");
}

TEST(Particles, FadeInAtTheStartOfTheirFallAndOutAtTheHole) {
    const Quelto::Particle p{0, 0.8, 0.5, 0, 1, std::nullopt};
    // t × speed gives the cycle position v.
    struct Case {
        double v, opacity;
    } cases[] = {{0, 0}, {1.0 / 6, 1}, {0.5, 1}, {0.84, 1}, {0.9, 0.0 + (1 - (0.81 - 0.72) / 0.28)}};
    for (auto c : cases) EXPECT_NEAR(Quelto::place(p, 1000 + c.v / 0.5, 240).opacity, c.opacity, 1e-9) << c.v;
    // Falling in, it stretches towards the hole and flattens.
    const auto late = Quelto::place(p, 1000 + 0.9 / 0.5, 240);
    EXPECT_GT(late.scaleX, 2.5);
    EXPECT_LT(late.scaleY, 0.5);
}

TEST(SwallowFlashes, ShowOnlyInTheFirstQuarterOfTheirCycle) {
    // Flash 0 runs at 0.9 cycles a second from t = 0.
    struct Case {
        double f, opacity;
    } cases[] = {{0.0, 0}, {0.125, 1}, {0.2, std::sin(4 * pi * 0.2)}, {0.25, 0}, {0.3, 0}, {0.9, 0}};
    for (auto c : cases) {
        const double t = (1000 + c.f) / 0.9;
        EXPECT_NEAR(SwallowFlashes::flashes(t, 240)[0].opacity, c.opacity, 1e-6) << c.f;
    }
}

TEST(ShockwaveRing, RunsForItsDurationAndReachesItsWidest) {
    const double size = 240;
    EXPECT_FALSE(ShockwaveRing::ring(0, 0, 1, size));             // age 0 draws nothing
    EXPECT_FALSE(ShockwaveRing::ring(1, 0.16, 1, size));          // the second ring starts 0.16 s later
    EXPECT_TRUE(ShockwaveRing::ring(1, 0.17, 1, size));
    EXPECT_FALSE(ShockwaveRing::ring(0, 2.9, 1, size));           // both end at strength + 1.9
    EXPECT_FALSE(ShockwaveRing::ring(1, 2.9, 1, size));
    EXPECT_TRUE(ShockwaveRing::bounds(0, 1, size).isEmpty());
    const auto last = ShockwaveRing::ring(0, 2.9 - 1e-9, 1, size);
    ASSERT_TRUE(last);
    EXPECT_NEAR(last->radius, 2.3 * size, 1e-3);                 // the largest ring, at strength 1
    EXPECT_LT(ShockwaveRing::bounds(2.9 - 1e-9, 1, size).width(), 6 * size);  // inside its canvas
    const auto first = ShockwaveRing::ring(0, 1e-6, 1, size);
    ASSERT_TRUE(first);
    EXPECT_NEAR(first->radius, 0.22 * size, 0.01);
    EXPECT_NEAR(first->fade, 1.0, 1e-5);
    EXPECT_NEAR(first->width, 0.056 * size, 1e-3);
}

TEST(Sparkle, PointsTouchTheMiddlesOfTheEdges) {
    const QPainterPath star = Sparkle::path(QRectF(10, 20, 40, 10));
    EXPECT_EQ(star.boundingRect(), QRectF(10, 20, 40, 10));
    for (QPointF tip : {QPointF(30, 20), QPointF(50, 25), QPointF(30, 30), QPointF(10, 25)}) {
        bool found = false;
        for (int i = 0; i < star.elementCount(); ++i) found |= QPointF(star.elementAt(i)) == tip;
        EXPECT_TRUE(found) << tip.x() << "," << tip.y();
    }
    // The sides curve deeply inwards: a point between two tips is outside the star.
    EXPECT_FALSE(star.contains(QPointF(45, 22)));
    EXPECT_TRUE(star.contains(QPointF(30, 25)));

    const QPainterPath empty = Sparkle::path(QRectF(5, 7, 0, 0));
    EXPECT_EQ(empty.boundingRect(), QRectF(5, 7, 0, 0));
    EXPECT_EQ(QPointF(empty.elementAt(0)), QPointF(empty.elementAt(empty.elementCount() - 1)));
}

TEST(BlackHoleArt, ShipsItsImagesAndBrightensTheDiskWithEnergy) {
    EXPECT_FALSE(bundleImage("BlackHoleArt").isNull());
    EXPECT_FALSE(bundleImage("BlackHoleGlow").isNull());
    EXPECT_TRUE(bundleImage("NoSuchImage").isNull());

    BlackHoleArt art;
    auto diskLight = [&](double energy) {
        const QImage frame = art.compose(1000, 0.3, 0.22, 240, energy, 1.0).copy();
        // Along the disk on both sides of the hole.
        double sum = 0;
        for (int x = 40; x < frame.width() - 40; x += 4) {
            if (std::abs(x - frame.width() / 2) < 60) continue;
            const QRgb c = frame.pixel(x, frame.height() / 2);
            sum += qRed(c) + qGreen(c) + qBlue(c);
        }
        return sum;
    };
    EXPECT_GT(diskLight(1.0), diskLight(0.0) * 1.15);
    // The core stays dark whatever the energy.
    const QImage lit = art.compose(1001, 0.3, 0.22, 240, 1.0, 1.0).copy();
    const QRgb core = lit.pixel(lit.width() / 2, int(lit.height() * (0.5 - 0.0175 - 0.03)));
    EXPECT_LT(qRed(core) + qGreen(core) + qBlue(core), 30);
    EXPECT_EQ(qAlpha(core), 255);
}

TEST(Bloom, SpreadsALayerAndAddsItOntoWhatLiesBeneath) {
    QImage dot(41, 41, QImage::Format_ARGB32_Premultiplied);
    dot.fill(Qt::transparent);
    dot.setPixel(20, 20, qRgba(255, 255, 255, 255));
    for (double radius : {2.0, 9.0}) {  // the second is blurred at a reduced size
        const QImage soft = Bloom::blurred(dot, radius);
        EXPECT_LT(qAlpha(soft.pixel(20, 20)), 255);
        EXPECT_GT(qAlpha(soft.pixel(20 + int(radius), 20)), 0) << radius;
        EXPECT_EQ(qAlpha(soft.pixel(0, 0)), 0) << radius;
    }
    // Added, it only brightens: a grey background stays at least as bright everywhere.
    QImage under(41, 41, QImage::Format_ARGB32_Premultiplied);
    under.fill(QColor(40, 40, 40));
    {
        QPainter p(&under);
        Bloom::add(p, QRectF(0, 0, 41, 41), dot, 2.0, 1.0);
    }
    EXPECT_GT(qGray(under.pixel(20, 20)), 40);
    EXPECT_EQ(qGray(under.pixel(0, 0)), 40);
    // The closed form of a blurred band peaks on its middle and fades off both sides.
    EXPECT_NEAR(Bloom::blurredBand(100, 100, 30, 0.3), 1.0, 1e-6);
    EXPECT_NEAR(Bloom::blurredBand(115, 100, 30, 9), 0.5, 1e-3);
    EXPECT_LT(Bloom::blurredBand(160, 100, 30, 9), 0.001);
}
