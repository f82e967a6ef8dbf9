#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/FakeHome.h"
#include "Core/Clean/History.h"
#include "Core/Clean/Shell.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Clean/SwallowFeed.h"
#include "Models/MenuBar/QuickClean.h"
#include "Models/Status/Monitor.h"
#include "Platform/Gui/StatusButton.h"
#include "Support/SteppedAnimations.h"
#include "Support/TrayHarness.h"
#include "Views/Kit/Controls.h"
#include "Views/MenuBar/CleaningTotals.h"
#include "Views/MenuBar/GlassPanel.h"
#include "Views/MenuBar/MenuBarImage.h"
#include "Views/MenuBar/MenuBarPanel.h"
#include "Views/MenuBar/PanelCard.h"
#include "Views/MenuBar/PanelCards.h"
#include "Views/MenuBar/PanelSections.h"
#include "Views/MenuBar/QuickCleanCard.h"
#include "Views/MenuBar/StatusItemController.h"
#include "Views/Status/MetricViews.h"
#include "Views/Status/StatusFormat.h"
#include "Views/Status/StatusScene.h"
#include "Views/Status/StatusTexts.h"
#include "Views/TestSupport.h"

namespace {
const QRect topTray(1200, 0, 22, 22), bottomTray(1200, 778, 22, 22), middle(600, 0, 22, 22);

// A tray button (under the middle of the screen unless told): always there, clicked by the test.
struct FakeButton : Platform::StatusButton {
    QRect frame = middle;
    bool told = true;  // else `frame` is a square at the pointer, as on a StatusNotifierItem host
    bool isAvailable() const override { return true; }
    void setIcon(const QIcon&) override {}
    void setToolTip(const QString&) override {}
    void setMenu(QMenu*) override {}
    QRect geometry() const override { return told ? frame : QRect(); }
    void showMessage(const QString&, const QString&) override {}
    void click() { emit activated(frame); }
};

QString bytes(int64_t n) { return toQString(formattedBytes(n)); }

// The panel over a scene's state, shown on its own as the glass panel shows it.
struct ShownPanel {
    qttest::SteppedAnimations animations;
    MenuBarPanel panel;
    ShownPanel(AppState& state, Preferences& prefs) : panel(state, prefs, {}) {
        panel.resize(panel.sizeHint());
        panel.show();
    }
    QImage shoot(const QString& name) {
        animations.step(2000);  // meters and texts have sprung into place
        panel.refreshNow();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        panel.resize(panel.sizeHint());
        QCoreApplication::processEvents();  // the scroll bar goes once the column fits
        QImage image(panel.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        panel.render(&image);
        EXPECT_TRUE(keepScreenshot(image, name));
        return image;
    }
};
}  // namespace

// Centred 6 below the button (above a bottom tray), 8 inside the screen's free area,
// cut to the room beside the button; unmeasured content gets 320 x 480.
TEST(GlassPanel, StaysInsideTheScreenByTheButton) {
    struct Case {
        const char* name;
        QSize fitting;
        QRect button, expected;
    };
    const Case cases[] = {
        {"unmeasured", {0, 0}, middle, {451, 28, 320, 480}},
        {"unmeasured but tall", {50, 600}, middle, {451, 28, 320, 600}},
        {"measured short", {340, 300}, middle, {441, 28, 340, 300}},
        {"kept inside on the right", {340, 600}, topTray, {932, 28, 340, 600}},
        {"kept inside on the left", {340, 600}, {0, 0, 22, 22}, {8, 28, 340, 600}},
        {"above a bottom tray", {340, 600}, bottomTray, {932, 172, 340, 600}},
        {"taller than the screen", {340, 1200}, topTray, {932, 28, 340, 764}},
        {"taller, above a bottom tray", {340, 1200}, bottomTray, {932, 8, 340, 764}},
        {"cut to the room below", {340, 780}, {600, 100, 22, 22}, {441, 128, 340, 664}},
        {"button above the free area", {340, 1200}, {600, -30, 22, 22}, {441, 8, 340, 784}},
        {"wider than the screen", {1400, 300}, topTray, {-128, 28, 1400, 300}},
        // By the pointer, where the tray tells no place: the side with room for all of it.
        {"pointer low, room above", {340, 700}, {600, 740, 22, 22}, {441, 34, 340, 700}},
        {"pointer high, room below", {340, 700}, {600, 40, 22, 22}, {441, 68, 340, 700}},
        {"pointer just below the middle, room on neither side", {340, 700}, {600, 391, 22, 22}, {441, 8, 340, 377}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GlassPanel::place(c.fitting, c.button, QRect(0, 0, 1280, 800)), c.expected) << c.name;
}

// A click outside closes the panel. On another window of ours it goes on to that
// window; on the tray's icon (under an XEmbed tray, a window of ours too) it goes no
// further, so that it does not open the panel again. Where the tray tells no icon
// frame, the place the panel opened by holds back no click.
TEST(GlassPanel, AClickOutsideClosesItAndGoesOnToOurOtherWindows) {
    Fixture f;
    auto* button = new FakeButton;
    StatusItemController item(*f.state, *f.prefs, button);
    GlassPanel& panel = item.panel();
    struct Icon : QWidget {
        FakeButton* button;
        void mousePressEvent(QMouseEvent*) override { button->click(); }
    } icon;
    icon.button = button;
    icon.setGeometry(middle);
    icon.show();
    QWidget window;
    window.setGeometry(20, 400, 300, 200);
    auto* push = new QPushButton("Go", &window);
    push->setGeometry(10, 10, 100, 30);
    window.show();
    int pushed = 0;
    QObject::connect(push, &QPushButton::clicked, [&] { ++pushed; });

    struct Case {
        const char* name;
        QWidget* on;
        QPoint at;
        bool stillOpen;
        int pushed;
        bool told = true;
    };
    const Case cases[] = {
        {"inside the panel", &panel, {170, 30}, true, 0},
        {"on a button of our window", &window, {20, 20}, false, 1},
        {"on a bare part of our window", &window, {200, 150}, false, 0},
        {"on the tray icon", &icon, {11, 11}, false, 0},
        {"on a button of our window, where the panel opened by the pointer", &window, {20, 20}, false, 1, false},
    };
    for (const Case& c : cases) {
        button->told = c.told;
        button->frame = c.told ? middle : QRect(c.on->mapToGlobal(c.at) - QPoint(11, 11), QSize(22, 22));
        if (panel.isVisible() && !c.told) button->click();  // opened again, by the pointer
        if (!panel.isVisible()) button->click();
        ASSERT_TRUE(panel.isVisible());
        pushed = 0;
        // As a hand clicks: the release comes once the press has been dealt with.
        QTest::mousePress(c.on->windowHandle(), Qt::LeftButton, {}, c.at);
        QCoreApplication::processEvents();
        QTest::mouseRelease(c.on->windowHandle(), Qt::LeftButton, {}, c.at);
        QCoreApplication::processEvents();
        EXPECT_EQ(panel.isVisible(), c.stillOpen) << c.name;
        EXPECT_EQ(pushed, c.pushed) << c.name;
    }
}

// The panel follows its content: a section that comes after it opened (the battery
// and accessories of the first full readings) grows it, one that goes shrinks it,
// every section fits its width, and it never scrolls while the screen holds it all.
// On a private X server tall enough for the whole panel: this binary runs it there.
TEST(GlassPanel, FollowsItsContentUnderX) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        trayharness::XServer x({1280, 1200});
        ASSERT_TRUE(x.ok()) << "Xvfb did not start";
        testtree::ScopedEnv display("QUELTO_TEST_X_DISPLAY", x.display());
        const auto run = Shell::run(QUELTO_BIN_DIR "/QueltoViewsTests", {"--gtest_filter=GlassPanel.FollowsItsContentUnderX"}, 240);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;
        return;
    }
    StatusScene scene({});
    auto* button = new FakeButton;
    button->frame = topTray;
    StatusItemController item(*scene.state, *scene.prefs, button);
    GlassPanel& panel = item.panel();
    button->click();
    auto* content = static_cast<MenuBarPanel*>(panel.content());
    ASSERT_TRUE(StatusScene::settled(scene.state->monitor()));

