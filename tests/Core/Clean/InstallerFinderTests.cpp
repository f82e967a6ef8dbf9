#include <gtest/gtest.h>

#include <algorithm>

#include "Core/Clean/InstallerFinder.h"
#include "Core/Clean/FakeHome.h"
#include "Core/Clean/ScanExpectations.h"

using namespace fakehome;
using namespace scanexpect;
using C = CleanCategory;

namespace {
constexpr int recentDays = 7;
const std::string oldNote = "Installer; the app it installed doesn't need it";

class InstallerFinderTest : public ::testing::Test {
protected:
    FakeHome h;
    fs::path apps = h.root() / "Applications";
    std::vector<fs::path> roots() const { return {h.home() / "Downloads", h.home() / "Desktop", h.home() / "Documents"}; }
    SafetyGuard guard(std::vector<std::string> protectedPaths = {}) const {
        return h.guard(std::move(protectedPaths), {apps});
    }
    std::vector<CleanItem> scan(const std::vector<fs::path>& r) {
        return InstallerFinder::scan(r, guard(), recentDays, apps);
    }
};

TEST_F(InstallerFinderTest, InstallersInTheRootsAndOneFolderDown) {
    const auto old = h.daysAgo(30);
    h.file("Downloads/Tool.DMG", 9, old);                // extensions compare lower-cased
    h.file("Downloads/sub/Setup.pkg", 8, old);           // level 2
    h.file("Downloads/sub/deeper/Deep.iso", 30, old);    // level 3: not looked at
    h.file("Downloads/.Hidden.dmg", 30, old);
    h.file("Downloads/.cache/Inner.dmg", 30, old);
    h.file("Downloads/Viewer.app/Bundled.dmg", 30, old);  // packages are not entered
    h.file("Downloads/Suite.mpkg/Contents/Packages/a.pkg", 7, old); // one finding, not entered
    h.dateTree("Downloads/Suite.mpkg", old);
    h.file("Desktop/Xcode.xip", 6);                      // downloaded just now
    h.file("Desktop/archive.zip", 30, old);
    h.file("Documents/empty.iso", 0, old);                // no minimum size
    h.file("Documents/notes.txt", 30, old);

    const std::vector<Finding> expected = {
        {"Downloads/Tool.DMG", 9 * kBlock, C::installers, Risk::safe, oldNote},
        {"Downloads/sub/Setup.pkg", 8 * kBlock, C::installers, Risk::safe, oldNote},
        {"Downloads/Suite.mpkg", 7 * kBlock, C::installers, Risk::safe, oldNote},
        {"Desktop/Xcode.xip", 6 * kBlock, C::installers, Risk::review, "Downloaded recently"},
        {"Documents/empty.iso", 0, C::installers, Risk::safe, oldNote},
    };
    auto found = scan(roots());
    // Equal sizes have no defined order; these all differ.
    EXPECT_EQ(rows(found, h.home()), expected);
    EXPECT_TRUE(plainFlags(found));
}

TEST(InstallerFinder, RecentMeansLaterThanTheCutoff) {
    struct {
        const char* name;
        std::chrono::nanoseconds offset;
        Risk risk;
    } const cases[] = {
        {"one nanosecond after the cut-off", std::chrono::nanoseconds(1), Risk::review},
        {"exactly at the cut-off", std::chrono::nanoseconds(0), Risk::safe},
        {"a second before", std::chrono::seconds(-1), Risk::safe},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHome h;
        h.file("Downloads/a.dmg", 1, h.now() - std::chrono::hours(24 * recentDays) + c.offset);
        const auto found = InstallerFinder::scan({h.home() / "Downloads"}, h.guard(), recentDays, h.root() / "none");
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].risk, c.risk);
    }
}

TEST_F(InstallerFinderTest, APathReachedThroughTwoRootsIsListedOnce) {
    h.file("Downloads/sub/a.pkg", 2);
    h.file("Downloads/b.dmg", 3);
    const auto found = scan({h.home() / "Downloads", h.home() / "Downloads/sub", h.home() / "Downloads/./"});
    auto p = paths(found, h.home());
    EXPECT_EQ(p, (std::vector<std::string>{"Downloads/b.dmg", "Downloads/sub/a.pkg"}));
}

TEST_F(InstallerFinderTest, MacOSInstallerAppsAreAlwaysSafe) {
    h.file("../Applications/Install macOS Sonoma.app/Contents/SharedSupport/x", 12);  // downloaded just now
    h.file("../Applications/Install macOS.app/x", 2);
    h.file("../Applications/Install Xcode.app/x", 30);
    h.file("../Applications/Install macOS Sonoma.app.zip", 30);
    h.file("../Applications/Other.app/x", 30);
    EXPECT_EQ(InstallerFinder::macOSInstallers(guard(), apps).size(), 2u);

    // Walking the folder adds nothing: apps are packages, and only installer apps are listed.
    const auto found = scan({apps});
    const std::string note = "macOS installer app; download it again from the App Store if ever needed";
    EXPECT_EQ(rows(found, h.root()), (std::vector<Finding>{
                                      {"Applications/Install macOS Sonoma.app", 12 * kBlock, C::installers,
                                       Risk::safe, note},
                                      {"Applications/Install macOS.app", 2 * kBlock, C::installers, Risk::safe, note},
                                  }));
    EXPECT_TRUE(InstallerFinder::macOSInstallers(guard(), h.root() / "missing").empty());
}

}  // namespace
