// The Startup screen hosted in a window-sized frame over the Apps tab's sky, on
// services the test answers by hand and on this machine's own.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include "Support/SteppedAnimations.h"
#include "Support/StartupFakes.h"
#include "Support/TestTree.h"
#include "Views/Apps/StartupView.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/SpaceBackground.h"
#include "Views/TestSupport.h"

using namespace startupfake;
using Target = StartupList::Target;
using Kind = Target::Kind;
namespace fs = std::filesystem;

namespace {
void settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// The window's size, the screen below the room the header and sub-tabs take.
struct Host {
    QWidget window;
    StartupView* view;
    explicit Host(StartupModel& model) {
        window.resize(1000, 680);
        auto* sky = new SpaceBackground(AppTab::apps, false, &window);
        sky->setGeometry(0, 0, 1000, 680);
        auto* column = new QVBoxLayout(&window);
        column->setContentsMargins(0, 96, 0, 0);
        view = new StartupView(model);
        column->addWidget(view);
        window.show();
        sky->lower();
        settle();
    }
    StartupList& list() const { return *view->list(); }
    bool shows(const char* text) const { return view->list()->texts().contains(QString::fromUtf8(text)); }
    // The texts appear in this order, with others between them.
    bool showsInOrder(const QStringList& texts) const {
        const QStringList all = view->list()->texts();
        qsizetype at = 0;
        for (const QString& t : texts) {
            at = all.indexOf(t, at) + 1;
            if (at == 0) {
                ADD_FAILURE() << "missing or out of order: " << t.toStdString();
                return false;
            }
        }
        return true;
    }
    void click(const Target& t) {
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, list().rectOf(t).center());
        settle();
    }
    void keep(const QString& name) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        ASSERT_TRUE(keepScreenshot(window.grab().toImage(), name));
    }
};

// A page over services the test answers, its first load done with these lists.
struct Page {
    Services fake;
    StartupModel model{fake.make()};
    Host host{model};
    void loaded(std::vector<Item> jobs, std::vector<LoginItems::OpenAtLogin> logins = {}) {
        fake.loads.finish(0, std::move(jobs));
        fake.logins.finish(0, {std::move(logins), std::nullopt});
        settle();
    }
};

QStringList menuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << a->text();
    delete menu;
    return out;
}
}  // namespace

TEST(StartupView, FirstVisitLoadsOnceBehindAProgressIndicator) {
    Page p;
    EXPECT_EQ(p.fake.loads.count(), 1u);
    EXPECT_TRUE(p.host.view->showsProgress());
    p.host.keep("apps-startup-loading");
    p.loaded({});
    EXPECT_FALSE(p.host.view->showsProgress());
    EXPECT_TRUE(p.host.showsInOrder({"OPEN AT LOGIN", "Nothing opens at login.", "BACKGROUND APP ACTIVITY",
                                     "Reading this list needs your password once.", "LAUNCH SERVICES",
                                     "No launch services."}));
    EXPECT_FALSE(p.host.shows("No apps are running in the background."));

    // Later visits reuse the lists; a reload with rows on show keeps them in place.
    p.host.window.hide();
    p.host.window.show();
    QTest::mouseClick(p.host.view->reloadButton(), Qt::LeftButton);
    p.fake.loads.finish(1, {job("a", Scope::user, true)});
    settle();
    EXPECT_EQ(p.fake.loads.count(), 2u);
    EXPECT_FALSE(p.host.view->showsProgress());
}

TEST(StartupView, ThisMachinesPageListsTheAutostartEntriesAndSaysWhatItCannotRead) {
    testtree::TempDir tmp;
    testtree::ScopedEnv config("XDG_CONFIG_HOME", (tmp / "config").string());
    testtree::ScopedEnv dirs("XDG_CONFIG_DIRS", (tmp / "xdg").string());
    for (const auto& [file, name] : {std::pair{"config/autostart/quelto.desktop", "Quelto"},
                                     {"config/autostart/notes.desktop", "Sticky Notes"},
                                     {"xdg/autostart/applet.desktop", "Network Applet"}})
        testtree::writeFile(tmp / file, std::string("[Desktop Entry]\nType=Application\nExec=tool\nName=") + name + "\n");

    StartupModel model;
    Host host(model);
    ASSERT_TRUE(qttest::until([&] { return model.loaded(); }));
    EXPECT_TRUE(host.showsInOrder({"Network Applet", "Quelto", "Sticky Notes", "Reading this list needs your password once.",
                                   "No launch services."}));
    EXPECT_FALSE(host.shows("Nothing opens at login."));
    host.keep("apps-startup-this-machine");

    // No sfltool here: the card stays and the section says why.
    host.click({Kind::showBackground});
    ASSERT_TRUE(qttest::until([&] { return !model.loadingBackground(); }));
    ASSERT_TRUE(model.backgroundError());
    EXPECT_TRUE(model.backgroundError()->startsWith("Could not start"));
    EXPECT_TRUE(host.showsInOrder({*model.backgroundError(), "Reading this list needs your password once."}));
    host.keep("apps-startup-background-error");
}