    struct Step {
        const char* name;
        void (*change)(StatusScene&);
        bool battery;
        int rings;
        int grows;  // 1 taller, -1 shorter, 0 either
    };
    const Step steps[] = {
        {"first full readings", [](StatusScene&) {}, false, 0, 0},
        {"a battery on its charger comes", [](StatusScene& s) { s.addBattery(); }, true, 0, 1},
        {"three accessories come", [](StatusScene& s) { s.addAccessories(3); }, true, 3, 1},
        {"all of them go", [](StatusScene& s) { s.removePowerSupplies(); }, false, 0, -1},
    };
    int height = panel.height();
    for (const Step& step : steps) {
        step.change(scene);
        for (int i = 0; i < 5; ++i) scene.tick(0.3, 1000);  // the power supplies are read every fifth
        // The layouts settle from the inside out, one posted request a level.
        for (int i = 0; i < 10; ++i) QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        PanelBattery* battery = content->battery();
        EXPECT_TRUE(qttest::until([&] {
            return battery->isVisible() == step.battery && battery->rings().size() == step.rings &&
                   panel.height() == content->sizeHint().height();
        })) << step.name << ": " << panel.height() << " for " << content->sizeHint().height();
        if (step.grows) {
            EXPECT_EQ(panel.height() > height ? 1 : -1, step.grows) << step.name;
        }
        height = panel.height();
        EXPECT_EQ(panel.geometry(), QRect(932, 28, 340, height)) << step.name;
        QCoreApplication::processEvents();
        EXPECT_FALSE(content->scrollArea()->verticalScrollBar()->isVisible()) << step.name;
        EXPECT_LE(content->scrollArea()->widget()->minimumSizeHint().width(), MenuBarPanel::width) << step.name;
        EXPECT_EQ(content->scrollArea()->widget()->width(), MenuBarPanel::width) << step.name;
    }
}

