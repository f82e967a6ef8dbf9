#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/FakeHome.h"
#include "Core/Clean/History.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Clean/SwallowFeed.h"
#include "Models/MenuBar/QuickClean.h"
#include "Support/SteppedAnimations.h"
#include "Views/Kit/Controls.h"
#include "Views/MenuBar/CleaningTotals.h"
#include "Views/MenuBar/MenuBarPanel.h"
#include "Views/MenuBar/PanelCard.h"
#include "Views/MenuBar/PanelSections.h"
#include "Views/MenuBar/QuickCleanCard.h"
#include "Views/Status/FanControlCard.h"
#include "Views/Status/MetricViews.h"
#include "Views/Status/MonitorWatch.h"
#include "Views/Status/StatusFormat.h"
#include "Views/Status/StatusScene.h"
#include "Views/Status/StatusTexts.h"
#include "Views/TestSupport.h"

namespace {
Processes::Info process(int pid, double cpu, double power = 0) { return {pid, "p" + std::to_string(pid), cpu, 1, power}; }

QString bytes(int64_t n) { return toQString(formattedBytes(n)); }

std::vector<int> pids(const std::vector<Processes::Info>& rows) {
    std::vector<int> out;
    for (const auto& r : rows) out.push_back(r.pid);
    return out;
}
}  // namespace

TEST(MenuBarPanel, AccessorySymbolsByTheWordsInTheName) {
    const std::pair<const char*, const char*> rows[] = {
        {"Keyboard Mouse", "keyboard"},        {"Galaxy BUDS", "airpodspro"},
        {"Studio Headphones", "airpodspro"},   {"Magic Trackpad", "rectangle.and.hand.point.up.left"},
        {"MX Mouse", "magicmouse"},            {"Speaker", "dot.radiowaves.left.and.right"},
    };
    for (const auto& [name, symbol] : rows) EXPECT_EQ(MenuBarPanel::accessorySymbol(name), symbol) << name;
}

TEST(MenuBarPanel, TheBusiestFiveAndTheTopEnergyUser) {
    const std::vector<Processes::Info> five{process(1, 3), process(2, 9), process(3, 1), process(4, 5), process(5, 7)};
    EXPECT_EQ(pids(MenuBarPanel::topProcesses(five)), (std::vector<int>{2, 5, 4, 1, 3}));
    std::vector<Processes::Info> seven = five;
    seven.push_back(process(6, 8));
    seven.push_back(process(7, std::nan("")));
    EXPECT_EQ(pids(MenuBarPanel::topProcesses(seven)), (std::vector<int>{2, 6, 5, 4, 1}));

    // A tie goes to the earlier row; where no row has a figure, there is no top user.
    EXPECT_EQ(MenuBarPanel::topEnergy({process(1, 0, 2.5), process(2, 0, 4), process(3, 0, 4)})->pid, 2);
    EXPECT_FALSE(MenuBarPanel::topEnergy({process(1, 5), process(2, 3)}));
    EXPECT_FALSE(MenuBarPanel::topEnergy({}));
}

namespace {
// The panel over a scene's state, shown on its own as the glass panel shows it.
struct ShownPanel {
    qttest::SteppedAnimations animations;
    int closes = 0;
    MenuBarPanel panel;
    ShownPanel(AppState& state, Preferences& prefs) : panel(state, prefs, [this] { ++closes; }) {
        panel.resize(panel.sizeHint());
        panel.show();
    }
    QImage shoot(const QString& name) {
        animations.step(2000);  // meters and texts have sprung into place
        panel.refreshNow();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        panel.resize(panel.sizeHint());
        QImage image(panel.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        panel.render(&image);
        EXPECT_TRUE(keepScreenshot(image, name));
        return image;
    }
};

bool settled(const Monitor& m) {
    return qttest::until([&] { return !m.measuringDisk() && !m.samplingProcesses() && !m.processes().empty(); });
}

void warmUp(StatusScene& scene) {
    for (int i = 0; i < 24; ++i) {
        scene.tick(0.3 + 0.2 * std::sin(i * 0.7), uint64_t(1'500'000 * (1.2 + std::sin(i * 0.9))));
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(settled(scene.state->monitor()));
    QCoreApplication::processEvents();
}

QStringList symbols(const QList<Ring*>& rings) {
    QStringList out;
    for (const Ring* r : rings) out << r->symbol();
    return out;
}
}  // namespace

TEST(MenuBarPanel, FixtureWithBatteryAccessoriesAndAFan) {
    StatusScene scene({.battery = true, .accessories = 3, .fans = 1});
    ShownPanel shown(*scene.state, *scene.prefs);
    EXPECT_TRUE(shown.panel.watch()->counted());
    warmUp(scene);
    const QImage image = shown.shoot("panel-fixture");
    MenuBarPanel& panel = shown.panel;

    EXPECT_EQ(image.width(), MenuBarPanel::width);
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
    EXPECT_EQ(symbols(battery->rings()), QStringList({"keyboard", "magicmouse", "rectangle.and.hand.point.up.left"}));
    EXPECT_EQ(battery->rings()[0]->toolTip(), plainToolTip("Magic Keyboard: 71%"));
    EXPECT_EQ(battery->topEnergyText(), "");  // no energy figures on this system

    ASSERT_EQ(panel.processes()->rows().size(), 5u);
    EXPECT_EQ(panel.processes()->rows().front().name, "firefox-esr");
    EXPECT_EQ(panel.quickClean()->shownTitle(), "Safe caches");
    for (QWidget* w : std::initializer_list<QWidget*>{panel.openButton(), panel.cleanButton(), panel.settingsButton(),
                                                      panel.quitButton(), panel.totals()})
        EXPECT_TRUE(w->isVisible());
}

// No fans and no battery: the heat card's temperature meter, no battery section.
TEST(MenuBarPanel, FixtureWithoutFansShowsTheTemperatureMeter) {
    StatusScene scene({});
    ShownPanel shown(*scene.state, *scene.prefs);
    warmUp(scene);
    shown.panel.refreshNow();
    PanelHeat* heat = shown.panel.heat();
    EXPECT_EQ(heat->fanControls(), nullptr);
    ASSERT_NE(heat->meter(), nullptr);
    EXPECT_NEAR(heat->meter()->fraction(), 22.5 / 70, 1e-9);
    EXPECT_EQ(heat->chipText(), std::optional<QString>("Cool"));
    EXPECT_FALSE(shown.panel.battery()->isVisible());
}

TEST(MenuBarPanel, ThisMachine) {
    Fixture f;  // the machine's own sensors and the `top` stand-in
    ShownPanel shown(*f.state, *f.prefs);
    const Monitor& monitor = f.state->monitor();
    ASSERT_TRUE(settled(monitor));
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
    warmUp(scene);
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
    EXPECT_FALSE(std::filesystem::exists(npm));
    EXPECT_FALSE(std::filesystem::exists(uv));
    EXPECT_TRUE(std::filesystem::exists(trashed));
    ASSERT_EQ(History::entries().size(), 1u);
    EXPECT_EQ(History::entries()[0].bytes, freed);

    // The next showing reads the history afresh.
    shown.reset();
    ShownPanel again(*scene.state, *scene.prefs);
    ASSERT_TRUE(qttest::until([&] { return again.panel.totals()->isLoaded(); }));
    EXPECT_EQ(again.panel.totals()->totals().freed, freed);
    EXPECT_EQ(again.panel.totals()->shownText(0), bytes(freed));
    EXPECT_EQ(again.panel.quickClean()->shownTitle(), bytes(freed) + " freed");  // the phase outlives the panel
}
