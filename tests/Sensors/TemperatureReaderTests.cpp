#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Sensors/Temperatures/TemperatureReader.h"
#include "Sensors/SensorTree.h"

namespace fs = std::filesystem;
using testtree::writeFile;

namespace {
using Side = TemperatureReader::Side;

TEST(TemperatureReader, ClassifiesProductNames) {
    const std::pair<const char*, std::optional<Side>> cases[] = {
        {"GPU MTR Temp Sensor1", Side::gpu}, {"CPU and GPU", Side::gpu}, {"PMU tdie1", Side::cpu},
        {"pACC MTR Temp Sensor2", Side::cpu}, {"eACC MTR", Side::cpu},   {"SOC MTR Temp", Side::cpu},
        {"Tdie", std::nullopt},              {"NAND CH0 temp", std::nullopt},
    };
    for (const auto& [name, side] : cases) EXPECT_EQ(TemperatureReader::classify(name), side) << name;
}

TEST(TemperatureReader, MeansOfProcessorAndGraphicsDrivers) {
    SensorTree t;
    const fs::path sys = t.roots().sys;
    t.attributes("sys/class/hwmon/hwmon0", {{"name", "nvme"}, {"temp1_input", "38000"}, {"temp1_label", "Composite"}});
    t.attributes("sys/class/hwmon/hwmon1",
              {{"name", "coretemp"}, {"temp1_input", "47000"}, {"temp1_label", "Package id 0"}, {"temp2_input", "40000"},
               {"temp2_label", "Core 0"}, {"temp3_input", "42000"}, {"temp3_label", "Core 1"},
               {"temp4_input", "130000"}, {"temp4_label", "Core 2"}, {"temp5_input", "5000"}});
    t.attributes("sys/class/hwmon/hwmon2", {{"name", "amdgpu"}, {"temp1_input", "55000"}, {"temp1_label", "edge"}});
    t.attributes("sys/class/hwmon/hwmon3", {{"name", "acpitz"}, {"temp1_input", "90000"}});
    // An input that is a fifo is never opened: that would wait for a writer.
    writeFile(sys / "class/hwmon/hwmon1/temp6_label", "Core 3\n");
    ASSERT_EQ(::mkfifo((sys / "class/hwmon/hwmon1/temp6_input").c_str(), 0600), 0);
    TemperatureReader reader(t.roots());
    EXPECT_EQ(reader.read(), (TemperatureReader::Reading{43.0, 55.0}));

    // Readings just inside the range count; a sensor that fails later is passed over.
    writeFile(sys / "class/hwmon/hwmon1/temp4_input", "129900\n");
    writeFile(sys / "class/hwmon/hwmon1/temp5_input", "5100\n");
    writeFile(sys / "class/hwmon/hwmon2/temp1_input", "garbage\n");
    const auto r = reader.read();
    EXPECT_DOUBLE_EQ(*r.cpu, (47.0 + 40.0 + 42.0 + 129.9 + 5.1) / 5);
    EXPECT_FALSE(r.gpu);
}

TEST(TemperatureReader, RyzenControlTemperatureOnlyWithoutDieReadings) {
    SensorTree t;
    t.attributes("sys/class/hwmon/hwmon0",
              {{"name", "k10temp"}, {"temp1_input", "70000"}, {"temp1_label", "Tctl"}, {"temp3_input", "50000"}, {"temp3_label", "Tccd1"}});
    t.attributes("sys/class/hwmon/hwmon1", {{"name", "k10temp"}, {"temp1_input", "61000"}, {"temp1_label", "Tctl"}});
    TemperatureReader reader(t.roots());
    EXPECT_EQ(reader.read().cpu, 55.5);
}

TEST(TemperatureReader, AppleControllerKeysAndNoSensors) {
    SensorTree t;
    const fs::path dev = t.path() / "sys/devices/platform/applesmc.768";
    writeFile(dev / "name", "applesmc\n");
    for (const auto& [n, label, value] : {std::tuple{1, "TC0P", "48000"}, {2, "TG0P", "60000"}, {3, "TA0P", "30000"}}) {
        writeFile(dev / ("temp" + std::to_string(n) + "_label"), std::string(label) + "\n");
        writeFile(dev / ("temp" + std::to_string(n) + "_input"), std::string(value) + "\n");
    }
    t.folder("sys/class/hwmon/hwmon0");
    fs::create_directory_symlink(dev, t.path() / "sys/class/hwmon/hwmon0/device");
    EXPECT_EQ(TemperatureReader(t.roots()).read(), (TemperatureReader::Reading{48.0, 60.0}));
    EXPECT_EQ(TemperatureReader({.sys = t.path() / "nothing"}).read(), TemperatureReader::Reading{});
}
TEST(TemperatureReader, ThisMachine) {
    const auto r = TemperatureReader().read();
    for (const auto& side : {r.cpu, r.gpu}) {
        if (side) {
            EXPECT_TRUE(*side > 5.0 && *side < 130.0) << *side;
        }
    }
}
}  // namespace
