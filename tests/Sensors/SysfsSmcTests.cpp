#include <gtest/gtest.h>
#include <unistd.h>

#include "Sensors/Fans/FanReader.h"
#include "Sensors/SensorTree.h"
#include "Support/FanFixtures.h"

using namespace fanfixture;
using testtree::readFile;
using testtree::TempDir;
using testtree::writeFile;

namespace {
// An Apple controller as the driver lays it out: attributes on the platform device,
// the hwmon entry pointing at it.
fs::path appleSmcTree(const fs::path& sys) {
    const fs::path dev = sys / "devices/platform/applesmc.768";
    writeFile(dev / "name", "applesmc\n");
    for (const auto& [file, value] :
         {std::pair{"fan1_input", "1800"}, {"fan1_min", "1200"}, {"fan1_max", "6000"}, {"fan1_output", "1200"},
          {"fan1_manual", "0"}, {"fan2_input", "2000"}, {"fan2_min", "1300"}, {"fan2_max", "6200"},
          {"fan2_output", "1300"}, {"fan2_manual", "0"}, {"temp1_input", "52000"}, {"temp1_label", "TC0P"}})
        writeFile(dev / file, std::string(value) + "\n");
    fs::create_directories(sys / "class/hwmon/hwmon3");
    fs::create_directory_symlink(dev, sys / "class/hwmon/hwmon3/device");
    return dev;
}

TEST(SysfsSmc, AppleSmcDriverReadsAndDrivesEveryFan) {
    ASSERT_EQ(::geteuid(), 0u);
    SensorTree t;
    const fs::path dev = appleSmcTree(t.roots().sys);
    t.attributes("sys/class/hwmon/hwmon0", {{"name", "nct6775"}, {"fan1_input", "900"}});
    FanReader reader(SmcConnection::open(t.roots()));
    EXPECT_EQ(reader.read(), (std::vector<FanReader::Fan>{{1800, 6000}, {2000, 6200}}));
    EXPECT_TRUE(reader.isControllable());

    EXPECT_FALSE(reader.setFanMode(false, 60.0, false));
    EXPECT_EQ(readFile(dev / "fan1_output"), "3840");  // 1200 + 4800 × 0.55
    EXPECT_EQ(readFile(dev / "fan2_output"), "3995");
    EXPECT_EQ(readFile(dev / "fan1_manual"), "1");
    EXPECT_EQ(readFile(dev / "fan2_manual"), "1");
    reader.returnToAutomatic();
    EXPECT_EQ(readFile(dev / "fan1_manual"), "0");
    EXPECT_EQ(readFile(dev / "fan2_manual"), "0");
    EXPECT_EQ(readFile(dev / "fan1_min"), "1200\n") << "limits are never written";
}

TEST(SysfsSmc, GenericHwmonFansAreReadOnly) {
    SensorTree t;
    t.attributes("sys/class/hwmon/hwmon0", {{"name", "nct6775"}, {"fan1_input", "900"}, {"fan2_input", "0"}, {"pwm1", "128"}});
    t.attributes("sys/class/hwmon/hwmon1", {{"name", "amdgpu"}, {"fan1_input", "1100"}, {"fan1_min", "0"}, {"fan1_max", "3300"}});
    FanReader reader(SmcConnection::open(t.roots()));
    EXPECT_EQ(reader.read(), (std::vector<FanReader::Fan>{{900, 0}, {0, 0}, {1100, 3300}}));
    EXPECT_FALSE(reader.isControllable());
    reader.returnToAutomatic();
    EXPECT_EQ(readFile(t.roots().sys / "class/hwmon/hwmon0/pwm1"), "128\n");
}

TEST(SysfsSmc, NoFansNoConnection) {
    SensorTree t;
    t.attributes("sys/class/hwmon/hwmon0", {{"name", "coretemp"}, {"temp1_input", "40000"}});
    EXPECT_EQ(SmcConnection::open(t.roots()), nullptr);
    EXPECT_EQ(SmcConnection::open({.sys = t.path() / "missing"}), nullptr);
}
TEST(SysfsSmc, ThisMachine) {
    FanReader reader;
    for (const auto& fan : reader.read()) {
        EXPECT_GE(fan.rpm, 0);
        EXPECT_GE(fan.max, 0);
    }
    if (reader.read().empty()) {
        EXPECT_FALSE(reader.isControllable());
    }
}
}  // namespace
