// The uninstall model over a fixture home: the folder watch and its reloads on
// stepped time, and the choice through each phase of its list.
#include "Models/Apps/UninstallModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <mutex>

#include "Core/Apps/AppFixtures.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Support/QtTestSupport.h"

using appfixtures::bundle;
using fakehome::FakeHome;
using steppedtime::Clocks;
using Kind = CleanListModel::Phase::Kind;
namespace fs = std::filesystem;

namespace {
// Lets stepped time pass and queued calls land until `list` rests.
bool settled(Clocks& clocks, const CleanListModel& list) {
    return qttest::until([&] {
        clocks.advance(0.05);
        return !list.isBusy();
    });
}
}  // namespace

TEST(UninstallModel, AFolderBurstReloadsOnceWhenQuietAndOnceLateForEachChange) {
    Clocks clocks;
    std::mutex held;
    std::vector<double> reloads;
    std::vector<UninstallModel::InstalledApp> listed;
    UninstallModel model({{}, [&](const auto&) {
                              std::lock_guard lock(held);
                              reloads.push_back(clocks.t());
                              return listed;
                          }});
    QSignalSpy published(&model, &UninstallModel::appsChanged);
    for (int i = 0; i < 10; ++i) {
        clocks.advanceTo(i * 0.05);
        model.folderChanged();
    }
    listed = {{"/Apps/A.app", "A", "com.a", 0}};
    // A step at a time, each read (off the main thread) done before the next step.
    for (int step = 10; step <= 200; ++step) {
        clocks.advanceTo(step * 0.05);
        ASSERT_TRUE(qttest::until([&] { return !model.reading(); }));
    }
    std::vector<double> expected{0.45 + UninstallModel::quietReload};
    for (int i = 0; i < 10; ++i) expected.push_back(i * 0.05 + UninstallModel::lateReload);
    std::lock_guard lock(held);
    ASSERT_EQ(reloads.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(reloads[i], expected[i], 1e-6) << i;
    EXPECT_EQ(published.count(), 1) << "reloads that find the same list publish nothing";
}

// Every bundle's Info.plist is read off the main thread, one read at a time:
// calls during a read fold into one more read after it.
TEST(UninstallModel, ReadsTheFoldersOffTheMainThreadOneReadAtATime) {
    std::mutex gate;  // held by the test: a read waits at its start
    std::atomic<int> reads{0}, onMainThread{0};
    UninstallModel model({{}, [&](const auto&) {
                              if (QThread::currentThread() == qApp->thread()) ++onMainThread;
                              else std::lock_guard wait(gate);
                              return std::vector<UninstallModel::InstalledApp>(++reads, {"/A.app", "A", "com.a", 0});
                          }});
    gate.lock();
    model.loadApps();
    EXPECT_TRUE(model.reading() && !model.listed());
    model.reloadApps();
    model.reloadApps();
    gate.unlock();
    ASSERT_TRUE(qttest::until([&] { return !model.reading(); }));
    EXPECT_EQ(std::tuple(onMainThread.load(), reads.load(), model.apps().size()), std::tuple(0, 2, size_t(2)));
}

TEST(UninstallModel, ABundleMovedIntoAWatchedFolderAppearsOnceTheFolderIsQuiet) {
    FakeHome home;
    Clocks clocks;
    const fs::path folder = home.folder("Applications");
    UninstallModel model({{folder, home / "Elsewhere"}});
    model.loadApps();
    ASSERT_TRUE(model.apps().empty());
    fs::rename(bundle(home, home.root() / "Qux.app", {{"CFBundleIdentifier", "org.qux"}}), folder / "Qux.app");
    // The kernel's word arrives as an event; the reloads it schedules then wait on the clock.
    ASSERT_TRUE(qttest::until([&] { return clocks.pendingWaits() >= 2; }));
    clocks.advance(UninstallModel::quietReload - 0.01);
    EXPECT_TRUE(model.apps().empty());
    clocks.advance(0.02);
    ASSERT_TRUE(qttest::until([&] { return model.apps().size() == 1; }));
    EXPECT_EQ(model.apps()[0].name, "Qux");
}

class ChosenBundleDeleted : public ::testing::TestWithParam<std::pair<const char*, Kind>> {};

TEST_P(ChosenBundleDeleted, DropsTheChoiceUnlessItsUninstallRunsOrShows) {
    const Kind phase = GetParam().second;
    const bool kept = phase == Kind::cleaning || phase == Kind::done;
    FakeHome home;
    Clocks clocks(home.now());
    cleantest::FakeAudio audio;
    std::mutex scanHold;  // held by the test: a scan waits at its start
    const fs::path foo = bundle(home, "Applications/Foo.app", {{"CFBundleIdentifier", "com.foo.app"}});
    bundle(home, "Applications/Bar.app", {{"CFBundleIdentifier", "com.bar.app"}});
    home.folder("Library/Caches/com.foo.app", 3);
    UninstallModel model({{home / "Applications"}, [](const auto& f) { return AppUninstaller::installedApps(f); }, [&] {
                              std::lock_guard wait(scanHold);
                              return std::set<std::string>{};
                          }});
    model.loadApps();
    ASSERT_TRUE(qttest::until([&] { return model.apps().size() == 2; }));
    if (phase == Kind::scanning) scanHold.lock();
    model.select(model.apps()[1]);
    CleanListModel* list = &model.files();
    if (phase != Kind::scanning) settled(clocks, *list);
    if (kept) list->clean();
    if (phase == Kind::done) settled(clocks, *list);
    ASSERT_EQ(list->phase().kind, phase);

    fs::remove_all(foo);
    model.reloadApps();
    ASSERT_TRUE(qttest::until([&] { return !model.reading(); }));
    EXPECT_EQ(model.apps().size(), 1u);
    EXPECT_EQ(model.chosen().has_value(), kept);
    EXPECT_EQ(&model.files() == list, kept);
    EXPECT_EQ(model.files().phase().kind == Kind::idle && model.files().action() == "uninstall", !kept);
    if (phase == Kind::cleaning) {
        // Picking another app now would hide the removal and its report.
        model.select(model.apps()[0]);
        EXPECT_EQ(model.chosen()->name, "Foo");
        EXPECT_EQ(&model.files(), list);
    }
    if (phase == Kind::scanning) scanHold.unlock();
    settled(clocks, model.files());
}

INSTANTIATE_TEST_SUITE_P(Phases, ChosenBundleDeleted,
                         ::testing::Values(std::pair{"scanning", Kind::scanning}, std::pair{"ready", Kind::ready},
                                           std::pair{"cleaning", Kind::cleaning}, std::pair{"done", Kind::done}),
                         [](const auto& info) { return std::string(info.param.first); });
