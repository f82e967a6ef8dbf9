// The Uninstall sub-tab over a fixture home with apps in ~/Applications, on stepped
// clocks: each state of the pane in a picture, with what it must say and offer, and
// the removal through the real remover into the freedesktop Trash.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "Core/Apps/AppFixtures.h"
#include "Core/Clean/History.h"
#include "Models/Clean/CleanListModel.h"
#include "Platform/Locations.h"
#include "Views/Apps/AppsScene.h"
#include "Views/Apps/UninstallView.h"
#include "Views/Clean/ReviewPanel.h"
#include "Views/Kit/Controls.h"

namespace fs = std::filesystem;
using Kind = UninstallPaneState::Kind;
using Phase = CleanListModel::Phase::Kind;

namespace {
QString bytes(int64_t n) { return QString::fromStdString(formattedBytes(n)); }

struct Scene : AppsScene<UninstallView> {
    Scene() {
        for (const auto& [name, id] : {std::pair{"Discord", "com.hnc.Discord"}, {"Firefox", "org.mozilla.firefox"},
                                       {"Google Chrome", "com.google.Chrome"}, {"Slack", "com.tinyspeck.slackmacgap"},
                                       {"Spotify", "com.spotify.client"}, {"Visual Studio Code", "com.microsoft.VSCode"},
                                       {"Zoom", "us.zoom.xos"}, {"1Password", "com.1password.1password"}})
            appfixtures::bundle(home, fs::path("Applications") / (std::string(name) + ".app"),
                                {{"CFBundleIdentifier", id}, {"CFBundleName", name}});
        home.folder("Library/Application Support/Code/User", 40);
        home.folder(".cache/com.microsoft.VSCode", 25);
        home.file("Library/Preferences/com.microsoft.VSCode.plist", 1);
        home.folder("Library/Saved Application State/com.microsoft.VSCode.savedState", 2);
        home.folder("Library/Application Support/Visual Studio Code", 12);
        show(AppsMode::uninstall);
        // The folders are read off the main thread.
        EXPECT_TRUE(qttest::until([&] { return model().listed(); }));
    }
    UninstallModel& model() const { return f.state->uninstall(); }
    bool settle() {
        QElapsedTimer timer;
        timer.start();
        while (model().files().isBusy() && timer.elapsed() < 30000) run(0.05);
        return !model().files().isBusy();
    }
    QImage picture(const QString& name) {
        screen().heroText()->showRollAt(1);
        deliverDueFrames(screen().hero()->timeline());
        QCoreApplication::sendPostedEvents();
        return keep("apps-uninstall-" + name);
    }
    std::vector<std::string> rowNames() const {
        std::vector<std::string> out;
        for (const auto& a : screen().rows()->shown()) out.push_back(a.name);
        return out;
    }
};

void expectHero(Scene& s, const QString& title, const QString& subtitle, bool spinning, double open, bool suction) {
    UninstallView& v = s.screen();
    EXPECT_EQ(v.heroText()->title(), title);
    EXPECT_EQ(v.heroText()->subtitle(), subtitle);
    EXPECT_TRUE(v.heroText()->isVisibleTo(&v));
    EXPECT_EQ(v.reviewPanel(), nullptr);
    EXPECT_EQ(v.hero()->spinning(), spinning);
    EXPECT_DOUBLE_EQ(v.hero()->open(), open);
    EXPECT_EQ(v.hero()->suction(), suction);
}
}  // namespace

