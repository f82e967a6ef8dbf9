// The installed-app list and the leftover finder over a fixture home laid out like
// a Mac's, with fixture bundles whose Info.plist is XML or binary.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <map>

#include "Core/Apps/AppUninstaller.h"
#include "Core/Apps/AppFixtures.h"

namespace fs = std::filesystem;
using AppUninstaller::InstalledApp;

namespace {
using appfixtures::bundle;
using appfixtures::Format;

std::vector<std::string> underHome(const fakehome::FakeHome& home, const std::vector<CleanItem>& items) {
    std::vector<std::string> out;
    for (const auto& i : items) out.push_back(i.url.lexically_relative(home.home()).string());
    return out;
}
}  // namespace

TEST(InstalledApps, ListsBundlesOfBothFoldersByNameAndLeavesOutTheRest) {
    fakehome::FakeHome home;
    const fs::path system = home.root() / "Applications", user = home / "Applications";
    bundle(home, system / "Beta.app", {{"CFBundleIdentifier", "com.beta"}, {"CFBundleDisplayName", "Beta"},
                                       {"CFBundleName", "Not shown"}});
    bundle(home, system / "alpha.app", {{"CFBundleIdentifier", "org.alpha"}, {"CFBundleName", "alpha"}},
           Format::binary);
    bundle(home, system / "Dup.app", {{"CFBundleIdentifier", "com.dup.system"}});
    bundle(home, user / "Dup.app", {{"CFBundleIdentifier", "com.dup.user"}}, Format::binary);
    bundle(home, user / "gamma.app", {{"CFBundleIdentifier", "net.gamma"}});
    bundle(home, user / "Émile.app", {{"CFBundleIdentifier", "fr.emile"}, {"CFBundleDisplayName", "\u200EÉmile"}});
    bundle(home, user / "Blank.app", {{"CFBundleIdentifier", "com.blank"}, {"CFBundleDisplayName", ""}});
    // Left out: Apple's own, no identifier, an upper-case extension, no bundle,
    // a property list that is no dictionary, and a fifo that must not hang the listing.
    bundle(home, system / "Safari.app", {{"CFBundleIdentifier", "com.apple.Safari"}});
    bundle(home, system / "NoID.app", {{"CFBundleName", "NoID"}});
    bundle(home, system / "Shout.APP", {{"CFBundleIdentifier", "com.shout"}});
    home.file(system / "notes.app.txt", 1);
    home.folder(system / "Empty.app/Contents");
    testtree::writeFile(system / "List.app/Contents/Info.plist", "<plist version=\"1.0\"><array/></plist>");
    fs::create_directories(user / "Fifo.app/Contents");
    ASSERT_EQ(::mkfifo((user / "Fifo.app/Contents/Info.plist").c_str(), 0600), 0);

    const auto apps = AppUninstaller::installedApps({system, user, home.root() / "missing"});
    std::vector<std::tuple<std::string, std::string, fs::path>> got;
    for (const auto& a : apps) {
        got.emplace_back(a.name, a.bundleID, a.url);
        EXPECT_EQ(a.size, 0);
    }
    const std::vector<std::tuple<std::string, std::string, fs::path>> expected{
        {"", "com.blank", user / "Blank.app"},          {"alpha", "org.alpha", system / "alpha.app"},
        {"Beta", "com.beta", system / "Beta.app"},      {"Dup", "com.dup.system", system / "Dup.app"},
        {"Dup", "com.dup.user", user / "Dup.app"},      {"Émile", "fr.emile", user / "Émile.app"},
        {"gamma", "net.gamma", user / "gamma.app"},
    };
    EXPECT_EQ(got, expected);
}

