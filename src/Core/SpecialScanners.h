#pragma once
#include <filesystem>
#include <vector>

#include "Core/CleanTypes.h"
#include "Core/SafetyGuard.h"

// The scanners outside the catalog and their shared lists.
namespace SpecialScanners {
// Folders outside the home folder where system data may be found.
const std::vector<std::filesystem::path>& systemRoots();

// Old sessions, stale agent worktrees, caches, superseded CLI versions and downloaded
// models of AI coding tools and local model apps under `home`, largest first.
std::vector<CleanItem> ai(const std::filesystem::path& home, const SafetyGuard& safety, int sessionAgeDays);
}  // namespace SpecialScanners
