#pragma once
#include <string_view>
#include <vector>

#include "Sensors/PowerSensors.h"

// Battery levels of connected Bluetooth devices, from the system report. A sensor
// reader like those of src/Sensors, kept here because it runs a program through
// the engine's process runner.
namespace Sensors {
// In the order the report lists the devices; the lowest level of each device (left,
// right, case …). Blocks up to 20 s: call it off the main thread. Empty on any failure.
std::vector<Level> bluetoothBatteries();
// The same from the report's JSON text.
std::vector<Level> bluetoothLevels(std::string_view json);
}  // namespace Sensors
