#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Sensors/Roots.h"

// The kernel's hardware-monitoring chips, for the fan and temperature readers.
namespace Hwmon {
struct Chip {
    std::filesystem::path dir;  // the folder holding the chip's attributes
    std::string name;           // its `name` attribute
};

// Every chip of class/hwmon, in the order of its number. A chip whose attributes
// sit on its device (older drivers) is given by that folder.
std::vector<Chip> chips(const Sensors::Roots& roots);

// N of every `<prefix>N<suffix>` in the folder, ascending ("fan", "_input" → 1, 2).
std::vector<int> indices(const std::filesystem::path& dir, const std::string& prefix, const std::string& suffix);
// The attribute as a decimal integer, read afresh from an open descriptor.
std::optional<long long> readInteger(int fd);
// Writes a decimal integer to the attribute; false when refused.
bool writeInteger(const std::filesystem::path& attribute, long long value);
}  // namespace Hwmon
