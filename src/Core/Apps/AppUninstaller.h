#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Core/Clean/CleanTypes.h"

// The application bundles a user can uninstall, and everything one of them left
// in the user's Library. Pure functions over the file system; no state.
namespace AppUninstaller {
struct InstalledApp {
    std::filesystem::path url;  // the .app bundle
    std::string name;           // shown name, without format-only characters
    std::string bundleID;
    int64_t size = 0;           // nothing measures it when listing

    std::string id() const { return url.string(); }
    bool operator==(const InstalledApp&) const = default;
};

// "/Applications", then the Applications folder of the current home folder.
std::vector<std::filesystem::path> applicationFolders();

// The .app bundles directly inside `folders` (in their order) with a readable
// Info.plist that names an identifier, Apple's own left out; sorted by name in
// the user's locale, letter case ignored, equal names in folder order. Never
// fails: what cannot be read is left out. Reads one small file per bundle.
std::vector<InstalledApp> installedApps(const std::vector<std::filesystem::path>& folders = applicationFolders());

// The bundle first (even when it is gone), then the app's support files, caches,
// logs, containers, preferences, saved state, web data, scripts, launch agents
// and shared containers under `home`/Library that exist, each path once. Every
// finding is a safe app leftover for the Trash, measured. Names and identifiers
// that could name a shared folder (empty, ".", "..", holding "/" or NUL) make no
// candidate. Walks every kept tree: call it off the main thread.
std::vector<CleanItem> files(const InstalledApp& app, const std::filesystem::path& home);
}  // namespace AppUninstaller