// A tray that shows no icon of ours is no reason to keep running once the window
// closes: the button counts as there only once its glyph shows, and says so then,
// once. On a private X server and session bus with a tray: this binary runs it there.
TEST(TrayStatusButton, CountsAsThereOnlyOnceATrayShowsItsIcon) {
    namespace th = trayharness;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        if (!th::onPath("status-notifier-watcher")) GTEST_SKIP() << "needs haskell-status-notifier-item-utils";
        th::XServer x;
        ASSERT_TRUE(x.ok()) << "Xvfb did not start";
        th::SessionBus bus;
        th::SniTray tray(bus);
        ASSERT_TRUE(tray.ok());
        testtree::ScopedEnv display("QUELTO_TEST_X_DISPLAY", x.display());
        testtree::ScopedEnv session("DBUS_SESSION_BUS_ADDRESS", bus.address());
        const auto run = Shell::run(QUELTO_BIN_DIR "/QueltoViewsTests", {"--gtest_filter=TrayStatusButton.*"}, 120);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;
        EXPECT_EQ(tray.items().size(), 0u) << "the item outlived its button";
        return;
    }
    Platform::TrayStatusButton button;
    std::vector<bool> said;
    QObject::connect(&button, &Platform::StatusButton::availableChanged, [&](bool on) { said.push_back(on); });
    struct Step {
        const char* name;
        QIcon icon;
        bool available;
        std::vector<bool> said;
    };
    const Step steps[] = {
        {"no glyph yet", QIcon(), false, {}},
        {"a null glyph", QIcon(), false, {}},
        {"the glyph", QIcon(MenuBarImage::glyph(1.0)), true, {true}},
        {"the next frame", QIcon(MenuBarImage::glyph(0.5)), true, {true}},
    };
    for (const Step& step : steps) {
        if (&step != steps) button.setIcon(step.icon);
        QCoreApplication::processEvents();
        EXPECT_EQ(button.isAvailable(), step.available) << step.name;
        EXPECT_EQ(said, step.said) << step.name;
    }
}

