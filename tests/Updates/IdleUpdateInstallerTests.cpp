#include <gtest/gtest.h>

#include <QWidget>

#include "Core/Clean/FakeHome.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Window/AppState.h"
#include "Models/Window/QuietStart.h"
#include "Support/QtTestSupport.h"
#include "Support/SteppedTime.h"
#include "Updates/IdleUpdateInstaller.h"

namespace {
// The installer over fresh state and its own defaults file, with the user's idle
// time and the main window set by the test, on stepped clocks.
struct Installer {
    steppedtime::Clocks clocks;
    QTemporaryDir dir;
    const std::filesystem::path file = pathFromQString(dir.path()) / "Quelto.plist";
    std::unique_ptr<Platform::UserDefaults> defaults = std::make_unique<Platform::UserDefaults>(file);
    AppState state;
    // The monitor's tick waits on the clock too.
    const size_t othersWaiting = clocks.pendingWaits();
    IdleUpdateInstaller installer{state, *defaults};
    double idle = 0;
    bool windowOpen = false;
    int installs = 0;
    std::optional<Platform::UserDefaults::Date> markSeenByInstall;

    explicit Installer(steppedtime::Clocks::TimePoint wall = Platform::dateFromReferenceSeconds(700'000'000))
        : clocks(wall) {
        installer.idleSeconds = [this] { return idle; };
        installer.windowOpen = [this] { return windowOpen; };
    }
    std::function<void()> block() {
        return [this] {
            ++installs;
            markSeenByInstall = Platform::UserDefaults(file).date(QuietStart::relaunchKey);
        };
    }
    // Steps the monotonic clock a minute, with the user's idle time growing with it.
    void minute() {
        idle += 60;
        clocks.advance(60);
    }
};
}  // namespace

TEST(IdleUpdateInstaller, InstallsOnceAtTenIdleMinutesWithNoWindowUpAndTheMarkWrittenFirst) {
    Installer f;
    f.idle = 599 - 60;
    f.installer.arm(f.block());
    EXPECT_EQ(f.clocks.pendingWaits(), f.othersWaiting + 1);
    f.minute();  // 599 s idle
    EXPECT_EQ(f.installs, 0);
    f.windowOpen = true;
    f.minute();  // 659 s idle, but the window is up
    EXPECT_EQ(f.installs, 0);
    EXPECT_TRUE(f.installer.isArmed());
    f.windowOpen = false;
    f.minute();
    EXPECT_EQ(f.installs, 1);
    ASSERT_TRUE(f.markSeenByInstall.has_value());
    EXPECT_EQ(*f.markSeenByInstall, Platform::clock().now());
    EXPECT_FALSE(f.installer.isArmed());
    EXPECT_FALSE(f.installer.isLooking());
    EXPECT_EQ(f.clocks.pendingWaits(), f.othersWaiting);  // the minute's look stopped
    for (int i = 0; i < 5; ++i) f.minute();
    EXPECT_EQ(f.installs, 1);
}

// A clean of the junk list that nobody watches (the window closed, the Clean tab on
// another list) still holds the install back until its removal is over.
TEST(IdleUpdateInstaller, WaitsForARemovalRunningUnseen) {
    fakehome::FakeHome h;
    Installer f(h.now());
    cleantest::FakeAudio audio;
    h.folder(".npm/_cacache/index-v5", 20);
    f.state.setCleanMode(CleanMode::ai);
    CleanListModel& junk = f.state.junk();
    ASSERT_TRUE(cleantest::drive(f.clocks, junk.scan()));
    f.idle = 3600;
    f.installer.arm(f.block());

    bool done = false;
    cleantest::markDone(junk.clean(), &done);
    ASSERT_TRUE(junk.isBusy());
    f.installer.tick();
    EXPECT_EQ(f.installs, 0);
    ASSERT_TRUE(qttest::until([&] {
        if (!done) f.clocks.advance(0.05);
        return done;
    }));
    f.installer.tick();
    EXPECT_EQ(f.installs, 1);
}

TEST(IdleUpdateInstaller, ASecondArmKeepsTheOneRhythmAndOnlyTheNewerBlock) {
    Installer f;
    f.idle = 3600;
    int older = 0;
    f.installer.arm([&older] { ++older; });
    f.clocks.advance(30);
    f.installer.arm(f.block());
    EXPECT_EQ(f.clocks.pendingWaits(), f.othersWaiting + 1);
    f.clocks.advance(30);  // the first arm's minute
    EXPECT_EQ(older, 0);
    EXPECT_EQ(f.installs, 1);
}

TEST(IdleUpdateInstaller, OnlyAManagedWindowOrDialogCountsAsOpen) {
    struct Case {
        const char* name;
        Qt::WindowFlags flags;
        bool counts;
    };
    const Case cases[] = {
        {"window", Qt::Window, true},
        {"dialog", Qt::Dialog, true},
        {"popup panel", Qt::Popup | Qt::FramelessWindowHint, false},
        {"tool panel", Qt::Tool | Qt::FramelessWindowHint, false},
        {"tool tip", Qt::ToolTip, false},
        {"tray icon window", Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint, false},
    };
    EXPECT_FALSE(IdleUpdateInstaller::hasWindowOpen());
    for (const Case& c : cases) {
        QWidget w(nullptr, c.flags);
        w.resize(50, 50);
        w.show();
        EXPECT_EQ(IdleUpdateInstaller::hasWindowOpen(), c.counts) << c.name;
        w.hide();
        EXPECT_FALSE(IdleUpdateInstaller::hasWindowOpen()) << c.name;
    }
}
