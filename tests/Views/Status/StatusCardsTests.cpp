// What the Status tab's cards say at the edges of their readings: one table over
// the card list, and the shared texts.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "Support/QtTestSupport.h"
#include "Views/Kit/Theme.h"
#include "Views/Status/StatusCards.h"
#include "Views/Status/StatusFormat.h"
#include "Views/Status/StatusView.h"

using StatusCards::Metric;
using StatusCards::Readings;

namespace {
const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double infinite = std::numeric_limits<double>::infinity();
const QColor orange = QColor::fromRgbF(1.0f, 0.7f, 0.4f);

Readings base() {
    Readings r;
    r.cores = 8;
    r.memory = {4LL << 30, 16LL << 30, 0, 1};
    r.disk = {100'000'000'000, 40'000'000'000};
    return r;
}

QList<double> ramp(int n) {
    QList<double> v;
    for (int i = 0; i < n; ++i) v.append(i / 100.0);
    return v;
}
}  // namespace

struct MetricCase {
    const char* name;
    Metric metric;
    std::function<void(Readings&)> set;
    const char* value = nullptr;  // nullptr: not checked
    const char* unit = nullptr;
    std::optional<const char*> chip = std::nullopt;  // a null text: no chip
    QColor chipColor = {};                           // invalid: not checked
    const char* footer = nullptr;
    double fraction = -1;  // the meter's; below 0: not checked
    QColor graphColor = {};
    std::optional<QList<double>> values = std::nullopt;
};

void PrintTo(const MetricCase& c, std::ostream* os) { *os << c.name; }

class MetricCards : public ::testing::TestWithParam<MetricCase> {};

