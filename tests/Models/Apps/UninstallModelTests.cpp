// The uninstall model over a fixture home: the folder watch and its reloads on
// stepped time, the choice through each phase of its list, and an uninstall end
// to end through the real remover into the freedesktop Trash.
#include "Models/Apps/UninstallModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <mutex>

#include "Core/Apps/AppFixtures.h"
#include "Core/Clean/History.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Window/AppState.h"
#include "Platform/Locations.h"
#include "Support/QtTestSupport.h"

using appfixtures::bundle;
using fakehome::FakeHome;
using steppedtime::Clocks;
using InstalledApp = UninstallModel::InstalledApp;
using Kind = CleanListModel::Phase::Kind;
namespace fs = std::filesystem;

namespace {
// Lets stepped time pass and queued calls land until `done` holds.
template <class Done>
bool settle(Clocks& clocks, Done done) {
    return qttest::until([&] {
        clocks.advance(0.05);
        return done();
    });
}

struct Apps {
    FakeHome home;
    Clocks clocks{home.now()};
    cleantest::FakeAudio audio;
    std::mutex scanHold;  // held by the test: a scan waits at its start
    fs::path folder = home / "Applications";
    fs::path foo = bundle(home, folder / "Foo.app", {{"CFBundleIdentifier", "com.foo.app"}, {"CFBundleName", "Foo"}});
    fs::path bar = bundle(home, folder / "Bar.app", {{"CFBundleIdentifier", "com.bar.app"}});
    UninstallModel model{UninstallModel::Environment{{folder},
                                                     [](const auto& f) { return AppUninstaller::installedApps(f); },
                                                     [this] {
                                                         std::lock_guard wait(scanHold);
                                                         return std::set<std::string>{};
                                                     }}};
    Apps() {
        home.folder("Library/Caches/com.foo.app", 3);
        model.loadApps();
    }
    const InstalledApp& app(const std::string& name) const {
        for (const auto& a : model.apps())
            if (a.name == name) return a;
        throw std::runtime_error("no app " + name);
    }
    bool settled() {
        return settle(clocks, [&] { return !model.files().isBusy(); });
    }
};
}  // namespace

