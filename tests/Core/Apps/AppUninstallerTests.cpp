// The installed-app list and the leftover finder over a fixture home laid out like
// a Mac's, with fixture bundles whose Info.plist is XML or binary.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "Core/Apps/AppFixtures.h"
#include "Core/Apps/AppUninstaller.h"
#include "Support/NestedPlists.h"
#include "Support/PeakMemory.h"

namespace fs = std::filesystem;
using appfixtures::bundle;

namespace {
std::vector<std::string> underHome(const fakehome::FakeHome& home, const std::vector<CleanItem>& items) {
    std::vector<std::string> out;
    for (const auto& i : items) out.push_back(i.url.lexically_relative(home.home()).string());
    return out;
}
}  // namespace

TEST(InstalledApps, ListsBundlesOfBothFoldersByNameAndLeavesOutTheRest) {
    fakehome::FakeHome home;
    const fs::path system = home.root() / "Applications", user = home / "Applications";
    const auto binary = appfixtures::Format::binary;
    bundle(home, system / "Beta.app", {{"CFBundleIdentifier", "com.beta"}, {"CFBundleDisplayName", "Beta"},
                                       {"CFBundleName", "Not shown"}});
    bundle(home, system / "alpha.app", {{"CFBundleIdentifier", "org.alpha"}, {"CFBundleName", "alpha"}}, binary);
    bundle(home, system / "Dup.app", {{"CFBundleIdentifier", "com.dup.system"}});
    bundle(home, user / "Dup.app", {{"CFBundleIdentifier", "com.dup.user"}}, binary);
    // Names lose their format-only characters, but a joined emoji or a tag-made flag stays whole.
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467",
                      scotland = "\U0001F3F4\U000E0067\U000E0062\U000E0073\U000E0063\U000E0074\U000E007F";
    bundle(home, user / "Émile.app", {{"CFBundleIdentifier", "fr.emile"}, {"CFBundleDisplayName", "\u200EÉmile"}});
    bundle(home, user / "Team.app", {{"CFBundleIdentifier", "com.team"}, {"CFBundleDisplayName", "Te\u00ADam " + family}});
    bundle(home, user / "Maps.app",
           {{"CFBundleIdentifier", "com.maps"}, {"CFBundleDisplayName", "Maps " + scotland + "\u2069"}});
    bundle(home, user / "Blank.app", {{"CFBundleIdentifier", "com.blank"}, {"CFBundleDisplayName", ""}});
    // Left out: Apple's own, no identifier, an upper-case extension, no bundle, a
    // property list that is no dictionary, and a fifo that must not hang the listing.
    bundle(home, system / "Safari.app", {{"CFBundleIdentifier", "com.apple.Safari"}});
    bundle(home, system / "NoID.app", {{"CFBundleName", "NoID"}});
    bundle(home, system / "Shout.APP", {{"CFBundleIdentifier", "com.shout"}});
    home.folder(system / "Empty.app/Contents");
    testtree::writeFile(system / "List.app/Contents/Info.plist", "<plist version=\"1.0\"><array/></plist>");
    fs::create_directories(user / "Fifo.app/Contents");
    ASSERT_EQ(::mkfifo((user / "Fifo.app/Contents/Info.plist").c_str(), 0600), 0);

    std::vector<std::tuple<std::string, std::string, fs::path>> got;
    for (const auto& a : AppUninstaller::installedApps({system, user, home.root() / "missing"}))
        got.emplace_back(a.name, a.bundleID, a.url);
    EXPECT_EQ(got, (decltype(got){{"", "com.blank", user / "Blank.app"},
                                  {"alpha", "org.alpha", system / "alpha.app"},
                                  {"Beta", "com.beta", system / "Beta.app"},
                                  {"Dup", "com.dup.system", system / "Dup.app"},
                                  {"Dup", "com.dup.user", user / "Dup.app"},
                                  {"Émile", "fr.emile", user / "Émile.app"},
                                  {"Maps " + scotland, "com.maps", user / "Maps.app"},
                                  {"Team " + family, "com.team", user / "Team.app"}}));
}

// An Info.plist of a few hundred kilobytes can nest deep enough to overflow any
// reader that recurses: such a bundle is one whose Info.plist cannot be read.
TEST(InstalledApps, ABundleWhoseInfoPlistNestsTooDeeplyIsLeftOutNotACrash) {
    using namespace nestedplists;
    fakehome::FakeHome home;
    bundle(home, "Applications/Plain.app", {{"CFBundleIdentifier", "com.plain"}});
    for (const auto& [name, plist] : {std::pair{"Xml", infoPlist(Format::xml, "com.x", 60000)},
                                      {"Binary", infoPlist(Format::binary, "com.b", 60000)}, {"Unfolding", unfolding(40)}})
        testtree::writeFile(home / "Applications" / (std::string(name) + ".app/Contents/Info.plist"), plist);
    const auto apps = AppUninstaller::installedApps({home / "Applications"});
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0].bundleID, "com.plain");
}

// An Info.plist of some tens of kilobytes naming one long text hundreds of times
// would cost hundreds of megabytes to read: the bundle is left out, and the
// listing's peak memory stays small.
TEST(InstalledApps, ABundleWhoseInfoPlistUnfoldsFarBeyondItsSizeIsLeftOutWithoutTheMemory) {
    using namespace nestedplists;
    fakehome::FakeHome home;
    bundle(home, "Applications/Plain.app", {{"CFBundleIdentifier", "com.plain"}});
    testtree::writeFile(home / "Applications/Copies.app/Contents/Info.plist",
                        naming(Binary::marker(0x5, 65536) + std::string(65536, 'x'), 500, "com.copies"));
    const auto peak = peakmemory::measure([&] {
        std::string ids;
        for (const auto& app : AppUninstaller::installedApps({home / "Applications"})) ids += app.bundleID + ";";
        return ids;
    });
    ASSERT_TRUE(peak);
    EXPECT_EQ(peak->said, "com.plain;");
    EXPECT_LT(peak->growthKiB, 16 * 1024);
}

