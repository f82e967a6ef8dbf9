#pragma once
#include <filesystem>

// Where the current user's folders are. Read from the environment on every call
// ($HOME, $XDG_DATA_HOME, $XDG_CONFIG_HOME), so tests point them at temporary trees.
namespace Platform::Locations {
std::filesystem::path home();            // as the environment names it
std::filesystem::path resolvedHome();    // symbolic links resolved, "." and ".." removed
std::filesystem::path dataHome();        // $XDG_DATA_HOME or ~/.local/share
std::filesystem::path configHome();      // $XDG_CONFIG_HOME or ~/.config
std::filesystem::path applicationSupport();  // the platform's Application Support: dataHome()
std::filesystem::path trash();           // the user's Trash: dataHome()/Trash
std::filesystem::path trashFiles();      // the Trash's files/ folder: what the user sees in it
std::filesystem::path trashInfo();       // the Trash's info/ folder
}  // namespace Platform::Locations