TEST(UninstallModel, AFolderBurstReloadsOnceWhenQuietAndOnceLateForEachChange) {
    Clocks clocks;
    std::vector<double> reloads;
    std::vector<InstalledApp> listed;
    UninstallModel model({{}, [&](const auto&) {
                              reloads.push_back(clocks.t());
                              return listed;
                          }});
    QSignalSpy published(&model, &UninstallModel::appsChanged);
    for (int i = 0; i < 10; ++i) {
        clocks.advanceTo(i * 0.05);
        model.folderChanged();
    }
    listed = {{"/Apps/A.app", "A", "com.a", 0}};
    clocks.advanceTo(10);
    std::vector<double> expected{0.45 + UninstallModel::quietReload};
    for (int i = 0; i < 10; ++i) expected.push_back(i * 0.05 + UninstallModel::lateReload);
    ASSERT_EQ(reloads.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(reloads[i], expected[i], 1e-6) << i;
    EXPECT_EQ(published.count(), 1) << "reloads that find the same list publish nothing";
}

TEST(UninstallModel, ABundleMovedIntoAWatchedFolderAppearsOnceTheFolderIsQuiet) {
    FakeHome home;
    Clocks clocks;
    const fs::path folder = home.folder("Applications");
    UninstallModel model({{folder, home / "Elsewhere"}});
    model.loadApps();
    ASSERT_TRUE(model.apps().empty());
    const fs::path staged = bundle(home, home.root() / "Qux.app", {{"CFBundleIdentifier", "org.qux"}});
    fs::rename(staged, folder / "Qux.app");
    // The kernel's word arrives as an event; the reloads it schedules then wait on the clock.
    ASSERT_TRUE(qttest::until([&] { return clocks.pendingWaits() >= 2; }));
    clocks.advance(UninstallModel::quietReload - 0.01);
    EXPECT_TRUE(model.apps().empty());
    clocks.advance(0.02);
    ASSERT_EQ(model.apps().size(), 1u);
    EXPECT_EQ(model.apps()[0].name, "Qux");
}

struct GoneCase {
    const char* name;
    Kind phase;
    bool kept;
};
void PrintTo(const GoneCase& c, std::ostream* os) { *os << c.name; }

class ChosenBundleDeleted : public ::testing::TestWithParam<GoneCase> {};

TEST_P(ChosenBundleDeleted, DropsTheChoiceUnlessItsUninstallRunsOrShows) {
    const GoneCase& c = GetParam();
    Apps s;
    if (c.phase == Kind::scanning) s.scanHold.lock();
    s.model.select(s.app("Foo"));
    CleanListModel* list = &s.model.files();
    if (c.phase != Kind::scanning) {
        ASSERT_TRUE(s.settled());
    }
    if (c.phase == Kind::cleaning || c.phase == Kind::done) list->clean();
    if (c.phase == Kind::done) {
        ASSERT_TRUE(s.settled());
    }
    ASSERT_EQ(list->phase().kind, c.phase);

    fs::remove_all(s.foo);
    s.model.reloadApps();
    EXPECT_EQ(s.model.apps().size(), 1u);
    EXPECT_EQ(s.model.chosen().has_value(), c.kept);
    EXPECT_EQ(&s.model.files() == list, c.kept);
    if (!c.kept) {
        EXPECT_EQ(s.model.files().phase().kind, Kind::idle);
        EXPECT_TRUE(s.model.files().items().empty());
        EXPECT_EQ(s.model.files().action(), "uninstall");
    }
    if (c.phase == Kind::cleaning) {
        // Picking another app now would hide the removal and its report.
        s.model.select(s.app("Bar"));
        EXPECT_EQ(s.model.chosen()->name, "Foo");
        EXPECT_EQ(&s.model.files(), list);
    }
    if (c.phase == Kind::scanning) s.scanHold.unlock();
    s.settled();
}

INSTANTIATE_TEST_SUITE_P(Phases, ChosenBundleDeleted,
                         ::testing::Values(GoneCase{"scanning", Kind::scanning, false},
                                           GoneCase{"ready", Kind::ready, false},
                                           GoneCase{"cleaning", Kind::cleaning, true},
                                           GoneCase{"done", Kind::done, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UninstallModel, UninstallsTheBundleAndItsLeftoversIntoTheTrash) {
    FakeHome home;
    Clocks clocks(home.now());
    cleantest::FakeAudio audio;
    const fs::path app = bundle(home, "Applications/Foo Bar.app", {{"CFBundleIdentifier", "com.foo.bar"}});
    bundle(home, "Applications/Other.app", {{"CFBundleIdentifier", "com.other"}});
    home.folder("Library/Application Support/Foo Bar", 4);
    home.file("Library/Preferences/com.foo.bar.plist", 1);
    home.file("Library/LaunchAgents/com.foo.bar.helper.plist", 1);
    home.file("Library/Preferences/com.other.plist", 1);
    AppState state;
    UninstallModel& model = state.uninstall();
    // Whether the tab is busy, as a reader told of each change sees it, beside the list's phase.
    std::vector<std::pair<bool, bool>> seen;
    QObject::connect(&state, &AppState::busyChanged, [&] {
        seen.emplace_back(state.isBusy(AppTab::apps), model.files().isBusy());
    });

    model.loadApps();
    ASSERT_EQ(model.apps().size(), 2u);
    model.select(model.apps()[0]);
    ASSERT_TRUE(settle(clocks, [&] { return !model.files().isBusy(); }));
    CleanListModel& list = model.files();
    const auto items = list.items();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].url, app);
    EXPECT_EQ(list.selection().size(), 4u) << "everything preselected";
    int64_t bytes = 0;
    for (const auto& i : items) bytes += i.size;

    list.clean();
    EXPECT_TRUE(state.isBusy(AppTab::apps));
    ASSERT_TRUE(settle(clocks, [&] { return !list.isBusy(); }));
    EXPECT_FALSE(state.isBusy(AppTab::apps));

    for (const char* name : {"Foo Bar.app", "Foo Bar", "com.foo.bar.plist", "com.foo.bar.helper.plist"}) {
        EXPECT_TRUE(fs::exists(Platform::Locations::trashFiles() / name)) << name;
        EXPECT_TRUE(fs::exists(Platform::Locations::trashInfo() / (std::string(name) + ".trashinfo"))) << name;
    }
    EXPECT_FALSE(fs::exists(app));
    EXPECT_TRUE(fs::exists(home / "Library/Preferences/com.other.plist"));
    ASSERT_EQ(History::entries().size(), 1u);
    EXPECT_EQ(History::entries()[0].action, "uninstall");
    EXPECT_EQ(History::entries()[0].count, 4);
    EXPECT_EQ(History::entries()[0].bytes, bytes);

    ASSERT_FALSE(seen.empty());
    for (const auto& [busy, listBusy] : seen) EXPECT_EQ(busy, listBusy);
    std::vector<bool> changes{false};
    for (const auto& entry : seen)
        if (changes.back() != entry.first) changes.push_back(entry.first);
    EXPECT_EQ(changes, (std::vector<bool>{false, true, false, true, false})) << "busy through the scan and the clean";
}