TEST_P(MetricCards, ShowTheReadingAtItsEdge) {
    const auto& c = GetParam();
    Readings r = base();
    c.set(r);
    const auto card = StatusCards::content(c.metric, r);
    if (c.value) {
        EXPECT_EQ(card.value, QString::fromUtf8(c.value));
    }
    if (c.unit) {
        EXPECT_EQ(card.unit, QString::fromUtf8(c.unit));
    }
    if (c.chip) {
        EXPECT_EQ(card.chip, *c.chip ? std::optional(QString::fromUtf8(*c.chip)) : std::nullopt);
    }
    if (c.chipColor.isValid()) {
        EXPECT_EQ(card.chipColor, c.chipColor);
    }
    if (c.footer) {
        EXPECT_EQ(card.footer, QString::fromUtf8(c.footer));
    }
    if (c.fraction >= 0) {
        EXPECT_DOUBLE_EQ(card.graph.fraction, c.fraction);
    }
    if (c.graphColor.isValid()) {
        EXPECT_EQ(card.graph.color, c.graphColor);
    }
    if (c.values) {
        EXPECT_EQ(card.graph.values, *c.values);
    }
    // Whatever the reading, no text says "nan" or "inf".
    for (const QString& text : {card.value, card.footer, card.chip.value_or(QString())})
        EXPECT_FALSE(text.contains("nan", Qt::CaseInsensitive) || text.contains("inf", Qt::CaseInsensitive)) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, MetricCards,
    ::testing::Values(
        MetricCase{"CpuJustIdle", Metric::cpu, [](Readings& r) { r.cpu = 0.149; r.load = 2.44; },
                   "14", "%", nullptr, {}, "idle · load 2.4 / 8 cores"},
        MetricCase{"CpuJustBusy", Metric::cpu, [](Readings& r) { r.cpu = 0.15; r.cpuTemp = 44.5; },
                   "15", "%", "45°C", Theme::secondary(), "busy · load 0.0 / 8 cores"},
        MetricCase{"CpuNotANumber", Metric::cpu, [](Readings& r) { r.cpu = notANumber; r.load = notANumber; r.cpuTemp = infinite; },
                   "0", nullptr, nullptr, {}, "idle · load 0.0 / 8 cores"},
        MetricCase{"CpuBarsAreTheLast18", Metric::cpu, [](Readings& r) { r.cpuHistory = ramp(30); },
                   nullptr, nullptr, std::nullopt, {}, nullptr, -1, Theme::good(), ramp(30).mid(12)},
        MetricCase{"CpuShortHistoryWhole", Metric::cpu, [](Readings& r) { r.cpuHistory = ramp(5); },
                   nullptr, nullptr, std::nullopt, {}, nullptr, -1, {}, ramp(5)},
        MetricCase{"GpuWithoutReading", Metric::gpu, [](Readings&) {}, "—", "%", nullptr, {}, "Integrated GPU"},
        MetricCase{"GpuWithCores", Metric::gpu, [](Readings& r) { r.gpu = 0.999; r.gpuCores = 10; r.gpuTemp = 51.5; },
                   "99", "%", "52°C", {}, "10 GPU cores", -1, orange},
        MetricCase{"MemoryPressure1", Metric::memory, [](Readings& r) { r.memory.pressure = 1; },
                   "25", "%", "Pressure normal", Theme::secondary(), "4 GB · swap 0 bytes"},
        MetricCase{"MemoryPressure2", Metric::memory, [](Readings& r) { r.memory.pressure = 2; },
                   nullptr, nullptr, "Pressure elevated", Theme::review()},
        MetricCase{"MemoryPressure3", Metric::memory, [](Readings& r) { r.memory.pressure = 3; },
                   nullptr, nullptr, "Pressure elevated", Theme::review()},
        MetricCase{"MemoryPressure4", Metric::memory, [](Readings& r) { r.memory.pressure = 4; },
                   nullptr, nullptr, "Pressure high", Theme::danger()},
        MetricCase{"MemoryUnknownTotal", Metric::memory, [](Readings& r) { r.memory = {5, 0, 0, 0}; },
                   "500", nullptr, "Pressure normal"},
        MetricCase{"DiskExactly85Full", Metric::disk, [](Readings& r) { r.disk = {100'000'000'000, 15'000'000'000}; },
                   "15 GB", "free", "100 GB", Theme::secondary(), "R 0 bytes/s · W 0 bytes/s", 0.85, orange},
        MetricCase{"DiskPast85Full", Metric::disk, [](Readings& r) { r.disk = {100'000'000'000, 14'900'000'000}; },
                   nullptr, nullptr, std::nullopt, {}, nullptr, 0.851, Theme::review()},
        MetricCase{"DiskReportingNothing", Metric::disk, [](Readings& r) { r.disk = {0, 0}; r.diskRead = notANumber; },
                   "0 bytes", nullptr, "0 bytes", {}, "R 0 bytes/s · W 0 bytes/s", 0.0, orange},
        MetricCase{"NetworkQuietDrawsAgainstOne", Metric::network,
                   [](Readings& r) { r.networkHistory = {0, 0, 0}; r.connection = QString("Wi-Fi"); },
                   "0 bytes/s", "", "Wi-Fi", Theme::secondary(), "↑ 0 bytes/s", -1, {}, QList<double>{0, 0, 0}},
        MetricCase{"NetworkScaledToItsPeak", Metric::network,
                   [](Readings& r) { r.networkHistory = QList<double>{1'250'000, 5'000'000, notANumber, 2'500'000}; r.upload = 1'200'000; },
                   nullptr, nullptr, "Offline", {}, "↑ 1.2 MB/s", -1, {}, QList<double>{0.25, 1, 0, 0.5}},
        MetricCase{"NetworkEmpty", Metric::network, [](Readings&) {}, nullptr, nullptr, "Offline", {}, nullptr, -1, {},
                   QList<double>{}},
        MetricCase{"ThermalAt30Empty", Metric::thermal, [](Readings& r) { r.cpuTemp = 30; },
                   "30", "°C", "Cool", Theme::secondary(), "Thermal status", 0.0, Theme::good()},
        MetricCase{"ThermalAt100Full", Metric::thermal, [](Readings& r) { r.cpuTemp = 100; r.gpuTemp = 44.49; },
                   "100", nullptr, std::nullopt, {}, "GPU 44°C", 1.0},
        MetricCase{"ThermalTruncates", Metric::thermal, [](Readings& r) { r.cpuTemp = 44.9; }, "44", "°C"},
        MetricCase{"ThermalWithoutReading", Metric::thermal, [](Readings&) {}, "Cool", "", "Cool", {}, nullptr, 1.0 / 7},
        MetricCase{"ThermalNotANumberIsNoReading", Metric::thermal, [](Readings& r) { r.cpuTemp = notANumber; r.gpuTemp = notANumber; },
                   "Cool", "", "Cool", {}, "Thermal status", 1.0 / 7},
        MetricCase{"ThermalFair", Metric::thermal, [](Readings& r) { r.thermal = Sensors::ThermalState::fair; },
                   "Warm", nullptr, "Warm", {}, nullptr, -1, Theme::review()},
        MetricCase{"ThermalSerious", Metric::thermal, [](Readings& r) { r.thermal = Sensors::ThermalState::serious; },
                   "Hot", nullptr, "Hot", {}, nullptr, -1, Theme::danger()},
        MetricCase{"ThermalCritical", Metric::thermal,
                   [](Readings& r) { r.thermal = Sensors::ThermalState::critical; r.cpuTemp = 96; },
                   "96", nullptr, "Throttling", {}, nullptr, -1, Theme::danger()}),
    [](const auto& info) { return std::string(info.param.name); });

