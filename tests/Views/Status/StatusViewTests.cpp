// The Status tab on fixture machines and on this one: pictures with what they must
// show, the watcher count through every way of leaving the tab, and the processes
// card's pins, sorting and explanations.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include "Core/Clean/Shell.h"
#include "Models/Kit/MotionPause.h"
#include "Support/TrayHarness.h"
#include "Support/SteppedAnimations.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Kit/AdaptiveGrid.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/Kit/SubTabs.h"
#include "Views/Kit/Theme.h"
#include "Views/Status/FanControlCard.h"
#include "Views/Status/FullDiskAccessBanner.h"
#include "Views/Status/MetricViews.h"
#include "Views/Status/ProcessesCard.h"
#include "Views/Status/StatusScene.h"
#include "Views/Status/StatusTexts.h"
#include "Views/Status/StatusView.h"
#include "Views/TestSupport.h"
#include "Views/Window/MainWindow.h"

using StatusCards::Metric;

namespace {

// The main window's content on the Status tab.
struct ShownStatus {
    qttest::SteppedAnimations animations;
    ContentView view;
    ShownStatus(AppState& state, Preferences& prefs, FakeLoginItem& login)
        : view((state.setTab(AppTab::status), state), prefs, login) {
        view.resize(1000, 680);
        view.show();
    }
    explicit ShownStatus(StatusScene& scene) : ShownStatus(*scene.state, *scene.prefs, scene.login) {}
    StatusView* status() const { return qobject_cast<StatusView*>(view.screens()->screen()); }
    void shoot(const QString& name) {
        animations.step(2000);  // the meters have sprung to their readings
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        EXPECT_TRUE(keepScreenshot(view.grab().toImage().convertToFormat(QImage::Format_RGB32), name));
    }
};

QStringList names(const std::vector<Processes::Info>& rows) {
    QStringList out;
    for (const auto& p : rows) out << QString::fromStdString(p.name);
    return out;
}

}  // namespace

TEST(StatusTab, FixtureWithBatteryAccessoriesAndTwoFans) {
    StatusScene scene({.battery = true, .accessories = 3, .fans = 2});
    scene.state->setHasFullDiskAccess(true);
    ShownStatus shown(scene);
    scene.warmUp();
    StatusView* status = shown.status();
    ASSERT_NE(status, nullptr);
    shown.shoot("status-fixture-fans");

    EXPECT_FALSE(status->banner()->isVisible());
    EXPECT_FALSE(status->metricCard(Metric::thermal)->isVisible());
    ASSERT_TRUE(status->fanCard()->isVisible());
    EXPECT_EQ(status->fanCard()->titleLabel()->text(), "Fans");
    EXPECT_EQ(status->fanCard()->loadText(), "Load 43%");  // 2212 of 5200 rpm
    EXPECT_EQ(status->fanCard()->speed()->text(0), "2212");

    BatteryCard* battery = status->batteryCard();
    ASSERT_TRUE(battery->isVisible());
    EXPECT_EQ(battery->charge()->text(0), "82");
    EXPECT_EQ(battery->charge()->text(2), "Charging · 96W");
    EXPECT_EQ(battery->healthChip(), std::optional<QString>("92% health"));
    EXPECT_EQ(battery->footerText(), "812 cycles · 31°C");
    QStringList symbols;
    for (const Ring* r : battery->rings()) symbols << r->symbol();
    EXPECT_EQ(symbols, QStringList({"keyboard", "magicmouse", "rectangle.and.hand.point.up.left"}));
    EXPECT_EQ(battery->rings()[2]->toolTip(), "Magic Trackpad: 15%");
    EXPECT_FALSE(battery->meter()->isVisible());

    HealthCard* health = status->healthCard();
    EXPECT_EQ(health->chips()->texts(), QStringList({"AMD Ryzen 7 7840U w/ Radeon 780M Graphics", "16 GB", "Debian 12"}));
    EXPECT_EQ(health->uptimeText(), "up 3d 5h");
    EXPECT_FALSE(health->hole()->animated());
    EXPECT_EQ(status->metricCard(Metric::gpu)->valueView()->value(), "12");

    // Health, CPU, GPU, memory / battery, disk, network, fans: four to a row.
    EXPECT_EQ(status->grid()->columns(), 4);
    EXPECT_EQ(status->healthCard()->y(), status->metricCard(Metric::memory)->y());
    EXPECT_EQ(battery->y(), status->fanCard()->y());
    EXPECT_GT(battery->y(), health->y());
}

