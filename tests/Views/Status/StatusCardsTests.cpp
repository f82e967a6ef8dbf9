// What the Status tab's cards say at the edges of their readings: one table over
// the card list, and the shared texts.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "Models/Window/AppTab.h"
#include "Support/QtTestSupport.h"
#include "Views/Kit/Theme.h"
#include "Views/Status/StatusCards.h"
#include "Views/Status/StatusFormat.h"
#include "Views/Status/StatusView.h"

using Sensors::Battery;
using StatusCards::Metric;
using StatusCards::Readings;

namespace {
const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double infinite = std::numeric_limits<double>::infinity();
const QColor orange = Theme::color(glow(AppTab::status));

Battery battery(bool plugged, bool charging, std::optional<int> watts, std::optional<int> minutes,
                std::optional<double> celsius = {}) {
    Battery b;
    b.pluggedIn = plugged, b.charging = charging, b.adapterWatts = watts, b.minutesLeft = minutes, b.temperature = celsius;
    return b;
}

QList<double> ramp(int n) {
    QList<double> v;
    for (int i = 0; i < n; ++i) v.append(i / 100.0);
    return v;
}
}  // namespace

TEST(MetricCards, ShowTheReadingAtItsEdge) {
    struct Case {
        const char* name;
        Metric metric;
        std::function<void(Readings&)> set;
        const char* texts;       // value|unit|chip|footer, "-" for no chip
        QColor color = {};       // the chip's on the memory card, else the graph's; invalid: not checked
        double fraction = -1;    // the meter's; below 0: not checked
        std::optional<QList<double>> values = std::nullopt;
    };
    const Case cases[] = {
        {"cpu just idle, its bars the last 18", Metric::cpu, [](Readings& r) { r.cpu = 0.149; r.load = 2.44; r.cpuHistory = ramp(30); },
         "14|%|-|idle · load 2.4 / 8 cores", Theme::good(), -1, ramp(30).mid(12)},
        {"cpu just busy", Metric::cpu, [](Readings& r) { r.cpu = 0.15; r.cpuTemp = 44.5; }, "15|%|45°C|busy · load 0.0 / 8 cores"},
        {"cpu not a number", Metric::cpu, [](Readings& r) { r.cpu = notANumber; r.load = notANumber; r.cpuTemp = infinite; },
         "0|%|-|idle · load 0.0 / 8 cores"},
        {"gpu without a reading", Metric::gpu, [](Readings&) {}, "—|%|-|Integrated GPU"},
        {"pressure 1", Metric::memory, [](Readings& r) { r.memory.pressure = 1; }, "25|%|Pressure normal|4 GB · swap 0 bytes",
         Theme::secondary()},
        {"pressure 2", Metric::memory, [](Readings& r) { r.memory.pressure = 2; }, "25|%|Pressure elevated|4 GB · swap 0 bytes",
         Theme::review()},
        {"pressure 4", Metric::memory, [](Readings& r) { r.memory.pressure = 4; }, "25|%|Pressure high|4 GB · swap 0 bytes",
         Theme::danger()},
        {"disk exactly 85 % full", Metric::disk, [](Readings& r) { r.disk = {100'000'000'000, 15'000'000'000, 15'000'000'000}; },
         "15 GB|free|100 GB|R 0 bytes/s · W 0 bytes/s", orange, 0.85},
        {"disk past 85 % full", Metric::disk, [](Readings& r) { r.disk = {100'000'000'000, 14'900'000'000, 14'900'000'000}; },
         "14.9 GB|free|100 GB|R 0 bytes/s · W 0 bytes/s", Theme::review(), 0.851},
        // Half the disk is the administrator's reserve: used is 40 of the 50 GB the user can have.
        {"disk with a reserve", Metric::disk, [](Readings& r) { r.disk = {100'000'000'000, 10'000'000'000, 60'000'000'000}; },
         "10 GB|free|100 GB|R 0 bytes/s · W 0 bytes/s", orange, 0.8},
        {"disk reporting nothing", Metric::disk, [](Readings& r) { r.disk = {0, 0}; r.diskRead = notANumber; },
         "0 bytes|free|0 bytes|R 0 bytes/s · W 0 bytes/s", orange, 0.0},
        {"network quiet, drawn against one", Metric::network,
         [](Readings& r) { r.networkHistory = {0, 0, 0}; r.connection = QString("Wi-Fi"); }, "0 bytes/s||Wi-Fi|↑ 0 bytes/s", {},
         -1, QList<double>{0, 0, 0}},
        {"network scaled to its peak", Metric::network,
         [](Readings& r) { r.networkHistory = {1'250'000, 5'000'000, notANumber, 2'500'000}; r.upload = 1'200'000; },
         "0 bytes/s||Offline|↑ 1.2 MB/s", {}, -1, QList<double>{0.25, 1, 0, 0.5}},
        {"thermal at 30, empty", Metric::thermal, [](Readings& r) { r.cpuTemp = 30; }, "30|°C|Cool|Thermal status", Theme::good(), 0.0},
        {"thermal at 100, full", Metric::thermal, [](Readings& r) { r.cpuTemp = 100; r.gpuTemp = 44.49; }, "100|°C|Cool|GPU 44°C",
         {}, 1.0},
        {"thermal without a reading", Metric::thermal, [](Readings&) {}, "Cool||Cool|Thermal status", {}, 1.0 / 7},
        {"thermal not a number", Metric::thermal, [](Readings& r) { r.cpuTemp = notANumber; r.gpuTemp = infinite; },
         "Cool||Cool|Thermal status", {}, 1.0 / 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Readings r;
        r.cores = 8;
        r.memory = {4LL << 30, 16LL << 30, 0, 1};
        r.disk = {100'000'000'000, 40'000'000'000, 40'000'000'000};
        c.set(r);
        const auto card = StatusCards::content(c.metric, r);
        EXPECT_EQ(QStringList({card.value, card.unit, card.chip.value_or("-"), card.footer}).join('|'), QString::fromUtf8(c.texts));
        if (c.color.isValid()) {
            EXPECT_EQ(c.metric == Metric::memory ? card.chipColor : card.graph.color, c.color);
        }
        if (c.fraction >= 0) {
            EXPECT_DOUBLE_EQ(card.graph.fraction, c.fraction);
        }
        if (c.values) {
            EXPECT_EQ(card.graph.values, *c.values);
        }
    }
}

TEST(StatusTexts, Read) {
    const std::pair<QString, const char*> cases[] = {
        {StatusView::temp(44.5), "45°C"},
        {StatusView::temp(44.49), "44°C"},
        {StatusView::temp(-0.5), "-1°C"},
        {StatusView::temp(notANumber), "—"},
        {StatusView::temp(1e300), "1000000000°C"},
        {StatusFormat::healthWord(85), "Excellent"},
        {StatusFormat::healthWord(84), "Good"},
        {StatusFormat::healthWord(65), "Good"},
        {StatusFormat::healthWord(64), "Needs care"},
        {StatusFormat::uptime(2 * 86400 + 7 * 60, 2), "2d"},
        {StatusFormat::uptime(notANumber, 2), ""},
        {StatusFormat::system({"Arch Linux", ""}), "Arch"},
        {BatteryCard::status(battery(true, true, 96, {})), "Charging · 96W"},
        {BatteryCard::status(battery(true, false, {}, {})), "Plugged in"},
        {BatteryCard::status(battery(false, false, 96, 125)), "2h 5m left"},
        {BatteryCard::status(battery(false, false, {}, {})), "On battery"},
        {BatteryCard::footer(battery(false, false, {}, {}, notANumber)), ""},
        {BatteryCard::symbol("WH-1000XM4"), "dot.radiowaves.left.and.right"},
    };
    for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, QString::fromUtf8(expected));
}