// One watcher of the monitor while shown and none once hidden, however it closes; its
// own buttons close it from inside their click, and its content goes each time. Taller
// than this screen, it is cut to it and scrolls to the totals at its foot.
TEST(GlassPanel, CountsAsOneWatcherWhileShownAndClosesSafelyFromInside) {
    Fixture f;
    auto* button = new FakeButton;
    StatusItemController item(*f.state, *f.prefs, button);
    GlassPanel& panel = item.panel();
    QWidget elsewhere;  // another window of ours
    elsewhere.setGeometry(20, 400, 200, 200);
    elsewhere.show();
    const Monitor& monitor = f.state->monitor();
    int opened = 0;
    f.state->openMainWindow = [&] { ++opened; };
    for (int i = 0; i < 12; ++i) {
        button->click();
        auto* content = static_cast<MenuBarPanel*>(panel.content());
        ASSERT_TRUE(content);
        EXPECT_EQ(monitor.processWatchers(), 1);
        if (i == 0) {
            EXPECT_EQ(panel.geometry().bottom(), panel.screen()->availableGeometry().bottom() - GlassPanel::margin);
            QScrollBar* bar = content->scrollArea()->verticalScrollBar();
            bar->setValue(bar->maximum());
            QCoreApplication::processEvents();
            EXPECT_FALSE(content->totals()->visibleRegion().isEmpty());
        }
        QPointer<QWidget> alive(content);
        switch (i % 4) {
            case 0: content->openButton()->click(); break;
            case 1: content->settingsButton()->click(); break;
            case 2: QTest::mouseClick(elsewhere.windowHandle(), Qt::LeftButton, {}, QPoint(10, 10)); break;
            default: button->click(); break;
        }
        EXPECT_FALSE(panel.isVisible());
        EXPECT_EQ(monitor.processWatchers(), 0) << "a hidden panel still counted";
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(alive) << "the content outlived its showing";
    }
    EXPECT_EQ(opened, 6);
}

// A broken sensor can hand over anything: what is not a number shows as a dash, and
// nothing is converted out of its range.
TEST(MenuBarImage, ValuesTruncateRoundOrShowADash) {
    using MenuBarImage::Readings;
    using M = MenuBarMetric;
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        M metric;
        void (*set)(Readings&);
        const char* text;
    };
    const Case cases[] = {
        {"cpu truncates", M::cpu, [](Readings& r) { r.cpu = 0.999; }, "99%"},
        {"cpu not a number", M::cpu, [](Readings& r) { r.cpu = std::nan(""); }, "—"},
        {"cpu huge", M::cpu, [](Readings& r) { r.cpu = 1e300; }, "1000000000000000%"},
        {"gpu absent", M::gpu, [](Readings&) {}, "—"},
        {"gpu infinite", M::gpu, [](Readings& r) { r.gpu = -inf; }, "—"},
        {"memory of no total", M::memory, [](Readings& r) { r.memory = {0, 0, 0, 0}; }, "0%"},
        {"temperature rounds", M::temperature, [](Readings& r) { r.cpuTemp = 47.5; }, "48°"},
        {"temperature not a number", M::temperature, [](Readings& r) { r.cpuTemp = std::nan(""); }, "—"},
        {"network", M::network, [](Readings& r) { r.download = 2048, r.upload = 1572864; }, "↓2K ↑1.5M"},
        {"network edges", M::network, [](Readings& r) { r.download = 1048575, r.upload = 1023.9; }, "↓1023K ↑0K"},
        {"network broken", M::network, [](Readings& r) { r.download = std::nan(""), r.upload = -inf; }, "↓0K ↑0K"},
        {"battery absent", M::battery, [](Readings&) {}, "—"},
    };
    for (const Case& c : cases) {
        Readings r;
        c.set(r);
        EXPECT_EQ(MenuBarImage::value(c.metric, r), QString::fromUtf8(c.text)) << c.name;
    }
}

