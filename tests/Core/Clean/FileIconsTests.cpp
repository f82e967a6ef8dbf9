#include "Core/Clean/FileIcons.h"

#include <gtest/gtest.h>

#include "Support/TestTree.h"

using Platform::IconRef;
namespace fs = std::filesystem;

namespace {
// Installed apps: two bundles in a fixture application folder and a few desktop
// entries, one named after a bundle id of the well-known-folder table.
struct Apps {
    testtree::TempDir root;
    fs::path apps = root / "Apps", desktop = root / "applications";
    Apps() {
        fs::create_directories(apps / "Pixel.app");
        fs::create_directories(apps / "ab.app");
        for (const char* id : {"org.example.Editor", "spotter", "com.apple.Terminal", "xy"})
            testtree::writeFile(desktop / (std::string(id) + ".desktop"), "[Desktop Entry]\nType=Application\n");
        testtree::writeFile(desktop / "viewer.desktop", "[Desktop Entry]\nType=Application\nName=Photo Viewer\n");
        testtree::writeFile(desktop / "ghost.example.App.desktop", "[Desktop Entry]\nHidden=true\n");
        FileIcons::resetForTesting(FileIcons::Places{{apps, root / "NoApps"}, {desktop}});
    }
    ~Apps() { FileIcons::resetForTesting(); }
    fs::path entry(const std::string& id) const { return desktop / (id + ".desktop"); }
};
}  // namespace

TEST(FileIcons, OwnerRules) {
    Apps a;
    const fs::path& r = a.root.path();
    testtree::writeFile(r / "here/notes.TXT", "x");
    fs::create_directories(r / "here/data.d");

    struct Case {
        const char* name;
        fs::path path;
        std::string key;
        IconRef icon;
    };
    const auto app = [](const fs::path& p) { return IconRef::application(p); };
    const Case cases[] = {
        {"the outermost bundle on the path", r / "Apps/Outer.app/Contents/Inner.app/x", (r / "Apps/Outer.app").string(),
         app(r / "Apps/Outer.app")},
        {"a bundle id component", r / "cache/org.example.Editor/blob", a.entry("org.example.Editor").string(),
         app(a.entry("org.example.Editor"))},
        {"the innermost matching component", r / "cache/spotter/org.example.Editor/x",
         a.entry("org.example.Editor").string(), app(a.entry("org.example.Editor"))},
        {"a component starting with a dot is skipped", r / "cache/.org.example.Editor/blob", "type:folder",
         IconRef::ofType("folder")},
        {"a name with a bundle in an application folder", r / "Support/Pixel/cache.db",
         (a.apps / "Pixel.app").string(), app(a.apps / "Pixel.app")},
        {"a name matching a desktop id ignoring case", r / "config/Spotter/state", a.entry("spotter").string(),
         app(a.entry("spotter"))},
        {"a name matching a desktop entry's name", r / "Support/Photo Viewer/db", a.entry("viewer").string(),
         app(a.entry("viewer"))},
        {"a bundle id with a space is only a name", r / "cache/org.example Editor.x/blob", "type:folder",
         IconRef::ofType("folder")},
        {"a hidden desktop entry is no application", r / "cache/ghost.example.App/x", "type:folder",
         IconRef::ofType("folder")},
        {"two characters never name an app", r / "cache/ab/xy", "type:folder", IconRef::ofType("folder")},
        {"a well-known folder", r / "Library/Caches/Homebrew/downloads/pkg.tar", a.entry("com.apple.Terminal").string(),
         app(a.entry("com.apple.Terminal"))},
        {"a well-known folder whose app is missing", r / "Google/Chrome/Default/x", "type:folder",
         IconRef::ofType("folder")},
        {"a removed file by its extension in lower case", r / "gone/X.LOG", "type:log", IconRef::ofType("log")},
        {"an existing file by its own icon", r / "here/notes.TXT", "type:txt", IconRef::file(r / "here/notes.TXT")},
        {"an existing folder with a dot in its name", r / "here/data.d", "type:folder", IconRef::file(r / "here/data.d")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto o = FileIcons::owner(c.path);
        EXPECT_EQ(o.key, c.key);
        EXPECT_EQ(o.icon, c.icon);
    }
}

TEST(FileIcons, OneSharedIconPerOwnerAndEachNameProbedOnce) {
    Apps a;
    const fs::path& r = a.root.path();
    testtree::writeFile(r / "one.txt", "1");
    testtree::writeFile(r / "two.txt", "2");
    EXPECT_EQ(FileIcons::icon(r / "one.txt"), IconRef::file(r / "one.txt"));
    EXPECT_EQ(FileIcons::icon(r / "two.txt"), IconRef::file(r / "one.txt"));
    EXPECT_EQ(FileIcons::icon(r / "gone.log"), IconRef::ofType("log"));

    FileIcons::resetForTesting(FileIcons::Places{{a.apps}, {a.desktop}});
    for (int i = 0; i < 1000; ++i)
        FileIcons::owner(r / ("n" + std::to_string(i % 20)) / ("n" + std::to_string(i / 50)) / ".x");
    // The 20 names plus the components of the temporary folder itself.
    size_t rootNames = 0;
    for (const auto& part : r)
        if (part.native().size() >= 3) ++rootNames;
    EXPECT_LE(FileIcons::nameProbesForTesting(), 20 + rootNames);
}
