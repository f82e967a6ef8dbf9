#include <gtest/gtest.h>

#include <cmath>

#include "Platform/Clock.h"
#include "Views/Clean/SwallowStream.h"

namespace {
SwallowFeed::Event event(int id, double angle, int64_t bytes, double start) {
    SwallowFeed::Event e;
    e.id = id;
    e.icon = Platform::IconRef::symbol("doc.fill");
    e.bytes = bytes;
    e.start = Platform::dateFromReferenceSeconds(start);
    e.angle = angle;
    return e;
}
constexpr double t0 = 1000;  // small enough that seconds keep their precision
}  // namespace

TEST(SwallowStream, TileThresholdsAndJittersAreTheSameEveryFrame) {
    // Event 7 of a megabyte from angle 0.6, 70 % into its flight at size 240.
    const auto e = event(7, 0.6, 1'000'000, t0);
    const auto f = SwallowStream::flight(e, t0 + 0.7 * SwallowFeed::flightTime(e.bytes), 240);
    ASSERT_TRUE(f);
    EXPECT_NEAR(f->dissolve, 0.432452742586148, 1e-9);
    const auto tiles = SwallowStream::tiles(*f, 7);
    // Worked out with unsigned 64-bit arithmetic apart from this code.
    struct Golden {
        int c, r;
        double threshold, jx, jy;
        bool loose;
    } goldens[] = {
        {0, 0, 0.309439709583, 0.375351989256, 2.214394526904, true},
        {5, 5, 0.553760000000, 1.439456657825, -2.591021984085, false},
        {10, 10, 0.571352290417, -0.365330455562, -0.292446574153, false},
        {3, 7, 0.523154099455, 2.215669994829, 2.126933869214, false},
        {10, 0, 0.727114751363, -0.889183353188, 1.813168759749, false},
    };
    for (const auto& g : goldens) {
        const auto& t = tiles[size_t(g.c * SwallowStream::grid + g.r)];
        EXPECT_NEAR(t.threshold, g.threshold, 1e-9) << g.c << "," << g.r;
        EXPECT_NEAR(t.jitter.x(), g.jx, 1e-9) << g.c << "," << g.r;
        EXPECT_NEAR(t.jitter.y(), g.jy, 1e-9) << g.c << "," << g.r;
        EXPECT_EQ(t.loose, g.loose) << g.c << "," << g.r;
    }
    // The raw hash: the MurmurHash3 finalizer, mod 10,000.
    EXPECT_DOUBLE_EQ(SwallowStream::unit(7ull * 73856093ull), 0.5412);
}

TEST(SwallowStream, NoTileComesLooseBeforeTheBreakUp) {
    // Tiles facing the hole can have thresholds below zero; they still start whole.
    double lowest = 1;
    for (int id = 1; id <= 300; ++id) {
        for (double angle = 0; angle < 6.28; angle += 0.785) {
            const auto e = event(id, angle, 1'000, t0);
            for (double p : {0.0, 0.1, 0.45}) {
                const auto f = SwallowStream::flight(e, t0 + p * 2.0, 240);
                ASSERT_TRUE(f);
                for (const auto& t : SwallowStream::tiles(*f, id)) {
                    lowest = std::min(lowest, t.threshold);
                    ASSERT_FALSE(t.loose) << "id " << id << " angle " << angle << " p " << p;
                }
            }
        }
    }
    EXPECT_LT(lowest, 0);
}

TEST(SwallowStream, AtTheEndEveryTileIsLooseAndTheLastAreStillShowing) {
    const auto e = event(42, 1.0, 10'000'000'000, t0);
    const auto f = SwallowStream::flight(e, t0 + 0.999 * 4.5, 240);
    ASSERT_TRUE(f);
    EXPECT_DOUBLE_EQ(f->dissolve, 1.0);
    int stillShowing = 0;
    for (const auto& t : SwallowStream::tiles(*f, 42)) {
        EXPECT_TRUE(t.loose);
        EXPECT_LT(t.threshold, 0.97);
        if (t.threshold > 0.85) {
            EXPECT_LT(t.q, 1.0);
            ++stillShowing;
        }
    }
    EXPECT_GT(stillShowing, 0);
}

TEST(SwallowStream, DrawsOnlyWhileAnIconFlies) {
    struct Case {
        const char* name;
        int64_t bytes;
        double at;    // seconds after the start
        bool shown;
        double side;  // at the start, times size
    } cases[] = {{"notYetStarted", 1'000, -0.01, false, 0},
                 {"smallestAtStart", 1'000, 0, true, 0.078},
                 {"largestAtStart", 20'000'000'000, 0, true, 0.195},
                 {"smallestJustLanded", 500, 2.0, false, 0},
                 {"largestStillFlying", 20'000'000'000, 4.49, true, 0}};
    for (const auto& c : cases) {
        const auto f = SwallowStream::flight(event(1, 0, c.bytes, t0), t0 + c.at, 240);
        EXPECT_EQ(f.has_value(), c.shown) << c.name;
        if (f && c.side > 0) {
            EXPECT_NEAR(f->side, c.side * 240, 1e-9) << c.name;
            // It enters 0.95 × size from the hole's centre line.
            EXPECT_NEAR(std::hypot(f->centre.x(), f->centre.y() / 0.46), 0.95 * 240, 1e-9) << c.name;
        }
    }
}
