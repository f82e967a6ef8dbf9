#pragma once
#include <optional>
#include <string>

#include "Sensors/Roots.h"

// What the process-information object of the original platform tells: thermal
// state, system version, uptime, processor count.
namespace Sensors {

enum class ThermalState { nominal, fair, serious, critical };

// From the thermal zones' trip points, the processor cooling devices and the
// hwmon limits; nominal where the machine reports none.
ThermalState thermalState(const Roots& roots = {});

struct OSVersion {
    std::string name;          // "Debian GNU/Linux"
    std::string majorVersion;  // "12"; empty on rolling releases
    bool operator==(const OSVersion&) const = default;
};
// From os-release; an empty name when it cannot be read.
OSVersion osVersion(const Roots& roots = {});

// Seconds since boot; nil when unknown.
std::optional<double> uptime(const Roots& roots = {});

// Processors this process may run on.
int processorCount();

}  // namespace Sensors
