#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>

#include "Core/Clean/FakeHome.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Window/AppState.h"
#include "Models/Window/QuietStart.h"
#include "Support/QtTestSupport.h"
#include "Support/SteppedTime.h"
#include "Updates/IdleUpdateInstaller.h"
#include "Updates/UpdateController.h"

namespace {
// The installer over fresh state and a defaults file of its own, the user's idle time
// and the main window set by the test, on stepped clocks.
struct Installer {
    steppedtime::Clocks clocks;
    QTemporaryDir dir;  // not a home: a test's fake one stays
    const std::filesystem::path file = pathFromQString(dir.path()) / "Quelto.plist";
    Platform::UserDefaults defaults{file};
    AppState state;
    const size_t othersWaiting = clocks.pendingWaits();  // the monitor's tick waits on the clock too
    IdleUpdateInstaller installer{state, defaults};
    double idle = 0;
    bool windowOpen = false;
    int installs = 0;

    explicit Installer(steppedtime::Clocks::TimePoint wall = Platform::dateFromReferenceSeconds(700'000'000))
        : clocks(wall) {
        installer.idleSeconds = [this] { return idle; };
        installer.windowOpen = [this] { return windowOpen; };
    }
    void arm() {
        installer.arm([this] {
            ++installs;
            const auto mark = Platform::UserDefaults(file).date(QuietStart::relaunchKey);
            EXPECT_TRUE(mark && std::chrono::abs(*mark - Platform::clock().now()) < std::chrono::seconds(1))
                << "the mark comes first";
        });
    }
    // A minute on the monotonic clock, the user's idle time growing with it.
    void minute() {
        idle += 60;
        clocks.advance(60);
    }
};
}  // namespace

// A look a minute: 599 s idle is not enough, a visible window holds it back, then it
// installs once with the relaunch mark already written, and stops looking.
TEST(IdleUpdateInstaller, InstallsOnceAtTenIdleMinutesWithNoWindowUpAndTheMarkWrittenFirst) {
    Installer f;
    f.idle = 599 - 60;
    f.arm();
    for (const bool window : {false, true}) {
        f.windowOpen = window;
        f.minute();  // 599 s, then 659 s with the window up
        EXPECT_EQ(f.installs, 0);
    }
    f.windowOpen = false;
    f.minute();
    EXPECT_EQ(f.installs, 1);
    EXPECT_EQ(f.clocks.pendingWaits(), f.othersWaiting);
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
    f.arm();
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

// A second arm keeps the first one's minute (one timer) and only the newer block.
TEST(IdleUpdateInstaller, ASecondArmKeepsTheOneRhythmAndOnlyTheNewerBlock) {
    Installer f;
    f.idle = 3600;
    int older = 0;
    f.installer.arm([&older] { ++older; });
    f.clocks.advance(30);
    f.arm();
    EXPECT_EQ(f.clocks.pendingWaits(), f.othersWaiting + 1);
    f.clocks.advance(30);
    EXPECT_EQ(older, 0);
    EXPECT_EQ(f.installs, 1);
}

// This build's check tells, in a note and not an alert, that there is no update.
TEST(UpdateController, ThisBuildsCheckSaysThereIsNoUpdateWithoutAnAlert) {
    QSignalSpy notes(&UpdateController::shared(), &UpdateController::note);
    UpdateController::shared().checkForUpdates();
    EXPECT_EQ(notes.value(0).value(0).toString(), "No update is available for this build.");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
