#include <gtest/gtest.h>

#include "Core/Status/BluetoothBatteries.h"
#include "Platform/Programs.h"
#include "Support/TestTree.h"

using Sensors::Level;

TEST(BluetoothBatteries, LowestLevelPerDeviceInReportOrder) {
    struct Case {
        const char* name;
        std::string json;
        std::vector<Level> levels;
    } cases[] = {
        {"earbudsAndMouse",
         R"({"SPBluetoothDataType":[{"device_connected":[
              {"Zed Buds":{"device_batteryLevelLeft":"80 %","device_batteryLevelRight":"75%","device_batteryLevelCase":""}},
              {"Mouse":{"device_batteryLevelMain":"40%","device_address":"AA"}},
              {"Speaker":{"device_address":"BB"}},
              {"Pad":{"device_batteryLevel":41}},
              {"Huge":{"device_batteryLevel":"99999999999999999999%"}}]}]})",
         {{"Zed Buds", 75}, {"Mouse", 40}}},
        {"notJson", "system_profiler: unknown data type", {}},
        {"noDevices", R"({"SPBluetoothDataType":[{"device_not_connected":[]}]})", {}},
        {"emptyList", R"({"SPBluetoothDataType":[]})", {}},
        {"wrongShape", R"({"SPBluetoothDataType":{"device_connected":[]}})", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Sensors::bluetoothLevels(c.json), c.levels) << c.name;
}

TEST(BluetoothBatteries, FromTheReportProgram) {
    testtree::TempDir tmp;
    const auto report = testtree::writeScript(
        tmp / "system_profiler",
        "[ \"$1 $2\" = 'SPBluetoothDataType -json' ] || exit 3\n"
        "echo '{\"SPBluetoothDataType\":[{\"device_connected\":[{\"Keys\":{\"device_batteryLevelMain\":\"55%\"}}]}]}'\n");
    Platform::Programs::setPathForTesting(Platform::Program::systemProfiler, report);
    EXPECT_EQ(Sensors::bluetoothBatteries(), (std::vector<Level>{{"Keys", 55}}));
    Platform::Programs::setPathForTesting(Platform::Program::systemProfiler, (tmp / "missing").string());
    EXPECT_TRUE(Sensors::bluetoothBatteries().empty());
    Platform::Programs::setPathForTesting(Platform::Program::systemProfiler, "");
}
