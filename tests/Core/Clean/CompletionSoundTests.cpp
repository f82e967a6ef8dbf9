#include "Core/Clean/CompletionSound.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
// Energy of one frequency over [from, to) seconds (Goertzel).
double energy(const std::vector<float>& s, double rate, double hz, double from, double to) {
    const double k = 2 * std::cos(2 * M_PI * hz / rate);
    double a = 0, b = 0;
    for (size_t i = static_cast<size_t>(from * rate); i < static_cast<size_t>(to * rate); ++i) {
        const double c = s[i] + k * a - b;
        b = a;
        a = c;
    }
    return a * a + b * b - k * a * b;
}
}  // namespace

TEST(CompletionSound, LastsOnePointSevenSecondsAtAnyRateAndNeverChanges) {
    struct Case {
        double rate;
        size_t frames;
    } cases[] = {{44100, 74970}, {48000, 81600}, {22050, 37485}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        const auto s = Sounds::render(c.rate);
        ASSERT_EQ(s.size(), c.frames);
        EXPECT_EQ(s[0], 0.0f);
        EXPECT_EQ(s, Sounds::render(c.rate));
        float peak = 0;
        for (float v : s) peak = std::max(peak, std::fabs(v));
        EXPECT_GT(peak, 0.005f);
        EXPECT_LT(peak, 0.06f);
        // The first chime starts at 0.55 s of the buffer, whatever the rate.
        EXPECT_GT(energy(s, c.rate, 1318.5, 0.56, 0.66), 100 * energy(s, c.rate, 1318.5, 0.44, 0.54));
    }
    EXPECT_TRUE(Sounds::render(0).empty());
    EXPECT_TRUE(Sounds::render(std::nan("")).empty());
}
