// The Startup screen hosted in a window-sized frame over the Apps tab's sky, on
// services the test answers by hand and on this machine's own.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include "Platform/Autostart.h"
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
    }
    StartupList& list() const { return *view->list(); }
    QStringList texts() const { return view->list()->texts(); }
    void click(const Target& t) {
        const QRect r = list().rectOf(t);
        ASSERT_FALSE(r.isEmpty());
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, r.center());
        settle();
    }
    void keep(const QString& name) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        ASSERT_TRUE(keepScreenshot(window.grab().toImage(), name));
    }
};

QStringList menuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << a->text();
    delete menu;
    return out;
}

int indexOf(const QStringList& texts, const char* text) { return int(texts.indexOf(QString::fromUtf8(text))); }
}  // namespace

TEST(StartupView, FirstVisitLoadsOnceBehindAProgressIndicator) {
    Services fake;
    StartupModel model(fake.make());
    Host host(model);
    settle();
    EXPECT_EQ(fake.loads.count(), 1u);
    EXPECT_TRUE(host.view->showsProgress());
    host.keep("apps-startup-loading");

    fake.loads.finish(0, {});
    fake.logins.finish(0, {});
    settle();
    EXPECT_FALSE(host.view->showsProgress());
    const QStringList texts = host.texts();
    EXPECT_LT(indexOf(texts, "OPEN AT LOGIN"), indexOf(texts, "Nothing opens at login."));
    EXPECT_LT(indexOf(texts, "Nothing opens at login."), indexOf(texts, "BACKGROUND APP ACTIVITY"));
    EXPECT_LT(indexOf(texts, "BACKGROUND APP ACTIVITY"), indexOf(texts, "Reading this list needs your password once."));
    EXPECT_EQ(indexOf(texts, "No apps are running in the background."), -1);
    EXPECT_LT(indexOf(texts, "LAUNCH SERVICES"), indexOf(texts, "No launch services."));

    // Later visits reuse the lists; the reload button reads them again, in place.
    host.window.hide();
    host.window.show();
    settle();
    EXPECT_EQ(fake.loads.count(), 1u);
    QTest::mouseClick(host.view->reloadButton(), Qt::LeftButton);
    fake.loads.finish(1, {job("a", Scope::user, true)});
    settle();
    EXPECT_FALSE(host.view->showsProgress());
    EXPECT_EQ(fake.loads.count(), 2u);
}

TEST(StartupView, ThisMachinesPageListsTheAutostartEntriesAndSaysWhatItCannotRead) {
    testtree::TempDir tmp;
    testtree::ScopedEnv config("XDG_CONFIG_HOME", (tmp / "config").string());
    testtree::ScopedEnv dirs("XDG_CONFIG_DIRS", (tmp / "xdg").string());
    const auto entry = [](const fs::path& p, const std::string& keys) {
        testtree::writeFile(p, "[Desktop Entry]\nType=Application\nExec=tool\n" + keys);
    };
    entry(tmp / "config/autostart/quelto.desktop", "Name=Quelto\n");
    entry(tmp / "config/autostart/notes.desktop", "Name=Sticky Notes\n");
    entry(tmp / "xdg/autostart/applet.desktop", "Name=Network Applet\n");
    entry(tmp / "xdg/autostart/gone.desktop", "Name=Switched Off\nX-GNOME-Autostart-enabled=false\n");

    StartupModel model;
    Host host(model);
    ASSERT_TRUE(qttest::until([&] { return model.loaded(); }));
    QStringList texts = host.texts();
    for (const char* shown : {"Network Applet", "Quelto", "Sticky Notes", "No launch services.",
                              "Reading this list needs your password once."})
        EXPECT_NE(indexOf(texts, shown), -1) << shown;
    EXPECT_EQ(indexOf(texts, "Switched Off"), -1);
    EXPECT_EQ(indexOf(texts, "Nothing opens at login."), -1);
    host.keep("apps-startup-this-machine");

    // No sfltool here: the card stays and the section says why.
    host.click({Kind::showBackground});
    ASSERT_TRUE(qttest::until([&] { return !model.loadingBackground(); }));
    texts = host.texts();
    ASSERT_TRUE(model.backgroundError());
    EXPECT_TRUE(model.backgroundError()->startsWith("Could not start"));
    EXPECT_NE(texts.indexOf(*model.backgroundError()), -1);
    EXPECT_NE(indexOf(texts, "Reading this list needs your password once."), -1);
    host.keep("apps-startup-background-error");

    // Taken off from its row: the user's entry is deleted, the system's hidden.
    const auto row = [&](const char* name) {
        const auto& items = model.openAtLogin();
        return int(std::find_if(items.begin(), items.end(), [&](const auto& i) { return i.name == name; }) - items.begin());
    };
    host.click({Kind::removeLogin, row("Sticky Notes")});
    ASSERT_TRUE(qttest::until([&] { return model.openAtLogin().size() == 2; }));
    EXPECT_FALSE(fs::exists(tmp / "config/autostart/notes.desktop"));
    host.click({Kind::removeLogin, row("Network Applet")});
    ASSERT_TRUE(qttest::until([&] { return model.openAtLogin().size() == 1; }));
    EXPECT_TRUE(fs::exists(tmp / "xdg/autostart/applet.desktop"));
    EXPECT_EQ(Platform::Autostart::read(tmp / "config/autostart/applet.desktop").hidden, true);
}

