#pragma once
#include <filesystem>

// The `Sensors` readers ask the kernel through its /proc, /sys and /etc views.
// Each reader takes the folders to read from; tests point them at fixture trees.
namespace Sensors {
struct Roots {
    std::filesystem::path proc = "/proc";
    std::filesystem::path sys = "/sys";
    std::filesystem::path etc = "/etc";
};
}  // namespace Sensors
