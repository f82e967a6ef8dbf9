#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What the desktop asks of every application, read where the desktop keeps it.
namespace Platform::DesktopSettings {
struct Sources {
    // The folders with gtk-3.0/settings.ini and gtk-4.0/settings.ini, the one that
    // decides first: the user's ($XDG_CONFIG_HOME), then the system's ($XDG_CONFIG_DIRS).
    std::vector<std::filesystem::path> configFolders;
    // GNOME's org.gnome.desktop.interface enable-animations; nothing where that
    // setting is not installed.
    std::function<std::optional<bool>()> gnomeAnimations;
};
Sources defaultSources();

// Whether the desktop has switched its animations off: GTK's gtk-enable-animations
// or GNOME's enable-animations is false. Where neither says so, motion stays on.
bool animationsOff(const Sources& sources = defaultSources());

// The value of gtk-enable-animations in the [Settings] group of a settings.ini text;
// nothing when it is not set there.
std::optional<bool> gtkAnimations(const std::string& settingsIni);
}  // namespace Platform::DesktopSettings
