#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "Core/Clean/FakeHome.h"
#include "Core/Permissions.h"

using fakehome::FakeHome;
namespace fs = std::filesystem;

TEST(Permissions, AnyReadableProtectedLocationMeansFullDiskAccess) {
    const fs::path tcc = "Library/Application Support/com.apple.TCC/TCC.db";
    struct Case {
        const char* name;
        std::function<void(const FakeHome&)> layout;
        bool expected;
        bool needsNonRoot = false;
    } cases[] = {
        {"nothing there (as on Linux)", [](const FakeHome&) {}, false},
        {"privacy database", [&](const FakeHome& h) { h.file(tcc, 1); }, true},
        {"privacy database is a FIFO", [&](const FakeHome& h) {
             fs::create_directories((h / tcc).parent_path());
             ::mkfifo((h / tcc).c_str(), 0600);
         }, true},
        {"empty stocks container", [](const FakeHome& h) { fs::create_directories(h / "Library/Containers/com.apple.stocks"); }, true},
        {"browser folder", [](const FakeHome& h) { h.folder("Library/Safari", 1); }, true},
        {"browser folder is a dangling link", [](const FakeHome& h) { h.link("Library/Safari", h.root() / "gone"); }, false},
        {"unreadable database, the rest missing", [&](const FakeHome& h) {
             h.file(tcc, 1);
             ::chmod((h / tcc).c_str(), 0);
         }, false, true},
        {"unreadable browser folder", [](const FakeHome& h) {
             h.folder("Library/Safari", 1);
             ::chmod((h / "Library/Safari").c_str(), 0);
         }, false, true},
    };
    for (const auto& c : cases) {
        if (c.needsNonRoot && ::geteuid() == 0) continue;  // root reads everything
        FakeHome h;
        c.layout(h);
        EXPECT_EQ(Permissions::hasFullDiskAccess(), c.expected) << c.name;
    }
}