// Tune-ups free nothing; every other entry adds its bytes, a negative count nothing,
// and the sum stops at the largest count rather than wrapping.
TEST(CleaningTotals, SumsTheHistoryByKind) {
    constexpr int64_t big = std::numeric_limits<int64_t>::max();
    const auto entry = [](const char* action, int64_t bytes) {
        return History::Entry{History::newIdentifier(), {}, action, 1, bytes, {}};
    };
    const std::pair<std::vector<History::Entry>, CleaningTotals::Totals> rows[] = {
        {{}, {0, 0, 0}},
        {{entry("clean", 100), entry("optimize", 7000), entry("uninstall", 20), entry("ai", 3), entry("optimize", 0),
          entry("analyze", 4), entry("purge", 5), entry("installers", 6)},
         {138, 1, 2}},
        {{entry("clean", big), entry("uninstall", big), entry("clean", 1)}, {big, 1, 0}},
        {{entry("clean", -50), entry("clean", 80)}, {80, 0, 0}},
    };
    for (const auto& [entries, totals] : rows) EXPECT_EQ(CleaningTotals::sum(entries), totals) << entries.size();
}

// The heat card for every kind of reading: a temperature that is not a number shows
// as missing, and the meter runs from 30 °C (empty) to 100 °C (full).
TEST(PanelCards, HeatFollowsTheTemperatureAndTheFirstFan) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        std::optional<double> temp;
        std::vector<FanReader::Fan> fans;
        const char* value;
        const char* chip;
        double meter;  // without fans
    };
    const Case cases[] = {
        {"below thirty is empty", 12.0, {}, "12", "Warm", 0.0},
        {"above a hundred is full", 130.0, {}, "130", "Warm", 1.0},
        {"half rounds away", 47.5, {}, "48", "Warm", 17.5 / 70},
        {"not a number as forty", std::nan(""), {}, "\u2014", "Warm", 1.0 / 7},
        {"first fan's load", 60.0, {{2212, 5200}, {900, 4000}}, "60", "Load 43%", 0},
        {"infinite", inf, {{inf, 5200}}, "\u2014", "Load 0%", 0},
    };
    for (const Case& c : cases) {
        StatusCards::Readings r;
        r.cpuTemp = c.temp;
        r.thermal = Sensors::ThermalState::fair;
        const auto shown = PanelCards::content(PanelCards::Card::heat, r, c.fans);
        EXPECT_EQ(shown.value, QString::fromUtf8(c.value)) << c.name;
        EXPECT_EQ(shown.chip, std::optional<QString>(QString::fromUtf8(c.chip))) << c.name;
        if (c.fans.empty()) {
            EXPECT_DOUBLE_EQ(shown.graph.fraction, c.meter) << c.name;
        }
    }
}