TEST(AppFiles, BundleFirstThenEachLeftoverOnceInOrder) {
    fakehome::FakeHome home;
    const fs::path app = bundle(home, home.root() / "Applications/FooBar.app", {{"CFBundleIdentifier", "com.foo.bar"}});
    const InstalledApp foo{app, "Foo Bar", "com.foo.bar", 0};
    home.folder("Library/Application Support/Foo Bar", 3);
    home.folder("Elsewhere/cache", 5);
    home.link("Library/Caches/FooBar", home / "Elsewhere/cache");
    home.folder("Library/Logs/FooBar", 1);
    home.folder("Library/Caches/com.foo.bar", 2);
    home.folder("Library/Containers/com.foo.bar", 4);
    home.file("Library/Preferences/com.foo.bar.plist", 1);
    home.folder("Library/Saved Application State/com.foo.bar.savedState", 1);
    home.folder("Library/HTTPStorages/com.foo.bar", 1);
    home.file("Library/HTTPStorages/com.foo.bar.binarycookies", 1);
    home.folder("Library/WebKit/com.foo.bar", 1);
    home.file("Library/Cookies/com.foo.bar.binarycookies", 1);
    home.folder("Library/Application Scripts/com.foo.bar", 1);
    home.file("Library/LaunchAgents/com.foo.bar.helper.plist", 1);
    home.folder("Library/Group Containers/ABCDE12345.com.foo.bar", 1);
    home.file("Library/Preferences/com.foo.bar.extra.plist", 1);
    // Near misses: the id without the dot at the joint.
    home.file("Library/Preferences/com.foo.barX.plist", 1);
    home.file("Library/LaunchAgents/xcom.foo.bar", 1);
    home.folder("Library/Group Containers/com.foo.barbaz", 1);

    const auto items = AppUninstaller::files(foo, home.home());
    const std::vector<std::string> expected{
        "../Applications/FooBar.app",
        "Library/Application Support/Foo Bar",
        "Library/Caches/FooBar",
        "Library/Logs/FooBar",
        "Library/Caches/com.foo.bar",
        "Library/Containers/com.foo.bar",
        "Library/Preferences/com.foo.bar.plist",
        "Library/Saved Application State/com.foo.bar.savedState",
        "Library/HTTPStorages/com.foo.bar",
        "Library/HTTPStorages/com.foo.bar.binarycookies",
        "Library/WebKit/com.foo.bar",
        "Library/Cookies/com.foo.bar.binarycookies",
        "Library/Application Scripts/com.foo.bar",
        "Library/LaunchAgents/com.foo.bar.helper.plist",
        "Library/Group Containers/ABCDE12345.com.foo.bar",
        "Library/Preferences/com.foo.bar.extra.plist",
    };
    ASSERT_EQ(underHome(home, items), expected);
    EXPECT_EQ(items[0].note, "The app");
    EXPECT_EQ(items[0].size, 3 * fakehome::kBlock);  // the program and Info.plist
    EXPECT_EQ(items[1].size, 3 * fakehome::kBlock);
    EXPECT_EQ(items[2].size, 0) << "a link counts nothing";
    EXPECT_EQ(items[6].note, "Preferences");
    EXPECT_EQ(items[13].note, "Launch agent");
    EXPECT_EQ(items[14].note, "Shared container");
    for (const auto& i : items) {
        EXPECT_EQ(i.category, CleanCategory::appLeftovers);
        EXPECT_EQ(i.risk, Risk::safe);
        EXPECT_FALSE(i.permanent || i.requiresAdmin || i.adminCommand);
    }

    // A bundle that is gone meanwhile still comes first.
    fs::remove_all(app);
    const auto after = AppUninstaller::files(foo, home.home());
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after[0].url, app);
    EXPECT_EQ(after[0].size, 0);
    EXPECT_EQ(after.size(), items.size());
}

struct HostileCase {
    const char* label;
    std::string name, bundleFile, id;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.label; }

class HostileKeys : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileKeys, NameNoSharedFolder) {
    fakehome::FakeHome home;
    // Shared folders and other apps' files, which no key may reach.
    for (const char* f : {"HTTPStorages", "WebKit", "Application Scripts", "Application Support", "Caches", "Logs",
                          "Containers", "Group Containers/group.com.other"})
        home.folder(fs::path("Library") / f, 1);
    home.file("Library/Preferences/com.other.plist", 1);
    home.file("Library/Preferences/..plist", 1);
    home.file("Library/LaunchAgents/com.other.agent.plist", 1);
    home.folder("Projects/thesis", 2);
    const HostileCase& c = GetParam();
    const std::string name = c.name == "<home>" ? (home / "Projects").string() : c.name;
    const std::string id = c.id == "<home>" ? (home / "Projects").string() : c.id;
    const fs::path app = bundle(home, home.root() / "Applications" / c.bundleFile, {{"CFBundleIdentifier", "x"}});

    const auto items = AppUninstaller::files({app, name, id, 0}, home.home());
    EXPECT_EQ(underHome(home, items), std::vector<std::string>{"../Applications/" + c.bundleFile});
}

INSTANTIATE_TEST_SUITE_P(
    Keys, HostileKeys,
    ::testing::Values(HostileCase{"EmptyIdAndName", "", "Blank.app", ""},
                      HostileCase{"DotId", ".", "Blank.app", "."},
                      HostileCase{"DotDotId", "..", "Blank.app", ".."},
                      HostileCase{"BundleNamedDot", "", "..app", ""},
                      HostileCase{"ShortIdCom", "", "Blank.app", "com"},
                      HostileCase{"ShortIdPlist", "", "Blank.app", "plist"},
                      HostileCase{"IdEndingInDot", "", "Blank.app", "com."},
                      HostileCase{"SlashInId", "a/b", "Blank.app", "com.other/../.."},
                      HostileCase{"RelativeEscape", "../../Projects", "Blank.app", "../../Projects"},
                      HostileCase{"AbsoluteKeys", "<home>", "Blank.app", "<home>"},
                      HostileCase{"RootName", "/", "Blank.app", std::string("com.x\0y", 7)}),
    [](const auto& info) { return std::string(info.param.label); });