// An Info.plist is read through the bounds every property list keeps: a long array
// in one pass, within 2 s and 64 MiB.
TEST(InstalledApps, ABundleWithALongArrayIsListedWithinTheBound) {
    fakehome::FakeHome home;
    testtree::writeFile(home / "Applications/X.app/Contents/Info.plist", nestedplists::longArray(100000, "com.long"));
    const auto peak = peakmemory::measure([&] {
        std::string ids;
        for (const auto& app : AppUninstaller::installedApps({home / "Applications"})) ids += app.bundleID + ";";
        return ids;
    }, 20);
    ASSERT_TRUE(peak) << "over 20 s";
    EXPECT_EQ(peak->said, "com.long;");
    EXPECT_LT(peak->seconds, peakmemory::kBoundSeconds);
    EXPECT_LT(peak->growthKiB, peakmemory::kBoundKiB);
}

TEST(AppFiles, BundleFirstThenEachLeftoverOnceInOrder) {
    fakehome::FakeHome home;
    const fs::path app = bundle(home, home.root() / "Applications/FooBar.app", {{"CFBundleIdentifier", "com.foo.bar"}});
    const AppUninstaller::InstalledApp foo{app, "Foo Bar", "com.foo.bar", 0};
    const std::vector<std::string> expected{
        "../Applications/FooBar.app", "Library/Application Support/Foo Bar", ".cache/FooBar",
        "Library/Logs/FooBar", ".cache/com.foo.bar", "Library/Containers/com.foo.bar",
        "Library/Preferences/com.foo.bar.plist", "Library/Saved Application State/com.foo.bar.savedState",
        "Library/HTTPStorages/com.foo.bar", "Library/HTTPStorages/com.foo.bar.binarycookies",
        "Library/WebKit/com.foo.bar", "Library/Cookies/com.foo.bar.binarycookies",
        "Library/Application Scripts/com.foo.bar", "Library/LaunchAgents/com.foo.bar.helper.plist",
        "Library/Group Containers/ABCDE12345.com.foo.bar", "Library/Preferences/com.foo.bar.extra.plist",
    };
    for (size_t i = 2; i < expected.size(); ++i) home.file(expected[i], 1);
    home.link("Library/Application Support/Foo Bar", home.folder("Elsewhere", 1));
    // Near misses: the id without the dot at the joint.
    for (const char* f : {"Preferences/com.foo.barX.plist", "LaunchAgents/xcom.foo.bar", "Group Containers/com.foo.bar2"})
        home.file(fs::path("Library") / f, 1);

    const auto items = AppUninstaller::files(foo, home.home());
    ASSERT_EQ(underHome(home, items), expected);
    EXPECT_EQ(items[0].size, 3 * fakehome::kBlock);  // the program and Info.plist
    EXPECT_EQ((std::vector<std::string>{items[0].note, items[13].note, items[14].note}),
              (std::vector<std::string>{"The app", "Launch agent", "Shared container"}));
    for (const auto& i : items) EXPECT_TRUE(i.category == CleanCategory::appLeftovers && i.risk == Risk::safe);

    // A bundle that is gone meanwhile still comes first.
    fs::remove_all(app);
    const auto after = AppUninstaller::files(foo, home.home());
    EXPECT_EQ(underHome(home, after), expected);
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
    home.folder(".cache", 1);  // the user cache folder
    for (const char* f : {"Preferences/com.other.plist", "Preferences/..plist", "LaunchAgents/com.other.agent.plist"})
        home.file(fs::path("Library") / f, 1);
    home.folder("Projects/thesis", 2);
    const HostileCase& c = GetParam();
    const auto key = [&](const std::string& k) { return k == "<home>" ? (home / "Projects").string() : k; };
    const fs::path app = bundle(home, home.root() / "Applications" / c.bundleFile, {{"CFBundleIdentifier", "x"}});

    const auto items = AppUninstaller::files({app, key(c.name), key(c.id), 0}, home.home());
    EXPECT_EQ(underHome(home, items), std::vector<std::string>{"../Applications/" + c.bundleFile});
}

INSTANTIATE_TEST_SUITE_P(
    Keys, HostileKeys,
    ::testing::Values(HostileCase{"EmptyIdAndName", "", "Blank.app", ""}, HostileCase{"DotId", ".", "Blank.app", "."},
                      HostileCase{"DotDotId", "..", "Blank.app", ".."}, HostileCase{"BundleNamedDot", "", "..app", ""},
                      HostileCase{"ShortIdCom", "", "Blank.app", "com"},
                      HostileCase{"ShortIdPlist", "", "Blank.app", "plist"},
                      HostileCase{"IdEndingInDot", "", "Blank.app", "com."},
                      HostileCase{"SlashInId", "a/b", "Blank.app", "com.other/../.."},
                      HostileCase{"RelativeEscape", "../../Projects", "Blank.app", "../../Projects"},
                      HostileCase{"AbsoluteKeys", "<home>", "Blank.app", "<home>"},
                      HostileCase{"RootName", "/", "Blank.app", std::string("com.x\0y", 7)}),
    [](const auto& info) { return std::string(info.param.label); });
