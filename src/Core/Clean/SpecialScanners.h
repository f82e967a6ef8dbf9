#pragma once
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/SafetyGuard.h"

// The scanners outside the catalog and their shared lists. Synchronous, stateless,
// safe from any thread; failures only mean fewer findings.
namespace SpecialScanners {
// Folders outside the home folder where system data may be found.
const std::vector<std::filesystem::path>& systemRoots();
// The gate for administrator findings: the home and protected paths given, the
// system roots in place of any other extra roots.
SafetyGuard systemGate(const std::filesystem::path& home, const std::vector<std::string>& protectedPaths);

// Cache sub-folders a browser engine writes inside an app's folder (two are two levels deep).
const std::vector<std::string>& webCacheNames();

// Browser-engine caches inside ~/Library/Application Support/<app>.
std::vector<CleanItem> appWebCaches(const std::filesystem::path& home,
                                    const std::set<std::string>& runningNames, const SafetyGuard& safety);
// Caches inside sandbox containers; empty without Full Disk Access.
std::vector<CleanItem> containerCaches(const std::filesystem::path& home,
                                       const std::set<std::string>& runningBundleIDs,
                                       const SafetyGuard& safety);
// Superseded extension versions of the editors of the Visual Studio Code family.
std::vector<CleanItem> oldEditorExtensions(const std::filesystem::path& home, const SafetyGuard& safety);

// System caches, old crash reports, rotated system logs and local snapshots; every
// finding needs administrator rights. `safety` must admit systemRoots().
std::vector<CleanItem> systemData(const SafetyGuard& safety);

// What systemData reads, so tests can point it at a fixture tree.
struct SystemDataSources {
    std::filesystem::path caches;
    std::vector<std::pair<std::filesystem::path, std::string>> logs;  // folder, English note
    std::string tmutil;           // the program listing the local snapshots
    double snapshotTimeout = 20;  // seconds
};
SystemDataSources defaultSystemDataSources();
std::vector<CleanItem> systemData(const SafetyGuard& safety, const SystemDataSources& sources);

// Old sessions, stale agent worktrees, caches, superseded CLI versions and downloaded
// models of AI coding tools and local model apps under `home`, largest first.
std::vector<CleanItem> ai(const std::filesystem::path& home, const SafetyGuard& safety, int sessionAgeDays);
// Every folder the AI-tool scan looks in under `home`: the junk scan leaves them to it.
std::vector<std::filesystem::path> aiLocations(const std::filesystem::path& home);
}  // namespace SpecialScanners