TEST(StatusTab, FixtureWithoutFansShowsTheThermalCardAndTheAccessBanner) {
    StatusScene scene({});
    scene.state->setHasFullDiskAccess(false);
    ShownStatus shown(scene);
    scene.warmUp();
    StatusView* status = shown.status();
    ASSERT_NE(status, nullptr);
    shown.shoot("status-fixture-thermal");

    ASSERT_TRUE(status->banner()->isVisible());
    EXPECT_EQ(status->banner()->title()->text(), "Full Disk Access is off");
    EXPECT_FALSE(status->fanCard()->isVisible());
    EXPECT_FALSE(status->batteryCard()->isVisible());
    MetricCard* thermal = status->metricCard(Metric::thermal);
    ASSERT_TRUE(thermal->isVisible());
    EXPECT_EQ(thermal->valueView()->value(), "52");
    EXPECT_EQ(thermal->footer(), "GPU 47°C");
    // The banner lies above the grid; granting access drops it.
    EXPECT_LT(status->banner()->y(), status->healthCard()->parentWidget()->y());
    scene.state->setHasFullDiskAccess(true);
    QCoreApplication::processEvents();
    EXPECT_FALSE(status->banner()->isVisible());
}

TEST(StatusTab, ThisMachineLive) {
    Fixture f;  // the machine's own sensors and the `top` stand-in
    ShownStatus shown(*f.state, *f.prefs, *f.login);
    const Monitor& monitor = f.state->monitor();
    ASSERT_TRUE(StatusScene::settled(monitor));
    QTest::qWait(100);
    StatusView* status = shown.status();
    ASSERT_NE(status, nullptr);
    status->refresh();
    shown.shoot("status-live");

    EXPECT_FALSE(status->banner()->isVisible()) << "no Full Disk Access to ask for here";
    EXPECT_EQ(status->fanCard()->isVisible(), !monitor.fans().empty());
    EXPECT_EQ(status->metricCard(Metric::thermal)->isVisible(), monitor.fans().empty());
    EXPECT_EQ(status->batteryCard()->isVisible(), monitor.battery().has_value());
    EXPECT_EQ(status->healthCard()->chips()->texts().value(2), StatusFormat::system(Sensors::osVersion()));
    EXPECT_TRUE(status->healthCard()->uptimeText().startsWith("up "));
    for (Metric m : StatusCards::metricCards) {
        const QString value = status->metricCard(m)->valueView()->value();
        EXPECT_FALSE(value.isEmpty() || value.contains("nan")) << value.toStdString();
    }
}

// At the window's default and smallest sizes, and wide enough for seven narrow cards to
// a row, the word is whole and clear of the hole's disk (which reaches past its box);
// beside the score where there is room.
TEST(StatusTab, HealthCardShowsTheScoreAndItsWordWholeBesideTheBlackHole) {
    const std::pair<QSize, bool> windows[] = {{{1000, 680}, false}, {{860, 600}, true}, {{1600, 680}, false}};
    for (const auto& [window, oneLine] : windows) {
        const std::string at = std::to_string(window.width()) + "x" + std::to_string(window.height());
        StatusScene scene({});
        scene.state->setHasFullDiskAccess(true);
        ShownStatus shown(scene);
        shown.view.resize(window);
        scene.warmUp();
        shown.shoot(QString::fromStdString("status-health-" + at));
        const HealthCard* health = shown.status()->healthCard();
        const BaselineTexts* score = health->score();
        const auto placed = score->place(score->width());
        ASSERT_EQ(placed.size(), 2) << at;
        EXPECT_EQ(placed[1].text, "Excellent") << at;
        EXPECT_EQ(placed[0].baseline == placed[1].baseline, oneLine) << at;
        const BlackHole* hole = health->hole();
        const double disk = QRectF(hole->geometry()).center().x() + hole->layerBounds(hole->shownFrame()).left();
        const QRectF inside = QRectF(health->rect()).marginsRemoved(QMarginsF(16, 16, 16, 16));
        for (const auto& part : placed) {
            const QRectF r = part.rect.translated(score->mapTo(health, QPoint()));
            EXPECT_TRUE(QRectF(score->rect()).contains(part.rect) && inside.contains(r) && r.right() <= disk)
                << part.text.toStdString() << " at " << at;
        }
    }
}

