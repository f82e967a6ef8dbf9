#pragma once
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/SafetyGuard.h"

// Installer files left behind after use, and full macOS installer applications.
// Synchronous and stateless; safe from any thread.
namespace InstallerFinder {
// Lower-case extensions of disk images, installer packages and disc images.
const std::set<std::string>& extensions();

// Installers directly in each root or in one of its folders (hidden entries and
// packages are never entered), then the macOS installer apps; one finding per
// path, largest first. `applications` is where the apps are looked for.
std::vector<CleanItem> scan(const std::vector<std::filesystem::path>& roots, const SafetyGuard& safety,
                            int recentDays, const std::filesystem::path& applications = "/Applications");

// "Install macOS …" applications in `applications` that the gate allows, in listing order.
std::vector<std::filesystem::path> macOSInstallers(const SafetyGuard& safety,
                                                   const std::filesystem::path& applications = "/Applications");
}  // namespace InstallerFinder
