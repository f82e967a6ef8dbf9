#include "Models/Clean/Shockwave.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

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
        if (l) EXPECT_EQ(l->start, t0);
    }
}

TEST(Shockwave, FieldsNotifyOnlyWhenTheyChange) {
    Shockwave wave;
    QSignalSpy starts(&wave, &Shockwave::startChanged), strengths(&wave, &Shockwave::strengthChanged);
    const auto t0 = Platform::dateFromReferenceSeconds(800'000'000);
    wave.setStrength(0.6);
    wave.setStart(std::nullopt);
    EXPECT_EQ(starts.count() + strengths.count(), 0);
    wave.setStart(t0);
    wave.setStart(t0);
    wave.setStrength(0.9);
    EXPECT_EQ(starts.count(), 1);
    EXPECT_EQ(strengths.count(), 1);
}