TEST(StartupView, AFixturePageShowsEveryRowKind) {
    Services fake;
    StartupModel model(fake.make());
    Host host(model);
    settle();
    fake.loads.finish(0, {job("com.example.Notes.sync", Scope::user, true, true, fs::path("/Applications/Notes.app")),
                          job("com.example.backup", Scope::user, false),
                          job("org.printing.queue", Scope::allUsers, true, true),
                          job("com.vendor.daemon", Scope::system, true)});
    fake.logins.finish(0, {{{"Sticky Notes", "/home/me/.config/autostart/notes.desktop"},
                            {"Quelto", "/home/me/.config/autostart/quelto.desktop"}},
                           std::nullopt});
    settle();
    model.loadBackground();
    fake.backgrounds.finish(0, {{{"Dropbox", "/Applications/Dropbox.app", true},
                                 {"Updater", "/Library/Helpers/Updater.app/Contents/MacOS/updater", false}},
                                std::nullopt});
    model.toggle(model.items().at(1));
    fake.switches.finish(0, {false, "Operation not permitted while System Integrity Protection is engaged"});
    settle();
    host.keep("apps-startup-lists");
    host.list().verticalScrollBar()->setValue(host.list().verticalScrollBar()->maximum());
    host.keep("apps-startup-launch-services");
    for (int job = 0; job < 4; ++job)
        EXPECT_TRUE(host.list().rectOf({Kind::jobCard, job}).intersects(host.list().viewport()->rect())) << job;

    const QStringList texts = host.texts();
    const QStringList expected = {
        "OPEN AT LOGIN", "Sticky Notes", "Quelto", "BACKGROUND APP ACTIVITY", "Dropbox", "On", "Updater", "Off",
        "LAUNCH SERVICES", "Notes", "You", "running", "example.backup", "You",
        "Operation not permitted while System Integrity Protection is engaged", "printing.queue", "All users",
        "running", "vendor.daemon", "System"};
    qsizetype at = 0;
    for (const QString& text : expected) {
        const qsizetype found = texts.indexOf(text, at);
        EXPECT_NE(found, -1) << text.toStdString();
        if (found >= 0) at = found + 1;
    }
    EXPECT_EQ(indexOf(texts, "Reading this list needs your password once."), -1);
    EXPECT_EQ(indexOf(texts, "No apps are running in the background."), -1);

    // The lock only on the system row; "Remove" only for the user's own.
    for (int job = 0; job < 4; ++job) {
        const bool system = model.items().at(size_t(job)).scope == Scope::system;
        const bool user = model.items().at(size_t(job)).scope == Scope::user;
        EXPECT_EQ(host.list().rectOf({Kind::jobLock, job}).isEmpty(), !system) << job;
        const QStringList menu = user ? QStringList{"Show in Finder", "", "Remove"} : QStringList{"Show in Finder"};
        EXPECT_EQ(menuTexts(host.list().contextMenu(job, nullptr)), menu) << job;
    }
    const QPoint lock = host.list().rectOf({Kind::jobLock, 3}).center();
    EXPECT_EQ(host.list().toolTipAt(lock), "Asks for your password");
    const QPoint card = host.list().rectOf({Kind::jobCard, 2}).topLeft() + QPoint(200, 5);
    EXPECT_EQ(host.list().toolTipAt(card), "<p style='white-space:pre'>/usr/libexec/org.printing.queue</p>");
}

