#include "Support/QtTestSupport.h"
#include "Models/Settings/Preferences.h"
#include "Models/Settings/SettingsLogic.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace SettingsLogic;
using qttest::FakeLoginItem;
using qttest::TempHome;
using Status = Platform::LoginItemService::Status;
using M = MenuBarMetric;

TEST(SettingsLogic, LoginSwitchShowsWhatTheServiceReportsAfterTheAttempt) {
    struct Case {
        const char* name;
        Status before;
        Status afterRegister;
        bool failRegister;
        bool flipTo;
        LoginSwitch shown;
        int settingsOpened;
    };
    const Case cases[] = {
        {"registered", Status::notRegistered, Status::enabled, false, true, {true, false}, 0},
        {"needs approval", Status::notRegistered, Status::requiresApproval, false, true, {false, true}, 1},
        {"refused springs back", Status::notRegistered, Status::enabled, true, true, {false, false}, 0},
        {"not found", Status::notFound, Status::notFound, true, true, {false, false}, 0},
        {"switched off", Status::enabled, Status::enabled, false, false, {false, false}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLoginItem item;
        item.current = c.before;
        item.afterRegister = c.afterRegister;
        item.failRegister = c.failRegister;
        EXPECT_EQ(readLoginSwitch(item), (LoginSwitch{c.before == Status::enabled, false}));
        EXPECT_EQ(flipLoginSwitch(c.flipTo, item), c.shown);
        EXPECT_EQ(item.settingsOpened, c.settingsOpened);
        EXPECT_EQ(item.registers, c.flipTo ? 1 : 0);
        EXPECT_EQ(item.unregisters, c.flipTo ? 0 : 1);
    }
    FakeLoginItem waiting;
    waiting.current = Status::requiresApproval;
    EXPECT_EQ(readLoginSwitch(waiting), (LoginSwitch{false, true}));
    EXPECT_EQ(waiting.settingsOpened, 0);  // only a flip opens the settings
}

TEST(SettingsLogic, LoginDetailFollowsTheApproval) {
    EXPECT_EQ(loginDetail(true), "Waiting for approval in System Settings › General › Login Items.");
    EXPECT_EQ(loginDetail(false), "Quelto starts in the menu bar when you log in, without opening its window.");
    EXPECT_EQ(staleDaysText(30), "30 days");
}

TEST(SettingsLogic, ToggledMetricsAreInDeclarationOrderWithoutRepeats) {
    struct Case { const char* name; QList<M> current; M metric; bool on; QList<M> expected; };
    const Case cases[] = {
        {"first on", {}, M::battery, true, {M::battery}},
        {"second goes before", {M::battery}, M::cpu, true, {M::cpu, M::battery}},
        {"stored order and repeats cleaned", {M::memory, M::cpu, M::cpu}, M::gpu, true, {M::cpu, M::gpu, M::memory}},
        {"on again changes nothing", {M::cpu}, M::cpu, true, {M::cpu}},
        {"off removes every copy", {M::disk, M::cpu, M::disk}, M::disk, false, {M::cpu}},
        {"last off leaves none", {M::cpu}, M::cpu, false, {}},
        {"off of an absent one", {M::network, M::cpu}, M::battery, false, {M::cpu, M::network}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(toggledMetrics(c.current, c.metric, c.on), c.expected);
    }

    TempHome home;
    auto d = home.freshDefaults();
    Preferences prefs(*d);
    prefs.setMenuBarMetrics({});
    toggleMetric(prefs, M::battery, true);
    toggleMetric(prefs, M::cpu, true);
    EXPECT_EQ(home.freshDefaults()->stringArray("menuBarMetrics"), (std::vector<std::string>{"cpu", "battery"}));
}

TEST(SettingsLogic, TildeStandsOnlyForTheHomeFolderItself) {
    struct Case { const char* path; const char* home; const char* expected; };
    const Case cases[] = {
        {"/home/al", "/home/al", "~"},
        {"/home/al/", "/home/al", "~/"},
        {"/home/al/Projects", "/home/al", "~/Projects"},
        {"/home/al/Projects", "/home/al/", "~/Projects"},
        {"/home/alice/x", "/home/al", "/home/alice/x"},  // a sibling whose name extends the user's
        {"/home/al ice", "/home/al", "/home/al ice"},
        {"/home/a", "/home/al", "/home/a"},
        {"/opt/src", "/home/al", "/opt/src"},
        {"/x", "/", "/x"},
        {"/x", "", "/x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(abbreviatedPath(c.path, c.home), c.expected);
    }
}

TEST(SettingsLogic, AddingStoresEachChosenPathOnceWithOneAssignmentPerAppend) {
    TempHome home;
    auto d = home.freshDefaults();
    Preferences prefs(*d);
    QSignalSpy spy(&prefs, SIGNAL(protectedPathsChanged(QStringList)));
    const QString h = pathToQString(home.path());

    addChosenPaths(prefs, PathList::protectedPaths, {h + "/Documents", h + "/notes.txt", "/opt/data"});
    addChosenPaths(prefs, PathList::protectedPaths, {h + "/Documents", h, h + "ice/x"});
    EXPECT_EQ(prefs.protectedPaths(),
              (QStringList{"~/Documents", "~/notes.txt", "/opt/data", "~", h + "ice/x"}));
    EXPECT_EQ(spy.count(), 5);
    EXPECT_EQ(home.freshDefaults()->stringArray("protectedPaths")->size(), 5u);

    addChosenPaths(prefs, PathList::projectRoots, {"/srv/code", "/srv/work"}, "/srv");
    EXPECT_EQ(prefs.projectRoots().count("~/code"), 1);  // already a default root
    EXPECT_EQ(prefs.projectRoots().last(), "~/work");
    EXPECT_EQ(prefs.protectedPaths().size(), 5);
}

TEST(SettingsLogic, RemoveDropsEveryEqualEntryAndClearsTheSelection) {
    EXPECT_EQ(removingAll({"~/a", "~/b", "~/a", "~/ab"}, "~/a"), (QStringList{"~/b", "~/ab"}));
    EXPECT_EQ(removingAll({}, "~/a"), QStringList{});

    TempHome home;
    auto d = home.freshDefaults();
    Preferences prefs(*d);
    prefs.setProjectRoots({"~/x", "~/y", "~/x"});
    QSignalSpy spy(&prefs, SIGNAL(projectRootsChanged(QStringList)));

    std::optional<QString> selection;
    removeSelected(prefs, PathList::projectRoots, selection);
    EXPECT_EQ(spy.count(), 0);

    selection = "~/x";
    removeSelected(prefs, PathList::projectRoots, selection);
    EXPECT_EQ(prefs.projectRoots(), QStringList{"~/y"});
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(selection);
}

TEST(SettingsLogic, OnlyTheProtectedListAcceptsFiles) {
    EXPECT_TRUE(canChooseFiles(PathList::protectedPaths));
    EXPECT_FALSE(canChooseFiles(PathList::projectRoots));
}

TEST(SettingsLogic, SectionsRoundTripTheirRawValues) {
    QStringList raws;
    for (auto s : allSections) {
        raws << rawValue(s);
        EXPECT_EQ(settingsSectionFromRawValue(rawValue(s)), s);
    }
    EXPECT_EQ(raws, (QStringList{"general", "menuBar", "protected", "projects"}));
    EXPECT_FALSE(settingsSectionFromRawValue("General"));
}
