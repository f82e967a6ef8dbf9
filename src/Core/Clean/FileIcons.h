#pragma once
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Platform/IconRef.h"

// The application that owns a path a run removes, so that a flying icon can be
// that application's rather than a plain folder, and a type icon when no
// application owns it. Items are often gone by the time their icon is wanted, so
// it reasons from the path's text first and asks the disk only where it must.
// Main thread only: the caches take no locks and are never evicted.
namespace FileIcons {
struct Owner {
    // The owning application's bundle or desktop-file path, or "type:" and a type
    // name ("folder" or a lower-case extension).
    std::string key;
    Platform::IconRef icon;
};

Owner owner(const std::filesystem::path& url);
// The owner's icon: one shared reference for every path with the same owner key.
Platform::IconRef icon(const std::filesystem::path& url);

// Where installed applications are looked for: folders of "<name>.app" bundles,
// and the desktop-entry folders, through which an application is found here.
struct Places {
    std::vector<std::filesystem::path> applicationFolders;
    std::vector<std::filesystem::path> desktopDirs;
};
// "/Applications", "/System/Applications" and "<home>/Applications"; the
// environment's desktop-entry folders.
Places defaultPlaces();

// Tests: replaces the places (none: the defaults, read afresh) and forgets every
// cached answer.
void resetForTesting(std::optional<Places> places = std::nullopt);
// Tests: how many application names have been looked up on disk.
size_t nameProbesForTesting();
}  // namespace FileIcons