struct TextCase {
    const char* name;
    QString actual;
    const char* expected;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class StatusTexts : public ::testing::TestWithParam<TextCase> {};

TEST_P(StatusTexts, Read) { EXPECT_EQ(GetParam().actual, QString::fromUtf8(GetParam().expected)); }

Sensors::Battery battery(bool plugged, bool charging, std::optional<int> watts, std::optional<int> minutes) {
    Sensors::Battery b;
    b.percent = 64;
    b.pluggedIn = plugged;
    b.charging = charging;
    b.adapterWatts = watts;
    b.minutesLeft = minutes;
    return b;
}

Sensors::Battery worn(std::optional<int> cycles, std::optional<double> temperature) {
    Sensors::Battery b;
    b.cycles = cycles;
    b.temperature = temperature;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatusTexts,
    ::testing::Values(
        TextCase{"TempHalfUp", StatusView::temp(44.5), "45°C"},
        TextCase{"TempBelowHalf", StatusView::temp(44.49), "44°C"},
        TextCase{"TempNegativeHalfAwayFromZero", StatusView::temp(-0.5), "-1°C"},
        TextCase{"TempNotANumber", StatusView::temp(notANumber), "—"},
        TextCase{"TempHuge", StatusView::temp(1e300), "1000000000°C"},
        TextCase{"Health85", StatusFormat::healthWord(85), "Excellent"},
        TextCase{"Health84", StatusFormat::healthWord(84), "Good"},
        TextCase{"Health65", StatusFormat::healthWord(65), "Good"},
        TextCase{"Health64", StatusFormat::healthWord(64), "Needs care"},
        TextCase{"UptimeTwoUnits", StatusFormat::uptime(3 * 86400 + 4 * 3600 + 5 * 60 + 59, 2), "3d 4h"},
        TextCase{"UptimeOneUnit", StatusFormat::uptime(270000, 1), "3d"},
        TextCase{"UptimeSkipsAZeroHour", StatusFormat::uptime(2 * 86400 + 7 * 60, 2), "2d"},
        TextCase{"UptimeHoursAndMinutes", StatusFormat::uptime(3600 + 120, 2), "1h 2m"},
        TextCase{"UptimeUnderAMinute", StatusFormat::uptime(45, 2), "0m"},
        TextCase{"UptimeUnknown", StatusFormat::uptime(std::nullopt, 2), ""},
        TextCase{"UptimeNotANumber", StatusFormat::uptime(notANumber, 2), ""},
        TextCase{"SystemDebian", StatusFormat::system(Sensors::OSVersion{"Debian GNU/Linux", "12"}), "Debian 12"},
        TextCase{"SystemFedora", StatusFormat::system(Sensors::OSVersion{"Fedora Linux", "39"}), "Fedora 39"},
        TextCase{"SystemRolling", StatusFormat::system(Sensors::OSVersion{"Arch Linux", ""}), "Arch"},
        TextCase{"SystemUnknown", StatusFormat::system(Sensors::OSVersion{}), "Linux"},
        TextCase{"ChargingOn96W", BatteryCard::status(battery(true, true, 96, std::nullopt)), "Charging · 96W"},
        TextCase{"PluggedInWattsUnknown", BatteryCard::status(battery(true, false, std::nullopt, std::nullopt)), "Plugged in"},
        TextCase{"OnBatteryWithEstimate", BatteryCard::status(battery(false, false, 96, 125)), "2h 5m left"},
        TextCase{"OnBatteryWithoutEstimate", BatteryCard::status(battery(false, false, std::nullopt, std::nullopt)), "On battery"},
        TextCase{"FooterEmpty", BatteryCard::footer(worn(std::nullopt, std::nullopt)), ""},
        TextCase{"FooterCyclesAlone", BatteryCard::footer(worn(812, std::nullopt)), "812 cycles"},
        TextCase{"FooterBoth", BatteryCard::footer(worn(812, 30.5)), "812 cycles · 31°C"},
        TextCase{"FooterTemperatureNotANumber", BatteryCard::footer(worn(std::nullopt, notANumber)), ""},
        TextCase{"KeyboardAnyCase", BatteryCard::symbol("Magic KEYboard"), "keyboard"},
        TextCase{"Trackpad", BatteryCard::symbol("Magic Trackpad"), "rectangle.and.hand.point.up.left"},
        TextCase{"Mouse", BatteryCard::symbol("MX MOUSE 3"), "magicmouse"},
        TextCase{"Headphones", BatteryCard::symbol("WH-1000XM4"), "dot.radiowaves.left.and.right"},
        TextCase{"KeyboardWinsOverTrackpad", BatteryCard::symbol("Keyboard with Trackpad"), "keyboard"}),
    [](const auto& info) { return std::string(info.param.name); });