// The disk card reads used and its share as `df` does: the administrator's reserve is
// neither used nor free to the user.
TEST(PanelCards, DiskUseLeavesTheReserveOut) {
    StatusCards::Readings r;
    r.disk = {270'000'000'000, 80'000'000'000, 248'000'000'000};
    const auto shown = PanelCards::content(PanelCards::Card::disk, r, {});
    EXPECT_EQ(shown.footer, "22 GB used · 22%");
    EXPECT_DOUBLE_EQ(shown.graph.fraction, 22.0 / 102);
}

TEST(MenuBarPanel, FixtureWithBatteryAccessoriesAndAFan) {
    StatusScene scene({.battery = true, .accessories = 3, .fans = 1});
    ShownPanel shown(*scene.state, *scene.prefs);
    scene.warmUp();
    const QImage image = shown.shoot("panel-fixture");
    MenuBarPanel& panel = shown.panel;
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "the corners are not cut round";
    EXPECT_EQ(qAlpha(image.pixel(MenuBarPanel::width / 2, image.height() / 2)), 255);

    EXPECT_EQ(panel.header()->chips()->texts(),
              QStringList({"AMD Ryzen 7 7840U w/ Radeon 780M Graphics", "16 GB", "Debian 12", "up 3d"}));
    using C = PanelCards::Card;
    EXPECT_EQ(panel.card(C::cpu)->chipText(), std::optional<QString>("53°C"));
    EXPECT_EQ(panel.card(C::gpu)->footer(), "integrated");
    EXPECT_EQ(panel.card(C::network)->chipText(), std::optional<QString>("Wi-Fi"));
    PanelHeat* heat = panel.heat();
    EXPECT_EQ(heat->valueView()->value(), "53");  // 52.5 °C, half away from zero
    EXPECT_EQ(heat->chipText(), std::optional<QString>("Load 43%"));
    ASSERT_NE(heat->fanControls(), nullptr);
    EXPECT_EQ(heat->fanControls()->speedText(), "2212");

    PanelBattery* battery = panel.battery();
    ASSERT_TRUE(battery->isVisible());
    EXPECT_EQ(battery->chargeText(), "82%");
    EXPECT_EQ(battery->stateText(), "Charging  ⚡96W");
    EXPECT_EQ(battery->healthText(), std::optional<QString>("92% health"));
    QStringList symbols;
    for (const Ring* r : battery->rings()) symbols << r->symbol();
    EXPECT_EQ(symbols, QStringList({"keyboard", "magicmouse", "rectangle.and.hand.point.up.left"}));
    EXPECT_EQ(battery->rings()[0]->toolTip(), plainToolTip("Magic Keyboard: 71%"));
    EXPECT_EQ(battery->topEnergyText(), "");  // no energy figures on this system

    ASSERT_EQ(panel.processes()->rows().size(), 5u);
    EXPECT_EQ(panel.processes()->rows().front().name, "firefox-esr");
    EXPECT_EQ(panel.quickClean()->shownTitle(), "Safe caches");
    for (QWidget* w : std::initializer_list<QWidget*>{panel.openButton(), panel.cleanButton(), panel.settingsButton(),
                                                      panel.quitButton(), panel.totals()})
        EXPECT_TRUE(w->isVisible());
}

TEST(MenuBarPanel, ThisMachine) {
    Fixture f;  // the machine's own sensors and the `top` stand-in
    ShownPanel shown(*f.state, *f.prefs);
    const Monitor& monitor = f.state->monitor();
    ASSERT_TRUE(StatusScene::settled(monitor));
    shown.shoot("panel-live");
    MenuBarPanel& panel = shown.panel;
    EXPECT_EQ(panel.header()->chips()->texts().value(2), StatusFormat::system(Sensors::osVersion()));
    EXPECT_TRUE(panel.header()->chips()->texts().value(3).startsWith("up"));
    for (PanelCards::Card c : PanelCards::cards) {
        const QString value = panel.card(c)->valueView()->value();
        EXPECT_FALSE(value.isEmpty() || value.contains("nan")) << value.toStdString();
    }
    EXPECT_EQ(panel.heat()->fanControls() != nullptr, !monitor.fans().empty());
    EXPECT_EQ(panel.battery()->isVisible(), monitor.battery() || !monitor.accessories().empty());
    EXPECT_FALSE(panel.processes()->rows().empty());
}

// A quick clean from the panel over a fake home: the safe caches are offered and
// cleaned through the junk list's run, the Trash is left alone, and the totals show
// the bytes freed at once and at the panel's next showing. Pictures of ready, cleaning and done.
TEST(MenuBarPanel, AQuickCleanFromThePanel) {
    StatusScene scene({.battery = true, .accessories = 2, .fans = 1});
    fakehome::FakeHome h;  // after the scene: its stopped wall clock dates the findings
    cleantest::FakeAudio audio;
    h.folder(".npm/_cacache/index-v5", 300);
    h.folder(".cache/uv/wheels", 200);
    const auto npm = h / ".npm/_cacache", uv = h / ".cache/uv";
    const auto trashed = h.file(".local/share/Trash/files/old.bin", 40);
    h.bytes(".local/share/Trash/info/old.bin.trashinfo", 10);
    auto shown = std::make_unique<ShownPanel>(*scene.state, *scene.prefs);
    scene.warmUp();
    QuickCleanCard* card = shown->panel.quickClean();
    QuickClean& quick = scene.state->quickClean();
    const auto runUntil = [&](const std::function<bool()>& done) {
        return qttest::until([&] {
            if (!done()) scene.clocks.advance(0.05);
            return done();
        });
    };

    card->quickCleanButton()->click();
    ASSERT_TRUE(runUntil([&] { return quick.phase().kind == QuickClean::Phase::Kind::ready; }));
    const int64_t offered = quick.phase().bytes;
    EXPECT_EQ(offered, 500 * fakehome::kBlock);
    shown->shoot("panel-quick-clean-ready");
    EXPECT_EQ(card->shownTitle(), bytes(offered) + " to clean");
    EXPECT_EQ(card->shownDetail(), "2 safe caches");
    EXPECT_TRUE(card->cleanButton()->isVisible());
    EXPECT_TRUE(card->cancelButton()->isVisible());
    EXPECT_EQ(scene.state->junk().selection(), (CleanListModel::Selection{npm.string(), uv.string()}));

    card->cleanButton()->click();
    ASSERT_TRUE(runUntil([&] {
        const SwallowFeed* feed = scene.state->junk().feed();
        return feed && feed->remaining() > 0 && feed->remaining() < offered;
    }));
    shown->shoot("panel-quick-clean-cleaning");
    EXPECT_TRUE(card->shownTitle().endsWith(" to go")) << card->shownTitle().toStdString();
    EXPECT_EQ(card->shownDetail(), "Crossing the event horizon");
    EXPECT_TRUE(card->spinner()->isVisible());

    ASSERT_TRUE(runUntil([&] { return quick.phase().kind == QuickClean::Phase::Kind::done; }));
    const int64_t freed = quick.phase().bytes;
    // The open panel's totals count the clean at once.
    ASSERT_TRUE(qttest::until([&] { return shown->panel.totals()->totals().freed == freed; }));
    shown->shoot("panel-quick-clean-done");
    EXPECT_EQ(card->shownTitle(), bytes(freed) + " freed");
    EXPECT_EQ(card->shownDetail(), "Done");
    EXPECT_TRUE(card->detailsButton()->isVisible());
    EXPECT_FALSE(std::filesystem::exists(npm) || std::filesystem::exists(uv));
    EXPECT_TRUE(std::filesystem::exists(trashed));
    ASSERT_EQ(History::entries().size(), 1u);
    EXPECT_EQ(History::entries()[0].bytes, freed);

    // The next showing reads the history afresh; the phase outlives the panel.
    shown.reset();
    ShownPanel again(*scene.state, *scene.prefs);
    ASSERT_TRUE(qttest::until([&] { return again.panel.totals()->isLoaded(); }));
    EXPECT_EQ(again.panel.totals()->shownText(0), bytes(freed));
    EXPECT_EQ(again.panel.quickClean()->shownTitle(), bytes(freed) + " freed");
}
