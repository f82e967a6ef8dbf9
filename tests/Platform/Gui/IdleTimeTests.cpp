#include <gtest/gtest.h>

#include <thread>

#include "Platform/Gui/IdleTime.h"
#include "Support/TrayHarness.h"

// The X server's count of the user's idle time: near 0 right after the pointer
// moves, then rising with real time; 0 where there is no server to ask, and 0 for
// an application that does not run on X.
TEST(IdleTime, FollowsTheXServersInputAndIsZeroWithoutOne) {
    EXPECT_EQ(Platform::userIdleSeconds(), 0.0);  // offscreen
    EXPECT_EQ(Platform::userIdleSeconds(":65000"), 0.0);
    trayharness::XServer x;
    if (!x.ok() || !trayharness::onPath("xdotool")) GTEST_SKIP() << "needs Xvfb and xdotool";
    const QByteArray display = QByteArray::fromStdString(x.display());
    ASSERT_TRUE(x.moveMouse({10, 10}));
    EXPECT_LT(Platform::userIdleSeconds(display), 0.5);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_GE(Platform::userIdleSeconds(display), 0.6);
    ASSERT_TRUE(x.moveMouse({20, 20}));
    EXPECT_LT(Platform::userIdleSeconds(display), 0.5);
}
