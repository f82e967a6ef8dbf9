#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>

#include "Models/Window/AppState.h"
#include "Support/QtTestSupport.h"
#include "Support/SteppedTime.h"
#include "Updates/IdleUpdateInstaller.h"
#include "Updates/StandInUpdater.h"
#include "Updates/UpdateController.h"

namespace {
// An updater that counts what it was asked and can report an update to install.
struct FakeUpdater : Updater {
    static inline int made = 0;
    int checks = 0;
    UpdaterDelegate& delegate;
    explicit FakeUpdater(UpdaterDelegate& d) : delegate(d) { ++made; }
    void checkForUpdates() override { ++checks; }
};
}  // namespace

TEST(UpdateController, ThisBuildsCheckSaysThereIsNoUpdateWithoutAnAlert) {
    UpdateController controller([](UpdateController& c) {
        return std::make_unique<StandInUpdater>([&c](const QString& text) { emit c.note(text); });
    });
    QSignalSpy notes(&controller, &UpdateController::note);
    controller.checkForUpdates();
    ASSERT_EQ(notes.count(), 1);
    EXPECT_EQ(notes.at(0).at(0).toString(), "No update is available for this build.");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(UpdateController, MakesItsUpdaterOnceHoweverOftenItIsAsked) {
    FakeUpdater::made = 0;
    UpdateController controller([](UpdateController& c) { return std::make_unique<FakeUpdater>(c); });
    EXPECT_EQ(controller.controller(), nullptr);
    controller.checkForUpdates();
    Updater* first = controller.controller();
    controller.startUpdater();
    controller.checkForUpdates();
    EXPECT_EQ(FakeUpdater::made, 1);
    EXPECT_EQ(controller.controller(), first);
    EXPECT_EQ(static_cast<FakeUpdater*>(first)->checks, 2);
}

TEST(UpdateController, AnUpdateToInstallOnQuitArmsTheIdleInstallerOnTheNextTurn) {
    steppedtime::Clocks clocks;
    qttest::TempHome home;
    auto defaults = home.freshDefaults();
    AppState state;
    UpdateController controller([](UpdateController& c) { return std::make_unique<FakeUpdater>(c); });
    controller.setIdleInstaller(new IdleUpdateInstaller(state, *defaults));
    controller.startUpdater();

    auto& updater = *static_cast<FakeUpdater*>(controller.controller());
    EXPECT_TRUE(updater.delegate.willInstallUpdateOnQuit([] {}));
    EXPECT_FALSE(controller.idleInstaller().isArmed());
    QCoreApplication::processEvents();
    EXPECT_TRUE(controller.idleInstaller().isArmed());
    EXPECT_TRUE(controller.idleInstaller().isLooking());
}
