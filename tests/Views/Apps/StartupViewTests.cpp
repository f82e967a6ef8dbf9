// The Startup screen on services the test answers by hand and on this machine's own.
#include <gtest/gtest.h>

#include <QMenu>
#include <QScrollBar>
#include <QTest>

#include "Support/SteppedAnimations.h"
#include "Support/AppsFakes.h"
#include "Support/TestTree.h"
#include "Views/Apps/StartupView.h"
#include "Views/Kit/SpaceBackground.h"
#include "Views/TestSupport.h"

using namespace appsfake;
using Kind = StartupList::Target::Kind;

namespace {
// The screen where the window shows it, below the header and sub-tabs, over the Apps tab's sky.
struct Host {
    QWidget window;
    SpaceBackground* sky = new SpaceBackground(AppTab::apps, false, &window);
    StartupView* view;
    explicit Host(StartupModel& model) : view(new StartupView(model, &window)) {
        window.resize(1000, 680);
        sky->resize(window.size());
        view->setGeometry(0, 96, 1000, 584);
        window.show();
        settle();
    }
    StartupList& list() const { return *view->list(); }
    bool shows(const QString& text) const { return list().texts().contains(text); }
    // The texts appear in this order, with others between them.
    void expectInOrder(const QStringList& texts) const {
        qsizetype at = 0;
        for (const QString& t : texts)
            if ((at = list().texts().indexOf(t, at) + 1) == 0) return ADD_FAILURE() << "missing or out of order: " << t.toStdString();
    }
    void click(const StartupList::Target& t) {
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, list().rectOf(t).center());
        settle();
    }
    void keep(const QString& name) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        ASSERT_TRUE(keepScreenshot(window.grab().toImage(), name));
    }
};

// A page over services the test answers.
struct Page : FakeStartup { Host host{model}; };
}  // namespace

TEST(StartupView, AFixturePageLoadsBehindAProgressIndicatorThenShowsEveryRowKind) {
    Page p;
    EXPECT_TRUE(p.host.view->showsProgress());
    p.host.keep("apps-startup-loading");
    p.loaded({job("com.example.Notes.sync", Scope::user, true, true, "/Applications/Notes.app"),
              job("com.example.backup", Scope::user, false), job("org.printing.queue", Scope::allUsers, true, true),
              job("com.vendor.daemon", Scope::system, true)},
             {{"Sticky Notes", "/home/me/.config/autostart/notes.desktop"},
              {"Quelto", "/home/me/.config/autostart/quelto.desktop"}});
    p.model.loadBackground();
    p.backgrounds.finish(0, {{{"Dropbox", "/Applications/Dropbox.app", true},
                              {"Updater", "/Library/Helpers/Updater.app/Contents/MacOS/updater", false}},
                             std::nullopt});
    p.model.toggle(p.model.items().at(1));
    p.switches.finish(0, {false, "Operation not permitted while System Integrity Protection is engaged"});
    p.host.keep("apps-startup-lists");
    StartupList& list = p.host.list();
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
    p.host.keep("apps-startup-launch-services");

    p.host.expectInOrder(
        {"OPEN AT LOGIN", "Sticky Notes", "Quelto", "BACKGROUND APP ACTIVITY", "Dropbox", "On", "Updater", "Off",
         "LAUNCH SERVICES", "Notes", "You", "running", "example.backup", "You",
         "Operation not permitted while System Integrity Protection is engaged", "printing.queue", "All users",
         "running", "vendor.daemon", "System"});
    EXPECT_FALSE(p.host.shows("Reading this list needs your password once."));
    // The lock only on the system row; "Remove" only for the user's own.
    for (int job = 0; job < 4; ++job) {
        EXPECT_EQ(list.rectOf({Kind::jobLock, job}).isEmpty(), job != 3) << job;
        EXPECT_EQ(std::unique_ptr<QMenu>(list.contextMenu(job, nullptr))->actions().size(), job < 2 ? 3 : 1) << job;
    }
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
    host.expectInOrder({"Network Applet", "Quelto", "Sticky Notes", "Reading this list needs your password once.",
                        "No launch services."});
    EXPECT_FALSE(host.shows("Nothing opens at login."));
    host.keep("apps-startup-this-machine");

    // No sfltool here: the card stays and the section says why.
    host.click({Kind::showBackground});
    ASSERT_TRUE(qttest::until([&] { return !model.loadingBackground(); }));
    const QString error = model.backgroundError().value_or("");
    EXPECT_TRUE(error.startsWith("Could not start")) << error.toStdString();
    host.expectInOrder({error, "Reading this list needs your password once."});
    host.keep("apps-startup-background-error");
}

TEST(StartupView, TheSwitchShowsOnlyWhatTheModelHolds) {
    qttest::SteppedAnimations animations;
    Page p;
    p.loaded({job("com.vendor.daemon", Scope::system, false)});
    p.host.click({Kind::jobSwitch, 0});
    p.host.click({Kind::jobSwitch, 0});  // while it switches: ignored
    EXPECT_EQ(p.switchedTo, std::vector<bool>{true});
    p.switches.finish(0, {false, "execution error: User canceled. (-128)"});
    EXPECT_EQ(p.host.list().knob(0), 0.0);
    EXPECT_TRUE(p.host.shows("Password prompt cancelled"));

    p.host.click({Kind::jobSwitch, 0});
    p.switches.finish(1, {true, ""});
    animations.step(80);
    EXPECT_TRUE(p.host.list().knob(0) > 0 && p.host.list().knob(0) < 1) << p.host.list().knob(0);
    animations.step(200);
    EXPECT_EQ(p.host.list().knob(0), 1.0);
    EXPECT_FALSE(p.host.shows("Password prompt cancelled"));
}

TEST(StartupView, TwentyThousandJobsDrawOnlyWhatShows) {
    Page p;
    std::vector<Item> many;
    for (int i = 0; i < 20000; ++i) many.push_back(job("com.example.job" + std::to_string(i), Scope::user, i % 2));
    p.loaded(std::move(many));
    StartupList& list = p.host.list();
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum() / 2);
    list.viewport()->repaint();
    EXPECT_TRUE(list.rowsPainted() > 3 && list.rowsPainted() < 20) << list.rowsPainted();
    EXPECT_NEAR(list.targetAt(list.viewport()->rect().center()).index, 10000, 20);  // a job's card, near the middle
}
