#pragma once
#include <optional>
#include <string>
#include <vector>

#include "Sensors/Roots.h"

// The internal battery, the batteries of attached accessories and the kind of
// the primary network connection, read from /sys and /proc afresh on each call.
namespace Sensors {

struct Battery {
    int percent = 0;
    bool charging = false;
    bool pluggedIn = false;
    std::optional<int> minutesLeft;    // only while on battery
    std::optional<int> cycles;
    std::optional<int> health;         // full-charge capacity as percent of design, at most 100
    std::optional<int> adapterWatts;
    std::optional<double> temperature; // °C
    bool operator==(const Battery&) const = default;
};

// A named battery level: an accessory or a Bluetooth device.
struct Level {
    std::string name;
    int percent = 0;
    bool operator==(const Level&) const = default;
};

// Nil on a machine without an internal battery.
std::optional<Battery> battery(const Roots& roots = {});
// Batteries of attached devices (mice, keyboards …) sorted by name; of two with
// one name the later wins.
std::vector<Level> accessories(const Roots& roots = {});
// "Wi-Fi", "Ethernet", the interface's own name, or nil without a default route.
std::optional<std::string> connectionKind(const Roots& roots = {});

}  // namespace Sensors
