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
