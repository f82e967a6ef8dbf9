#include "Models/Clean/Sounds.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "Core/Clean/CompletionSound.h"
#include "Models/Clean/Shockwave.h"
#include "Models/Settings/Preferences.h"
#include "Models/Clean/CleanTestSupport.h"

namespace {
struct Installed {
    cleantest::FakeAudio output;
    ~Installed() { Preferences::shared().setSounds(true); }
};
}  // namespace

TEST(Sounds, WhoompStartsTheShockwaveAndPlaysOnlyWithSoundsOn) {
    steppedtime::Clocks clocks;
    Installed fake;
    auto& wave = Shockwave::shared();
    QSignalSpy starts(&wave, &Shockwave::startChanged), strengths(&wave, &Shockwave::strengthChanged);

    Preferences::shared().setSounds(false);
    for (int i = 0; i < 3; ++i) {
        clocks.advance(1);
        Sounds::whoomp(0.45);
    }
    EXPECT_EQ(wave.start(), clocks.now());
    EXPECT_EQ(wave.strength(), 0.45);
    EXPECT_EQ(starts.count(), 3);
    EXPECT_LE(strengths.count(), 1);  // the same strength again changes nothing
    EXPECT_EQ(fake.output.asked, 0);  // the device is never touched
    EXPECT_TRUE(fake.output.played.empty());

    Preferences::shared().setSounds(true);
    clocks.advance(1);
    Sounds::whoomp(1.0);
    Sounds::whoomp(1.0);
    ASSERT_EQ(fake.output.played.size(), 2u);
    EXPECT_EQ(fake.output.played[0], Sounds::render(48000));
    EXPECT_TRUE(wave.live(clocks.now()));
}