TEST(StartupView, TheSwitchShowsOnlyWhatTheModelHolds) {
    qttest::SteppedAnimations animations;
    Services fake;
    StartupModel model(fake.make());
    Host host(model);
    settle();
    fake.loads.finish(0, {job("com.vendor.daemon", Scope::system, false)});
    fake.logins.finish(0, {});
    settle();

    host.click({Kind::jobSwitch, 0});
    host.click({Kind::jobSwitch, 0});  // while it switches: ignored
    ASSERT_EQ(fake.switched.size(), 1u);
    EXPECT_TRUE(fake.switched[0].second);
    fake.switches.finish(0, {false, "execution error: User canceled. (-128)"});
    settle();
    EXPECT_EQ(host.list().knob(0), 0.0);
    EXPECT_NE(host.texts().indexOf("Password prompt cancelled"), -1);

    host.click({Kind::jobSwitch, 0});
    fake.switches.finish(1, {true, ""});
    settle();
    animations.step(80);
    EXPECT_GT(host.list().knob(0), 0.0);
    EXPECT_LT(host.list().knob(0), 1.0);
    animations.step(200);
    EXPECT_EQ(host.list().knob(0), 1.0);
    EXPECT_EQ(host.texts().indexOf("Password prompt cancelled"), -1);
}

TEST(StartupView, RowActionsReachTheModelAndTheFileManager) {
    Services fake;
    StartupModel model(fake.make());
    Host host(model);
    std::vector<fs::path> revealed;
    host.list().reveal = [&](const fs::path& p) { revealed.push_back(p); };
    settle();
    fake.loads.finish(0, {job("com.me.agent", Scope::user, true)});
    fake.logins.finish(0, {{{"Chat", "/c.desktop"}}, std::nullopt});
    settle();

    QMenu* menu = host.list().contextMenu(0, nullptr);
    menu->actions().at(0)->trigger();
    menu->actions().at(2)->trigger();
    delete menu;
    EXPECT_EQ(revealed, std::vector<fs::path>{"/fixture/com.me.agent.plist"});
    ASSERT_EQ(fake.removals.count(), 1u);
    fake.removals.finish(0, true);
    settle();
    EXPECT_NE(indexOf(host.texts(), "No launch services."), -1);

    host.click({Kind::removeLogin, 0});
    fake.loginRemovals.finish(0, false);
    settle();
    EXPECT_EQ(fake.loginRemoved, std::vector<std::string>{"Chat"});
    EXPECT_NE(indexOf(host.texts(), "macOS didn't let Quelto remove Chat."), -1);

    // The background card: "Show" once, then the empty line and no card after an empty read.
    host.click({Kind::showBackground});
    host.click({Kind::showBackground});
    EXPECT_EQ(fake.backgrounds.count(), 1u);
    fake.backgrounds.finish(0, {});
    settle();
    EXPECT_NE(indexOf(host.texts(), "No apps are running in the background."), -1);
    EXPECT_TRUE(host.list().rectOf({Kind::showBackground}).isEmpty());
}

TEST(StartupView, TwentyThousandJobsDrawOnlyWhatShows) {
    Services fake;
    StartupModel model(fake.make());
    Host host(model);
    settle();
    std::vector<Item> many;
    for (int i = 0; i < 20000; ++i) many.push_back(job("com.example.job" + std::to_string(i), Scope::user, i % 2));
    fake.loads.finish(0, std::move(many));
    fake.logins.finish(0, {});
    settle();
    host.list().verticalScrollBar()->setValue(host.list().verticalScrollBar()->maximum() / 2);
    host.list().viewport()->repaint();
    EXPECT_GT(host.list().rowsPainted(), 3);
    EXPECT_LT(host.list().rowsPainted(), 20);
    const Target middle = host.list().targetAt(host.list().viewport()->rect().center());
    EXPECT_EQ(middle.kind, Kind::jobCard);
    EXPECT_NEAR(middle.index, 10000, 20);
}
