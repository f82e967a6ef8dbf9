#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "Core/Clean/FakeHome.h"
#include "Core/Permissions.h"

using fakehome::FakeHome;
namespace fs = std::filesystem;

// Nothing of the user's own is withheld on this platform, so the Status tab never
// asks for the right, whatever the home holds.
TEST(Permissions, FullDiskAccessIsNeverMissingHere) {
    const fs::path tcc = "Library/Application Support/com.apple.TCC/TCC.db";
    const std::pair<const char*, std::function<void(const FakeHome&)>> homes[] = {
        {"a home without any of the macOS folders", [](const FakeHome&) {}},
        {"an unreadable privacy database", [&](const FakeHome& h) {
             h.file(tcc, 1);
             ::chmod((h / tcc).c_str(), 0);
         }},
        {"a browser folder that is a dangling link", [](const FakeHome& h) { h.link("Library/Safari", h.root() / "gone"); }},
    };
    for (const auto& [name, layout] : homes) {
        FakeHome h;
        layout(h);
        EXPECT_TRUE(Permissions::hasFullDiskAccess()) << name;
    }
}