TEST(StartupView, AFixturePageShowsEveryRowKind) {
    Page p;
    p.loaded({job("com.example.Notes.sync", Scope::user, true, true, fs::path("/Applications/Notes.app")),
              job("com.example.backup", Scope::user, false), job("org.printing.queue", Scope::allUsers, true, true),
              job("com.vendor.daemon", Scope::system, true)},
             {{"Sticky Notes", "/home/me/.config/autostart/notes.desktop"},
              {"Quelto", "/home/me/.config/autostart/quelto.desktop"}});
    p.model.loadBackground();
    p.fake.backgrounds.finish(0, {{{"Dropbox", "/Applications/Dropbox.app", true},
                                   {"Updater", "/Library/Helpers/Updater.app/Contents/MacOS/updater", false}},
                                  std::nullopt});
    p.model.toggle(p.model.items().at(1));
    p.fake.switches.finish(0, {false, "Operation not permitted while System Integrity Protection is engaged"});
    settle();
    p.host.keep("apps-startup-lists");
    StartupList& list = p.host.list();
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
    p.host.keep("apps-startup-launch-services");

    EXPECT_TRUE(p.host.showsInOrder(
        {"OPEN AT LOGIN", "Sticky Notes", "Quelto", "BACKGROUND APP ACTIVITY", "Dropbox", "On", "Updater", "Off",
         "LAUNCH SERVICES", "Notes", "You", "running", "example.backup", "You",
         "Operation not permitted while System Integrity Protection is engaged", "printing.queue", "All users",
         "running", "vendor.daemon", "System"}));
    EXPECT_FALSE(p.host.shows("Reading this list needs your password once."));
    // The lock only on the system row; "Remove" only for the user's own.
    for (int job = 0; job < 4; ++job) {
        const Scope scope = p.model.items().at(size_t(job)).scope;
        EXPECT_TRUE(list.rectOf({Kind::jobCard, job}).intersects(list.viewport()->rect())) << job;
        EXPECT_EQ(list.rectOf({Kind::jobLock, job}).isEmpty(), scope != Scope::system) << job;
        EXPECT_EQ(menuTexts(list.contextMenu(job, nullptr)),
                  (scope == Scope::user ? QStringList{"Show in Finder", "", "Remove"} : QStringList{"Show in Finder"}));
    }
    EXPECT_EQ(list.toolTipAt(list.rectOf({Kind::jobLock, 3}).center()), "Asks for your password");
    EXPECT_EQ(list.toolTipAt(list.rectOf({Kind::jobCard, 2}).topLeft() + QPoint(200, 5)),
              "<p style='white-space:pre'>/usr/libexec/org.printing.queue</p>");
}

TEST(StartupView, TheSwitchShowsOnlyWhatTheModelHolds) {
    qttest::SteppedAnimations animations;
    Page p;
    p.loaded({job("com.vendor.daemon", Scope::system, false)});
    p.host.click({Kind::jobSwitch, 0});
    p.host.click({Kind::jobSwitch, 0});  // while it switches: ignored
    ASSERT_EQ(p.fake.switched.size(), 1u);
    EXPECT_TRUE(p.fake.switched[0].second);
    p.fake.switches.finish(0, {false, "execution error: User canceled. (-128)"});
    settle();
    EXPECT_EQ(p.host.list().knob(0), 0.0);
    EXPECT_TRUE(p.host.shows("Password prompt cancelled"));

    p.host.click({Kind::jobSwitch, 0});
    p.fake.switches.finish(1, {true, ""});
    settle();
    animations.step(80);
    EXPECT_GT(p.host.list().knob(0), 0.0);
    EXPECT_LT(p.host.list().knob(0), 1.0);
    animations.step(200);
    EXPECT_EQ(p.host.list().knob(0), 1.0);
    EXPECT_FALSE(p.host.shows("Password prompt cancelled"));
}

TEST(StartupView, RowActionsReachTheModelAndTheFileManager) {
    Page p;
    std::vector<fs::path> revealed;
    p.host.list().reveal = [&](const fs::path& path) { revealed.push_back(path); };
    p.loaded({job("com.me.agent", Scope::user, true)});
    QMenu* menu = p.host.list().contextMenu(0, nullptr);
    menu->actions().at(0)->trigger();
    menu->actions().at(2)->trigger();
    delete menu;
    EXPECT_EQ(revealed, std::vector<fs::path>{"/fixture/com.me.agent.plist"});
    ASSERT_EQ(p.fake.removals.count(), 1u);

    // The background card: "Show" once, then the empty line and no card after an empty read.
    p.host.click({Kind::showBackground});
    p.host.click({Kind::showBackground});
    EXPECT_EQ(p.fake.backgrounds.count(), 1u);
    p.fake.backgrounds.finish(0, {});
    settle();
    EXPECT_TRUE(p.host.shows("No apps are running in the background."));
    EXPECT_TRUE(p.host.list().rectOf({Kind::showBackground}).isEmpty());
}

TEST(StartupView, TwentyThousandJobsDrawOnlyWhatShows) {
    Page p;
    std::vector<Item> many;
    for (int i = 0; i < 20000; ++i) many.push_back(job("com.example.job" + std::to_string(i), Scope::user, i % 2));
    p.loaded(std::move(many));
    StartupList& list = p.host.list();
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum() / 2);
    list.viewport()->repaint();
    EXPECT_GT(list.rowsPainted(), 3);
    EXPECT_LT(list.rowsPainted(), 20);
    const Target middle = list.targetAt(list.viewport()->rect().center());
    EXPECT_EQ(middle.kind, Kind::jobCard);
    EXPECT_NEAR(middle.index, 10000, 20);
}
