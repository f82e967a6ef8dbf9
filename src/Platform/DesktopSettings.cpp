#include "Platform/DesktopSettings.h"

#include <gio/gio.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "Platform/DesktopEntry.h"
#include "Platform/FileOps.h"
#include "Platform/Locations.h"

namespace Platform::DesktopSettings {
namespace {
std::optional<bool> gnome() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source) return std::nullopt;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE);
    if (!schema) return std::nullopt;
    std::optional<bool> on;
    if (g_settings_schema_has_key(schema, "enable-animations")) {
        GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
        on = g_settings_get_boolean(settings, "enable-animations") != FALSE;
        g_object_unref(settings);
    }
    g_settings_schema_unref(schema);
    return on;
}
}  // namespace

std::optional<bool> gtkAnimations(const std::string& settingsIni) {
    std::optional<bool> value;
    for (auto [key, v] : DesktopEntry::group(settingsIni, "Settings", "#;")) {
        if (key != "gtk-enable-animations") continue;
        std::transform(v.begin(), v.end(), v.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (v == "true" || v == "1" || v == "yes") value = true;
        else if (v == "false" || v == "0" || v == "no") value = false;
    }
    return value;
}

Sources defaultSources() {
    Sources sources;
    sources.configFolders.push_back(Locations::configHome());
    for (const auto& dir : Locations::configDirs()) sources.configFolders.push_back(dir);
    sources.gnomeAnimations = gnome;
    return sources;
}

bool animationsOff(const Sources& sources) {
    for (const char* version : {"gtk-3.0", "gtk-4.0"}) {
        for (const auto& folder : sources.configFolders) {
            const auto text = FileOps::readRegularFile(folder / version / "settings.ini", 1 << 20);
            const auto on = text ? gtkAnimations(*text) : std::nullopt;
            if (!on) continue;
            if (!*on) return true;
            break;  // set here: the folders after it do not decide
        }
    }
    if (sources.gnomeAnimations)
        if (const auto on = sources.gnomeAnimations(); on && !*on) return true;
    return false;
}
}  // namespace Platform::DesktopSettings