TEST(StatusTab, MetricCardChipsShowWholeAtEveryWindowWidth) {
    StatusScene scene({});
    scene.state->setHasFullDiskAccess(true);
    // The page spans the window's width; without the window's sky each width lays out quickly.
    StatusView status(*scene.state, *scene.prefs);
    status.show();
    scene.warmUp();
    for (int width = 860; width <= 1800; width += 10) {
        status.resize(width, 620);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        for (Metric m : StatusCards::metricCards) {
            const MetricCard* card = status.metricCard(m);
            if (!card->isVisible() || !card->chip()) continue;
            const QRect chip = card->chip()->geometry();
            const std::string at = card->label()->displayedTitle().toStdString() + " at " + std::to_string(width);
            EXPECT_EQ(chip.width(), card->chip()->sizeHint().width()) << at;
            EXPECT_TRUE(card->rect().marginsRemoved(QMargins(16, 16, 16, 16)).contains(chip)) << at;
            EXPECT_FALSE(chip.intersects(card->label()->geometry())) << at;
        }
    }
}

TEST(StatusTab, ProcessesCardExplainsOneAtATimeAndPinsSortedByMemory) {
    StatusScene scene({});
    scene.state->setHasFullDiskAccess(true);
    ShownStatus shown(scene);
    scene.warmUp();
    ProcessesCard* card = shown.status()->processesCard();
    ProcessRows* list = card->list();
    shown.status()->verticalScrollBar()->setValue(shown.status()->verticalScrollBar()->maximum());
    // By CPU, "node" (row 1) and "Electron" (row 6) have explanations; firefox-esr (row 0) has none.
    EXPECT_TRUE(list->infoRect(0).isEmpty());
    ASSERT_FALSE(list->infoRect(6).isEmpty());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->infoRect(1).center());
    ASSERT_EQ(card->explaining(), std::optional<QString>("node"));
    ASSERT_NE(card->popover(), nullptr);
    EXPECT_TRUE(card->popover()->isVisible());
    EXPECT_TRUE(card->popover()->text().contains("Node.js"));
    // The picture: the page with the popover floating over it.
    shown.animations.step(2000);
    QImage picture = shown.view.grab().toImage();
    QPainter(&picture).drawPixmap(shown.view.mapFromGlobal(card->popover()->pos()), card->popover()->grab());
    ASSERT_TRUE(keepScreenshot(picture, "status-process-explanation"));

    // A press on another info button, as the open popover receives it, opens that one instead, beside its button.
    const QPoint electron = list->viewport()->mapToGlobal(list->infoRect(6).center());
    const auto press = [&](QPoint global) {
        QMouseEvent event(QEvent::MouseButtonPress, card->popover()->mapFromGlobal(QPointF(global)), QPointF(global),
                          Qt::LeftButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(card->popover(), &event);
        QCoreApplication::processEvents();
    };
    press(electron);
    EXPECT_EQ(card->explaining(), std::optional<QString>("Electron"));
    ASSERT_NE(card->popover(), nullptr);
    EXPECT_TRUE(card->popover()->text().contains("Electron"));
    int open = 0;
    for (auto* p : card->findChildren<ExplanationPopover*>()) open += p->isVisible();
    EXPECT_EQ(open, 1);
    const QRect panel = card->popover()->geometry();
    EXPECT_LE(std::min(std::abs(panel.top() - electron.y()), std::abs(panel.bottom() - electron.y())), 20);
    // Its own button closes it; so does a press anywhere else.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->infoRect(6).center());
    EXPECT_EQ(card->explaining(), std::nullopt);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->infoRect(1).center());
    press(card->popover()->mapToGlobal(QPoint(-40, -40)));
    EXPECT_EQ(card->explaining(), std::nullopt);

    scene.prefs->setPinnedProcesses({"postgres", "node", "launchd"});  // launchd runs nowhere here
    SubTabs* tabs = card->sortTabs();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->itemRect(1).center().toPoint());
    ASSERT_EQ(card->sort(), ProcessesCard::Sort::memory);
    shown.status()->verticalScrollBar()->setValue(shown.status()->verticalScrollBar()->maximum());
    shown.shoot("status-processes-pinned-memory");
    // Both processes named node and postgres first, by memory among themselves; then the rest.
    EXPECT_EQ(names(card->rows()).mid(0, 5), QStringList({"node", "postgres", "node", "firefox-esr", "code"}));
    EXPECT_EQ(card->rows().size(), size_t(ProcessesCard::maxRows));
    EXPECT_EQ(ProcessRows::columnTexts(card->rows()[0]), (std::array<QString, 3>{"21.7%", "412 MB", "0.0"}));

    // Unpinning a name takes it out of the stored list everywhere, and the next launch reads that.
    scene.prefs->setPinnedProcesses({"node", "postgres", "node"});
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->pinRect(0).center());
    EXPECT_EQ(scene.prefs->pinnedProcesses(), QStringList({"postgres"}));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->pinRect(1).center());  // firefox-esr after postgres
    EXPECT_EQ(names(card->rows()).mid(0, 2), QStringList({"firefox-esr", "postgres"}));
    scene.defaults->reload();
    EXPECT_EQ(Preferences(*scene.defaults).pinnedProcesses(), QStringList({"postgres", "firefox-esr"}));
}