TEST(UninstallView, SearchPickReviewUninstallAndReport) {
    // Whether the tab is busy as a reader told of each change sees it, each time it differs.
    std::vector<bool> busy{false};
    Scene s;
    UninstallView& v = s.screen();
    EXPECT_EQ(v.countLabel()->text(), "8 apps");
    EXPECT_EQ(s.rowNames().front(), "1Password");
    EXPECT_EQ(v.searchField()->placeholderText(), "Search apps");
    expectHero(s, "Pick an app", "Quelto finds its caches, preferences, containers and launch agents.", false, 0, false);
    s.picture("pick");

    QTest::keyClicks(v.searchField(), "CO");
    EXPECT_EQ(s.model().search(), "CO");
    EXPECT_EQ(s.rowNames(), (std::vector<std::string>{"Discord", "Visual Studio Code"}));
    EXPECT_EQ(v.countLabel()->text(), "2 apps");
    s.picture("search");

    QObject::connect(s.f.state.get(), &AppState::busyChanged, [&] {
        EXPECT_EQ(s.f.state->isBusy(AppTab::apps), s.model().files().isBusy());
        if (busy.back() != s.f.state->isBusy(AppTab::apps)) busy.push_back(!busy.back());
    });
    QTest::mouseClick(v.rows()->viewport(), Qt::LeftButton, {}, v.rows()->rowRect(1).center());
    ASSERT_TRUE(s.model().chosen());
    EXPECT_EQ(s.model().chosen()->name, "Visual Studio Code");
    ASSERT_TRUE(s.settle());
    ReviewPanel* panel = v.reviewPanel();
    ASSERT_NE(panel, nullptr);
    const auto items = s.model().files().items();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].url, s.home / "Applications/Visual Studio Code.app");
    EXPECT_EQ(panel->titleLabel()->text(), "Visual Studio Code");
    EXPECT_EQ(panel->subtitleLabel()->text(), "com.microsoft.VSCode · 5 items");
    int64_t total = 0;
    for (const auto& i : items) total += i.size;
    EXPECT_EQ(panel->actionButton()->text(), "Uninstall · " + bytes(total));
    EXPECT_FALSE(v.heroText()->isVisibleTo(&v));
    // The chosen row keeps its white fill under the pointer.
    const QRect row = v.rows()->rowRect(1);
    QTest::mouseMove(v.rows()->viewport(), row.center());
    EXPECT_EQ(v.rows()->hovered(), 1);
    const QImage review = s.picture("review");
    const QPoint inRow = v.rows()->viewport()->mapTo(s.view.get(), row.topLeft() + QPoint(row.width() - 12, row.height() / 2));
    EXPECT_GT(luminance(review.pixel(inRow)), 0.85);

    QTest::mouseClick(panel->actionButton(), Qt::LeftButton);
    ASSERT_EQ(s.model().files().phase().kind, Phase::cleaning);
    CleanListModel* list = &s.model().files();
    // Another app picked now changes nothing: the removal stays on show.
    QTest::mouseClick(v.rows()->viewport(), Qt::LeftButton, {}, v.rows()->rowRect(0).center());
    EXPECT_EQ(&s.model().files(), list);
    SwallowFeed* feed = list->feed();
    ASSERT_NE(feed, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return feed->finished(); }, 30000));
    for (int i = 0; i < 80 && feed->remaining() == total; ++i) s.run(0.05);
    ASSERT_EQ(list->phase().kind, Phase::cleaning);
    EXPECT_LT(feed->remaining(), total);
    expectHero(s, bytes(feed->remaining()) + " to go", "Uninstalling Visual Studio Code", false, 1, true);
    ASSERT_TRUE(v.hero()->feed());
    EXPECT_FALSE(v.hero()->feed()->empty());
    s.picture("uninstalling");

    // The folder's change reloads the list; the result stays until another pick.
    s.run(9);
    ASSERT_EQ(list->phase().kind, Phase::done);
    EXPECT_EQ(s.rowNames(), (std::vector<std::string>{"Discord"}));
    expectHero(s, "Visual Studio Code is gone", "Everything it installed is in the Trash.", false, 1, false);
    EXPECT_GT(v.hero()->growth(), 0);
    s.picture("gone");

    // Through the real remover: everything in the freedesktop Trash, recorded once.
    for (const std::string name : {"Visual Studio Code.app", "Visual Studio Code", "com.microsoft.VSCode",
                                   "com.microsoft.VSCode.plist", "com.microsoft.VSCode.savedState"}) {
        EXPECT_TRUE(fs::exists(Platform::Locations::trashFiles() / name)) << name;
        EXPECT_TRUE(fs::exists(Platform::Locations::trashInfo() / (name + ".trashinfo"))) << name;
    }
    EXPECT_TRUE(fs::exists(s.home / "Library/Application Support/Code/User"));
    ASSERT_EQ(History::entries().size(), 1u);
    EXPECT_EQ(History::entries()[0].action, "uninstall");
    EXPECT_EQ(History::entries()[0].count, 5);
    EXPECT_EQ(History::entries()[0].bytes, total);
    EXPECT_EQ(busy, (std::vector<bool>{false, true, false, true, false})) << "busy through the scan and the clean";
}

TEST(UninstallView, AnAppThatQuitSinceItWasPickedIsNotCalledGone) {
    fakehome::FakeHome home;
    steppedtime::Clocks clocks(home.now());
    const fs::path app = appfixtures::bundle(home, "Applications/Foo.app", {{"CFBundleIdentifier", "com.foo.app"}});
    std::set<std::string> running{"com.foo.app"};
    UninstallModel model({{home / "Applications"}, [](const auto& f) { return AppUninstaller::installedApps(f); },
                          [&] { return running; }});
    model.loadApps();
    ASSERT_TRUE(qttest::until([&] { return model.listed(); }));
    model.select(model.apps().at(0));
    ASSERT_TRUE(qttest::until([&] { return !model.files().isBusy(); }));
    EXPECT_TRUE(model.files().items().empty()) << "a running app yields nothing";
    auto pane = UninstallPaneState::of(model);
    EXPECT_EQ(pane.kind, Kind::running);
    EXPECT_EQ(pane.title, "Foo is running");
    EXPECT_EQ(pane.subtitle, "Quit it first, then pick it again.");

    running.clear();
    model.checkRunning();
    ASSERT_TRUE(qttest::until([&] { return !model.chosenIsRunning(); }));
    pane = UninstallPaneState::of(model);
    EXPECT_EQ(pane.kind, Kind::pickAgain);
    EXPECT_EQ(pane.subtitle, "Pick it again to find its files.");
    model.select(model.apps().at(0));
    ASSERT_TRUE(qttest::until([&] { return !model.files().isBusy(); }));
    EXPECT_EQ(UninstallPaneState::of(model).kind, Kind::review);
    EXPECT_TRUE(fs::exists(app));
}
