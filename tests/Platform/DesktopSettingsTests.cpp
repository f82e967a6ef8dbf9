#include <gio/gio.h>
#include <gtest/gtest.h>

#include "Platform/DesktopSettings.h"
#include "Support/TestTree.h"

namespace DesktopSettings = Platform::DesktopSettings;

TEST(DesktopSettings, GtkSettingsFileValue) {
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"[Settings]\n  gtk-enable-animations = 0  \n", false},
        {"[Settings]\ngtk-enable-animations=FALSE\n", false},
        {"[Settings]\ngtk-enable-animations=true\n", true},
        {"[Other]\ngtk-enable-animations=false\n", std::nullopt},
        {"[Settings]\n# gtk-enable-animations=false\n", std::nullopt},
        {"[Settings]\ngtk-enable-animations-extra=false\n", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(DesktopSettings::gtkAnimations(text), expected) << text;
}

TEST(DesktopSettings, AnimationsOffWhereTheDesktopSaysSo) {
    const std::string off = "[Settings]\ngtk-enable-animations=false\n";
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;  // below the folders "user" and "system"
        std::optional<bool> gnome;
        bool off;
    } cases[] = {
        {"nothing set anywhere", {}, std::nullopt, false},
        {"GNOME switched them off", {}, false, true},
        {"GTK 3 switched them off", {{"user/gtk-3.0/settings.ini", off}}, true, true},
        {"GTK 4 switched them off", {{"user/gtk-4.0/settings.ini", off}}, std::nullopt, true},
        {"the system's file, when the user's says nothing",
         {{"user/gtk-3.0/settings.ini", "[Settings]\n"}, {"system/gtk-3.0/settings.ini", off}}, std::nullopt, true},
        {"the user's file overrides the system's",
         {{"user/gtk-3.0/settings.ini", "[Settings]\ngtk-enable-animations=true\n"}, {"system/gtk-3.0/settings.ini", off}},
         true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testtree::TempDir dir;
        for (const auto& [rel, text] : c.files) testtree::writeFile(dir / rel, text);
        DesktopSettings::Sources sources{{dir / "user", dir / "system"}, [&] { return c.gnome; }};
        EXPECT_EQ(DesktopSettings::animationsOff(sources), c.off);
    }
}

// The real reading of GNOME's setting, on GLib's in-memory settings.
TEST(DesktopSettings, ReadsGnomesSetting) {
    ::setenv("GSETTINGS_BACKEND", "memory", 1);
    const auto gnome = DesktopSettings::defaultSources().gnomeAnimations;
    if (!gnome()) GTEST_SKIP() << "GNOME's interface settings are not installed";
    GSettings* settings = g_settings_new("org.gnome.desktop.interface");
    for (const bool on : {false, true}) {
        g_settings_set_boolean(settings, "enable-animations", on);
        EXPECT_EQ(gnome(), on);
    }
    g_object_unref(settings);
}