// Each way of leaving the tab ends the detailed sampling: the count goes back, and
// `top` is not run again while nobody looks.
void watchersFollowTheTab() {
    qttest::SteppedAnimations animations;
    StatusScene scene({});
    MainWindow window(*scene.state, *scene.prefs);
    Monitor& monitor = scene.state->monitor();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ContentView* content = window.content();
    const auto runsAfterAMinute = [&] {
        StatusScene::settled(monitor);
        const int before = scene.topRuns();
        for (int i = 0; i < 30; ++i) {
            scene.tick(0.3, 1000);
            qttest::until([&] { return !monitor.samplingProcesses(); });
        }
        return scene.topRuns() - before;
    };
    EXPECT_EQ(monitor.processWatchers(), 0);

    const std::tuple<const char*, std::function<void()>, int> steps[] = {  // the step, and the count after it
        {"tab chosen, with its transition", [&] { content->chooseTab(AppTab::status); animations.step(1500); }, 1},
        {"another tab", [&] { content->chooseTab(AppTab::clean); animations.step(1500); }, 0},
        {"back", [&] { content->chooseTab(AppTab::status); animations.step(1500); }, 1},
        {"settings over it", [&] { scene.state->setShowSettings(true); }, 0},
        {"settings closed", [&] { scene.state->setShowSettings(false); }, 1},
        {"window hidden", [&] { window.hide(); }, 0},
        {"window shown", [&] { window.show(); }, 1},
        {"window minimised", [&] { window.showMinimized(); }, 0},
        {"window restored", [&] { window.showNormal(); }, 1},
        {"window closed", [&] { window.close(); }, 0},
        {"window opened again", [&] { window.show(); }, 1},
    };
    for (const auto& [name, act, watchers] : steps) {
        SCOPED_TRACE(name);
        act();
        // An X server answers in its own time; then nothing may move the count further.
        EXPECT_TRUE(QTest::qWaitFor([&, watchers = watchers] { return monitor.processWatchers() == watchers; }, 5000));
        QTest::qWait(50);
        EXPECT_EQ(monitor.processWatchers(), watchers);
        if (watchers == 0) {
            EXPECT_EQ(runsAfterAMinute(), 0);
        }
    }
    EXPECT_GE(runsAfterAMinute(), 6);  // one every eight seconds while watched
    window.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return monitor.processWatchers() == 0; }, 5000));
    MotionPause::shared().setHidden(false);
}

TEST(StatusTab, CountsAsOneWatcherWhileOnScreen) { watchersFollowTheTab(); }

// The same on a real X server, where minimising is the server's business: this
// binary runs the test again on a private one.
TEST(StatusTab, CountsAsOneWatcherWhileOnScreenUnderX) {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        watchersFollowTheTab();
        return;
    }
    trayharness::XServer x;
    ASSERT_TRUE(x.ok()) << "Xvfb did not start";
    testtree::ScopedEnv display("QUELTO_TEST_X_DISPLAY", x.display());
    const auto run = Shell::run(QUELTO_BIN_DIR "/QueltoViewsTests",
                                {"--gtest_filter=StatusTab.CountsAsOneWatcherWhileOnScreenUnderX"}, 240);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;
}
