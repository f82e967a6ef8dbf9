#include <gtest/gtest.h>

#include "Platform/Locations.h"
#include "Support/TestTree.h"

using namespace testtree;

// What $XDG_CACHE_HOME may name: everything inside the cache folder is offered for
// cleaning, so a value holding the home folder falls back to ~/.cache.
TEST(Locations, UserCacheFolder) {
    const ScopedEnv home("HOME", "/home/u");
    const struct {
        const char* name;
        std::optional<std::string> value;
        const char* expected;
    } cases[] = {
        {"unset", std::nullopt, "/home/u/.cache"},
        {"empty", "", "/home/u/.cache"},
        {"relative", "cache", "/home/u/.cache"},
        {"elsewhere in the home", "/home/u/.local/cache/", "/home/u/.local/cache"},
        {"outside the home", "/var/tmp/u-cache", "/var/tmp/u-cache"},
        {"a sibling of the home", "/home/u2", "/home/u2"},
        {"the home", "/home/u/", "/home/u/.cache"},
        {"the home, spelled with dots", "/home/./u/x/..", "/home/u/.cache"},
        {"above the home", "/home", "/home/u/.cache"},
        {"the root", "/", "/home/u/.cache"},
    };
    for (const auto& c : cases) {
        const ScopedEnv cache("XDG_CACHE_HOME", c.value);
        EXPECT_EQ(Platform::Locations::userCaches(), fs::path(c.expected)) << c.name;
    }
}

// The cache folder's entries are offered as caches, so it is never a folder of the
// user's own, however the value spells it, and neither is ~/.cache: where that too is
// refused there is no cache folder.
TEST(Locations, TheCacheFolderIsNeverAFolderOfTheUsersOwn) {
    const TempDir t;
    const fs::path real = t / "home", link = t / "home-link";
    fs::create_directories(real / "Documents");
    fs::create_directories(real / "own");
    writeFile(real / "file", "x");
    fs::create_directory_symlink(real, link);
    fs::create_directory_symlink(real / "Documents", t / "documents-link");
    const ScopedEnv home("HOME", link.string());
    const ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    const struct {
        const char* name;
        std::optional<fs::path> value;
        std::optional<std::string> dataHome;
        const char* dotCache;  // where ~/.cache links, if it is a link
        std::optional<fs::path> used;
    } cases[] = {
        {"the documents through the resolved home", real / "Documents", {}, nullptr, real / ".cache"},
        {"a link to the documents", t / "documents-link", {}, nullptr, real / ".cache"},
        {"the settings", link / ".config", {}, nullptr, real / ".cache"},
        {"the default data home", link / ".local/share", {}, nullptr, real / ".cache"},
        {"a folder holding the data home", link / ".local", {}, nullptr, real / ".cache"},
        {"inside the pictures", link / "Pictures/cache", {}, nullptr, real / ".cache"},
        {"the Trash", link / ".local/share/Trash/files", {}, nullptr, real / ".cache"},
        {"a data home elsewhere", t / "data", (t / "data").string(), nullptr, real / ".cache"},
        {"the Mac's cache folder", link / "Library/Caches", {}, nullptr, real / "Library/Caches"},
        {"a file, then ..", link / "file/../own", {}, nullptr, real / ".cache"},
        {"unset, ~/.cache a link to a folder of its own", {}, {}, "own", real / "own"},
        {"unset, ~/.cache a link to the pictures", {}, {}, "Pictures", std::nullopt},
        {"refused, ~/.cache a link to the documents", real / "Documents", {}, "Documents", std::nullopt},
        {"unset, ~/.cache a loop", {}, {}, ".cache", std::nullopt},
        {"unset, ~/.cache holding the data home", {}, (link / ".cache/share").string(), nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        const ScopedEnv data("XDG_DATA_HOME", c.dataHome);
        const ScopedEnv cache("XDG_CACHE_HOME", c.value ? std::optional(c.value->string()) : std::nullopt);
        if (c.dotCache) fs::create_symlink(c.dotCache, real / ".cache");
        // The folder used is the one judged: the value resolved.
        EXPECT_EQ(Platform::Locations::userCaches(), c.used) << c.name;
        fs::remove(real / ".cache");
    }
}
