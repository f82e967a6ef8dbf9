#pragma once
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/SafetyGuard.h"

// Rebuildable folders inside code projects: dependencies, build outputs, tool
// caches and virtual environments. Synchronous and stateless; safe from any thread.
namespace ProjectPurger {
struct Artifact {
    std::string folder;                // exact folder name
    std::vector<std::string> markers;  // one must stand beside the folder; empty: the name is enough
    Risk risk;                         // when the project is stale
    std::string note;                  // English; localized when a finding is made
};

const std::vector<Artifact>& artifacts();

// Artifact findings below the roots (at most 7 levels down), largest first. Artifacts
// of projects touched within `staleDays` are listed for review as "used recently".
std::vector<CleanItem> scan(const std::vector<std::filesystem::path>& roots, int staleDays,
                            const SafetyGuard& safety);

// Top-level folders of the home folder that hold a version-controlled project within
// two levels, in listing order.
std::vector<std::filesystem::path> discoveredRoots(const std::filesystem::path& home);

// Resolved, de-duplicated, without roots nested in other roots, sorted.
std::vector<std::filesystem::path> mergedRoots(const std::vector<std::filesystem::path>& roots);

// Latest modification date among the project's own entries (artifact folders
// excluded), looking only at the entries named; nothing when none can be read.
std::optional<std::chrono::system_clock::time_point> projectActivity(
    const std::filesystem::path& project, const std::unordered_set<std::string>& names);
}  // namespace ProjectPurger
