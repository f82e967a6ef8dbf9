#include <gtest/gtest.h>

#include "Sensors/PowerSensors.h"
#include "Sensors/SensorTree.h"

namespace {
// A laptop: battery BAT0 on its own, a mains adapter and a USB power-delivery port.
void laptop(SensorTree& t, const std::string& status, bool onMains) {
    t.attributes("sys/class/power_supply/BAT0", {{"type", "Battery"}, {"status", status}, {"capacity", "87"},
                                                 {"energy_now", "50000000"}, {"power_now", "24000000"},
                                                 {"energy_full", "5200"}, {"energy_full_design", "5000"},
                                                 {"cycle_count", "42"}, {"temp", "315"}});
    t.attributes("sys/class/power_supply/AC", {{"type", "Mains"}, {"online", onMains ? "1" : "0"}});
    t.attributes("sys/class/power_supply/ucsi-source-psy-1",
                 {{"type", "USB"}, {"online", onMains ? "1" : "0"}, {"voltage_max", "20000000"}, {"current_max", "4800000"}});
}
}  // namespace

TEST(Battery, Laptop) {
    SensorTree onBattery;
    laptop(onBattery, "Discharging", false);
    Sensors::Battery expected{87, false, false, 125, 42, 100 /* 104 capped */, std::nullopt, 31.5};
    EXPECT_EQ(Sensors::battery(onBattery.roots()), expected);

    SensorTree charging;
    laptop(charging, "Charging", true);
    expected = {87, true, true, std::nullopt, 42, 100, 96, 31.5};
    EXPECT_EQ(Sensors::battery(charging.roots()), expected);
}

TEST(Battery, FieldsFromOtherDrivers) {
    struct Case {
        const char* name;
        std::initializer_list<std::pair<std::string, std::string>> battery;
        Sensors::Battery expected;
    } cases[] = {
        // No capacity attribute: worked out from the charge counters; no external supply
        // listed, so a full battery means mains power.
        {"chargeCounters", {{"type", "Battery"}, {"status", "Full"}, {"charge_now", "3000"}, {"charge_full", "4000"},
                            {"charge_full_design", "5000"}},
         {75, false, true, std::nullopt, std::nullopt, 80, std::nullopt, std::nullopt}},
        // Still estimating (0 minutes), a design capacity of 0, and a driver that signs the current.
        {"estimating", {{"type", "Battery"}, {"status", "Discharging"}, {"capacity", "5"}, {"time_to_empty_now", "30"},
                        {"energy_full", "10"}, {"energy_full_design", "0"}},
         {5, false, false, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
        {"negativeCurrent", {{"type", "Battery"}, {"status", "Discharging"}, {"capacity", "50"}, {"charge_now", "2000"},
                             {"current_now", "-1000"}},
         {50, false, false, 120, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
        // Counters large enough to overflow a product of 32-bit values.
        {"hugeCounters", {{"type", "Battery"}, {"status", "Discharging"}, {"capacity", "60"},
                          {"energy_now", "9000000000000000000"}, {"power_now", "1"},
                          {"energy_full", "9000000000000000000"}, {"energy_full_design", "3"}},
         {60, false, false, INT32_MAX, std::nullopt, 100, std::nullopt, std::nullopt}},
    };
    for (const auto& c : cases) {
        SensorTree t;
        t.attributes("sys/class/power_supply/BAT1", c.battery);
        EXPECT_EQ(Sensors::battery(t.roots()), c.expected) << c.name;
    }
}

TEST(Accessories, DeviceBatteriesSortedByName) {
    SensorTree t;
    EXPECT_EQ(Sensors::battery(t.roots()), std::nullopt);
    t.attributes("sys/class/power_supply/hid-aa-battery", {{"type", "Battery"}, {"scope", "Device"}, {"model_name", "Magic Mouse"}, {"capacity", "40"}});
    t.attributes("sys/class/power_supply/hid-bb-battery", {{"type", "Battery"}, {"scope", "Device"}, {"model_name", "Keyboard K380"}, {"capacity", "90"}});
    t.attributes("sys/class/power_supply/hid-cc-battery", {{"type", "Battery"}, {"scope", "Device"}, {"model_name", "Magic Mouse"}, {"capacity", "35"}});
    t.attributes("sys/class/power_supply/hid-dd-battery", {{"type", "Battery"}, {"scope", "Device"}, {"model_name", "No Level"}});
    t.attributes("sys/class/power_supply/hidpp_battery_0", {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "12"}});
    // Device batteries are not the machine's own battery.
    EXPECT_EQ(Sensors::battery(t.roots()), std::nullopt);
    EXPECT_EQ(Sensors::accessories(t.roots()),
              (std::vector<Sensors::Level>{{"Keyboard K380", 90}, {"Magic Mouse", 35}}));
}

TEST(ConnectionKind, FromTheDefaultRoute) {
    const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    auto route = [](const std::string& iface, const char* dest, const char* flags, int metric, const char* mask) {
        return iface + "\t" + dest + "\t010200C0\t" + flags + "\t0\t0\t" + std::to_string(metric) + "\t" + mask + "\t0\t0\t0\n";
    };
    struct Case {
        const char* name;
        std::string routes;
        std::string ipv6;
        std::optional<std::string> expected;
    } cases[] = {
        {"wifi", route("wlan0", "00000000", "0003", 600, "00000000"), "", "Wi-Fi"},
        {"predictableEthernet", route("enp3s0", "00000000", "0003", 100, "00000000"), "", "Ethernet"},
        {"kernelEthernet", route("eth0", "00000000", "0003", 0, "00000000"), "", "Ethernet"},
        {"tunnel", route("tun0", "00000000", "0003", 50, "00000000"), "", "tun0"},
        {"lowestMetricWins", route("wlan0", "00000000", "0003", 600, "00000000") + route("enp3s0", "00000000", "0003", 100, "00000000"), "", "Ethernet"},
        {"noDefault", route("eth0", "000200C0", "0001", 0, "00FFFFFF"), "", std::nullopt},
        {"routeDown", route("eth0", "00000000", "0002", 0, "00000000"), "", std::nullopt},
        {"ipv6Only", "",
         "00000000000000000000000000000000 00 00000000000000000000000000000000 00 00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n"
         "00000000000000000000000000000000 00 00000000000000000000000000000000 00 fe800000000000000000000000000001 00000400 00000001 00000000 00000003   wlan0\n",
         "Wi-Fi"},
    };
    for (const auto& c : cases) {
        SensorTree t;
        t.put("proc/net/route", header + c.routes);
        if (!c.ipv6.empty()) t.put("proc/net/ipv6_route", c.ipv6);
        t.folder("sys/class/net/wlan0/wireless").folder("sys/class/net/enp3s0").folder("sys/class/net/tun0");
        EXPECT_EQ(Sensors::connectionKind(t.roots()), c.expected) << c.name;
    }
}
