#include "Models/Clean/Shockwave.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(Shockwave, LiveOnlyFromItsStartForStrengthPlusOnePointNineSeconds) {
    Shockwave wave;
    const auto t0 = Platform::dateFromReferenceSeconds(800'000'000);
    EXPECT_FALSE(wave.live(t0));
    wave.setStrength(1.0);
    wave.setStart(t0);
    struct Case {
        std::chrono::milliseconds age;
        bool live;
    } cases[] = {{-1ms, false}, {-3600s, false}, {0ms, true}, {2899ms, true}, {2900ms, false}, {3600s, false}};
    for (const auto& c : cases) {
        const auto l = wave.live(t0 + c.age);
        EXPECT_EQ(l.has_value(), c.live) << c.age.count();
        if (l) {
            EXPECT_EQ(l->start, t0);
        }
    }
}
