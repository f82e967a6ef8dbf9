#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Where the current user's folders are. Read from the environment on every call
// ($HOME, $XDG_DATA_HOME, $XDG_CONFIG_HOME, $XDG_CACHE_HOME), so tests point them at
// temporary trees.
namespace Platform::Locations {
std::filesystem::path home();            // as the environment names it
std::filesystem::path resolvedHome();    // symbolic links resolved, "." and ".." removed
std::filesystem::path dataHome();        // $XDG_DATA_HOME or ~/.local/share
std::filesystem::path configHome();      // $XDG_CONFIG_HOME or ~/.config
// The user cache folder: $XDG_CACHE_HOME as the kernel resolves it (links and ".." in
// order), else ~/.cache resolved the same way; the value is passed over when the kernel
// cannot resolve it or it resolves to a folder no cache folder can be: the home or above
// it, a folder of the user's data or settings (the lists below, the data and config
// homes, the Trash), one holding such a folder, or one inside a folder of personal data,
// the data home, the config home or the Trash. None when ~/.cache is passed over too.
std::optional<std::filesystem::path> cacheHome();
// The system's folders in order of preference: the absolute entries of
// $XDG_DATA_DIRS (else /usr/local/share, /usr/share) and $XDG_CONFIG_DIRS (else /etc/xdg).
std::vector<std::filesystem::path> dataDirs();
std::vector<std::filesystem::path> configDirs();
std::filesystem::path applicationSupport();  // the platform's Application Support: dataHome()
std::optional<std::filesystem::path> userCaches();  // the platform's user cache folder: cacheHome()
std::filesystem::path trash();           // the user's Trash: dataHome()/Trash
std::filesystem::path trashFiles();      // the Trash's files/ folder: what the user sees in it
std::filesystem::path trashInfo();       // the Trash's info/ folder
// The home's own folders, relative to it, that cleaning never removes whole ("" is
// the home itself), and those that hold the user's personal data throughout.
const std::vector<std::string>& keptWhole();
const std::vector<std::string>& personalData();
}  // namespace Platform::Locations
