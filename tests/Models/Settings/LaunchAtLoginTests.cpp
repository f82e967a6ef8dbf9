#include "Models/Settings/LaunchAtLogin.h"
#include "Support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

using qttest::FakeLoginItem;
using qttest::TempHome;

TEST(LaunchAtLogin, FirstLaunchRegistersOnceAndStoresTheFlagFirst) {
    TempHome home;
    auto defaults = home.freshDefaults();
    FakeLoginItem item;
    item.failRegister = true;
    bool flagSetBeforeAttempt = false;
    item.onRegister = [&] { flagSetBeforeAttempt = home.freshDefaults()->boolean("launchAtLoginDefaulted") == true; };

    LaunchAtLogin::enableOnFirstLaunch(*defaults, item);
    EXPECT_EQ(item.registers, 1);
    EXPECT_TRUE(flagSetBeforeAttempt);

    // A later launch, after the failed attempt, tries nothing.
    auto later = home.freshDefaults();
    LaunchAtLogin::enableOnFirstLaunch(*later, item);
    EXPECT_EQ(item.registers, 1);

    // Without the flag the next launch registers again.
    later->remove("launchAtLoginDefaulted");
    item.failRegister = false;
    LaunchAtLogin::enableOnFirstLaunch(*home.freshDefaults(), item);
    EXPECT_EQ(item.registers, 2);
    EXPECT_EQ(item.current, FakeLoginItem::Status::enabled);
}

TEST(LaunchAtLogin, FirstLaunchWritesTheAutostartEntry) {
    TempHome home;
    const auto program = home / "bin/Quelto";
    std::filesystem::create_directories(program.parent_path());
    std::ofstream(program) << "#!/bin/sh\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    Platform::LoginItemService service(home / ".config/autostart/quelto.desktop", program);

    LaunchAtLogin::enableOnFirstLaunch(*home.freshDefaults(), service);
    EXPECT_EQ(service.status(), Platform::LoginItemService::Status::enabled);
    ASSERT_TRUE(LaunchAtLogin::set(false, service));
    EXPECT_EQ(service.status(), Platform::LoginItemService::Status::notRegistered);
    LaunchAtLogin::enableOnFirstLaunch(*home.freshDefaults(), service);  // never switched back on
    EXPECT_EQ(service.status(), Platform::LoginItemService::Status::notRegistered);
}

TEST(LaunchAtLogin, SetAnswersWhetherTheServiceCallSucceeded) {
    FakeLoginItem item;
    EXPECT_TRUE(LaunchAtLogin::set(true, item));
    EXPECT_TRUE(LaunchAtLogin::set(false, item));
    item.failRegister = true;
    EXPECT_FALSE(LaunchAtLogin::set(true, item));
    EXPECT_EQ(item.registers, 2);
    EXPECT_EQ(item.unregisters, 1);
}

TEST(LaunchAtLogin, OnlyTheLoginArgumentTellsALoginLaunch) {
    EXPECT_TRUE(LaunchAtLogin::launchedAsLoginItem(QStringList{"/opt/Quelto", "--login-item"}));
    EXPECT_FALSE(LaunchAtLogin::launchedAsLoginItem(QStringList{"/opt/Quelto"}));
    EXPECT_FALSE(LaunchAtLogin::launchedAsLoginItem(QStringList{"/opt/Quelto", "--login-item=1"}));
    EXPECT_FALSE(LaunchAtLogin::launchedAsLoginItem());  // this test binary
}
