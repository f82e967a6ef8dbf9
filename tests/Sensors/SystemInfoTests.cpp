#include <gtest/gtest.h>
#include <unistd.h>

#include "Sensors/SensorTree.h"
#include "Sensors/SystemInfo.h"

using Sensors::ThermalState;

TEST(ThermalState, FromTripPointsCoolingAndHwmonLimits) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        ThermalState expected;
    } cases[] = {
        {"nothingReported", {}, ThermalState::nominal},
        {"belowEveryTrip", {{"class/thermal/thermal_zone0/temp", "50000"},
                            {"class/thermal/thermal_zone0/trip_point_0_type", "passive"},
                            {"class/thermal/thermal_zone0/trip_point_0_temp", "75000"},
                            {"class/thermal/thermal_zone0/trip_point_1_type", "critical"},
                            {"class/thermal/thermal_zone0/trip_point_1_temp", "105000"}},
         ThermalState::nominal},
        {"passiveTrip", {{"class/thermal/thermal_zone0/temp", "80000"},
                         {"class/thermal/thermal_zone0/trip_point_0_type", "passive"},
                         {"class/thermal/thermal_zone0/trip_point_0_temp", "75000"}},
         ThermalState::fair},
        {"activeTripOnlyStartsAFan", {{"class/thermal/thermal_zone0/temp", "80000"},
                                      {"class/thermal/thermal_zone0/trip_point_0_type", "active"},
                                      {"class/thermal/thermal_zone0/trip_point_0_temp", "60000"}},
         ThermalState::nominal},
        {"hotTripInSecondZone", {{"class/thermal/thermal_zone0/temp", "30000"},
                                 {"class/thermal/thermal_zone1/temp", "96000"},
                                 {"class/thermal/thermal_zone1/trip_point_3_type", "hot"},
                                 {"class/thermal/thermal_zone1/trip_point_3_temp", "95000"}},
         ThermalState::serious},
        {"criticalTrip", {{"class/thermal/thermal_zone0/temp", "106000"},
                          {"class/thermal/thermal_zone0/trip_point_0_type", "critical"},
                          {"class/thermal/thermal_zone0/trip_point_0_temp", "105000"}},
         ThermalState::critical},
        {"processorThrottled", {{"class/thermal/cooling_device0/type", "Processor"},
                                {"class/thermal/cooling_device0/cur_state", "2"},
                                {"class/thermal/cooling_device1/type", "Fan"},
                                {"class/thermal/cooling_device1/cur_state", "0"}},
         ThermalState::serious},
        {"fanRunning", {{"class/thermal/cooling_device1/type", "Fan"}, {"class/thermal/cooling_device1/cur_state", "3"}},
         ThermalState::nominal},
        {"nearHwmonMax", {{"class/hwmon/hwmon0/temp1_input", "91000"}, {"class/hwmon/hwmon0/temp1_max", "100000"},
                          {"class/hwmon/hwmon0/temp2_input", "40000"}},
         ThermalState::fair},
        {"atHwmonMax", {{"class/hwmon/hwmon0/temp1_input", "100000"}, {"class/hwmon/hwmon0/temp1_max", "100000"}},
         ThermalState::serious},
        {"atHwmonCrit", {{"class/hwmon/hwmon1/temp3_input", "101000"}, {"class/hwmon/hwmon1/temp3_max", "80000"},
                         {"class/hwmon/hwmon1/temp3_crit", "100000"}},
         ThermalState::critical},
        {"unreadableZone", {{"class/thermal/thermal_zone0/trip_point_0_type", "critical"},
                            {"class/thermal/thermal_zone0/trip_point_0_temp", "0"}},
         ThermalState::nominal},
    };
    for (const auto& c : cases) {
        SensorTree t;
        t.folder("sys/class/thermal");
        for (const auto& [path, value] : c.files) t.put("sys/" + path, value + "\n");
        EXPECT_EQ(Sensors::thermalState(t.roots()), c.expected) << c.name;
    }
    EXPECT_EQ(Sensors::thermalState(), ThermalState::nominal);  // this machine reports no zones
}

TEST(OSVersion, FromOsRelease) {
    struct Case {
        const char* name;
        std::optional<std::string> file;
        Sensors::OSVersion expected;
    } cases[] = {
        {"debian", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n",
         {"Debian GNU/Linux", "12"}},
        {"pointRelease", "NAME=Ubuntu\nVERSION_ID=\"22.04\"\n", {"Ubuntu", "22"}},
        {"rolling", "NAME='Arch Linux'\nID=arch\n", {"Arch Linux", ""}},
        {"missing", std::nullopt, {}},
    };
    for (const auto& c : cases) {
        SensorTree t;
        if (c.file) t.put("etc/os-release", *c.file);
        EXPECT_EQ(Sensors::osVersion(t.roots()), c.expected) << c.name;
    }
}

TEST(SystemInfo, UptimeAndProcessors) {
    SensorTree t;
    EXPECT_EQ(Sensors::uptime(t.roots()), std::nullopt);
    t.put("proc/uptime", "273840.52 2000000.10\n");
    EXPECT_EQ(Sensors::uptime(t.roots()), 273840.52);
    EXPECT_GT(Sensors::uptime().value_or(0), 0);
    EXPECT_GE(Sensors::processorCount(), 1);
    EXPECT_LE(Sensors::processorCount(), ::sysconf(_SC_NPROCESSORS_ONLN));
    EXPECT_FALSE(Sensors::osVersion().name.empty());
}
