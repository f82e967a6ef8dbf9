#pragma once
#include <filesystem>
#include <vector>

// The scanners outside the catalog and their shared lists.
namespace SpecialScanners {
// Folders outside the home folder where system data may be found.
const std::vector<std::filesystem::path>& systemRoots();
}  // namespace SpecialScanners
