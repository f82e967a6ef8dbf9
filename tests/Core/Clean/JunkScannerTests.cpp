#include <gtest/gtest.h>

#include <functional>

#include "Core/Clean/FakeHome.h"
#include "Core/Clean/FileSizer.h"
#include "Core/Clean/JunkScanner.h"
#include "Core/Clean/ScanExpectations.h"
#include "Core/Clean/SpecialScanners.h"
#include "Platform/Programs.h"

using fakehome::FakeHome;
using fakehome::kBlock;
using scanexpect::Finding;
using scanexpect::relative;
namespace fs = std::filesystem;
using C = CleanCategory;

namespace {
// The user cache folder: where the catalog's ~/Library/Caches is here.
const fs::path kCaches = ".cache";
const fs::path kXcode = "Library/Developer/Xcode";
const fs::path kTrash = ".local/share/Trash/files";

// The categories of the junk list.
std::set<CleanCategory> junkCategories() {
    return {CleanCategories::allCases.begin(), CleanCategories::allCases.begin() + 13};
}

// Points the snapshot listing at a script for the test's life.
class FakeTmutil {
public:
    FakeTmutil(const FakeHome& h, const std::string& body)
        : path_(testtree::writeScript(h.root() / "tmutil", body)) {
        Platform::Programs::setPathForTesting(Platform::Program::tmutil, path_.string());
    }
    ~FakeTmutil() { Platform::Programs::setPathForTesting(Platform::Program::tmutil, ""); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

bool systemFoldersPresent() {
    for (const auto& root : SpecialScanners::systemRoots())
        if (fs::exists(root)) return true;
    return false;
}

JunkScanner::Context context(const FakeHome& h, std::set<std::string> runningIDs = {},
                             std::vector<std::string> protectedPaths = {}) {
    return {h.home(), h.guard(std::move(protectedPaths)), std::move(runningIDs), {}, "org.quelto.Quelto"};
}

std::vector<CleanItem> scan(const std::set<CleanCategory>& categories, const JunkScanner::Context& ctx) {
    return JunkScanner().scan(categories, ctx, nullptr);
}

const CleanItem* find(const std::vector<CleanItem>& items, const fs::path& url) {
    for (const auto& item : items)
        if (item.url == url) return &item;
    return nullptr;
}
}  // namespace

TEST(JunkScanner, ScansAFullHomeIntoOneLargestFirstList) {
    if (systemFoldersPresent()) GTEST_SKIP() << "this machine has real system-data folders";
    FakeHome h;
    FakeTmutil tmutil(h, "echo 'Snapshot dates for disk /:'; echo 2024-05-06-070809\n");
    fs::create_directories(h / "Library/Safari");  // Full Disk Access
    h.folder("Library/Containers/com.example.Notes/Data/Library/Caches", 46);
    h.folder(kXcode / "DerivedData/App-abc", 45);
    h.folder("Library/Application Support/Code/Cache", 44);
    h.folder("Library/Application Support/Slack/GPUCache", 43);
    h.setDate(h.file("Downloads/movie.CRDOWNLOAD", 42), h.daysAgo(3));
    h.setDate(h.file("Downloads/fresh.part", 50), h.daysAgo(1));
    h.setDate(h.file("Downloads/.hidden.part", 50), h.daysAgo(3));
    h.setDate(h.file("Downloads/notes.pdf", 50), h.daysAgo(3));
    h.setDate(h.folder(kXcode / "iOS DeviceSupport/iPhone14,2 17.0 (21A329)", 41), h.daysAgo(30));
    h.setDate(h.folder(kXcode / "iOS DeviceSupport/iPhone14,2 17.1 (21B80)", 40), h.daysAgo(10));
    h.setDate(h.folder(kXcode / "iOS DeviceSupport/iPad13,1 16.4 (20E247)", 39), h.daysAgo(50));
    h.setDate(h.folder(kXcode / "watchOS DeviceSupport/iPhone14,2 9.0 (20R362)", 38), h.daysAgo(50));
    h.folder(kCaches / "com.vendor.app", 37);
    h.folder(kCaches / "com.apple.something", 36);
    h.folder(kCaches / "com.running.app", 35);
    h.folder(kCaches / "com.apple.running", 34);
    h.folder(kCaches / "Homebrew", 33);
    h.folder(kCaches / "Google/Chrome", 32);
    h.folder(kCaches / "Google/Other", 31);
    h.folder(kCaches / "com.apple.Safari", 30);
    h.folder(kCaches / "org.quelto.Quelto", 29);
    h.folder(kCaches / ".hidden", 28);
    h.setDate(h.file("Library/Logs/old.log", 27), h.daysAgo(3));
    h.setDate(h.file("Library/Logs/new.log", 26), h.daysAgo(0.05));
    h.folder(kCaches / "ms-playwright/chromium-1105", 25);
    h.folder(kCaches / "exact", 16);
    h.folder(kCaches / "small", 15);
    h.folder(".vscode/extensions/ms-x.y-1.0.0", 2);
    h.folder(".vscode/extensions/ms-x.y-1.1.0", 3);
    h.bytes(kTrash / "tiny.txt", 100);
    h.bytes(kTrash / "empty", 0);
    ASSERT_EQ(FileSizer::size(h / kCaches / "exact"), 65536);
    ASSERT_EQ(FileSizer::size(h / kTrash / "tiny.txt"), kBlock);

    std::vector<CleanCategory> progress;
    const auto items = JunkScanner().scan(junkCategories(), context(h, {"com.running.app", "com.apple.running"}),
                                          [&](CleanCategory c) { progress.push_back(c); });

    const auto safe = Risk::safe, review = Risk::review;
    const char* running = "App is running; quit it first for a clean result";
    const char* older = "Older iOS version; Xcode re-copies it if ever needed";
    const char* newest = "Newest \u2014 keep it if your device runs this version";
    const std::string ds = (kXcode / "iOS DeviceSupport/").string(), wds = (kXcode / "watchOS DeviceSupport/").string();
    const std::string lc = (kCaches / "").string(), tr = (kTrash / "").string();
    const std::vector<Finding> expected = {
        {"Library/Containers/com.example.Notes/Data/Library/Caches", 46 * kBlock, C::userCaches, safe,
         "com.example.Notes \u00B7 rebuilt by the app on demand"},
        {(kXcode / "DerivedData/App-abc").string(), 45 * kBlock, C::xcode, safe, "Build products and indexes; Xcode rebuilds them"},
        {"Library/Application Support/Code/Cache", 44 * kBlock, C::editors, safe, "Code \u00B7 cache"},
        {"Library/Application Support/Slack/GPUCache", 43 * kBlock, C::appData, safe, "Slack \u00B7 rebuilt on next launch"},
        {"Downloads/movie.CRDOWNLOAD", 42 * kBlock, C::downloads, safe, "Download that never finished"},
        {ds + "iPhone14,2 17.0 (21A329)", 41 * kBlock, C::xcode, safe, older},
        {ds + "iPhone14,2 17.1 (21B80)", 40 * kBlock, C::xcode, review, newest},
        {ds + "iPad13,1 16.4 (20E247)", 39 * kBlock, C::xcode, review, newest},
        {wds + "iPhone14,2 9.0 (20R362)", 38 * kBlock, C::xcode, review, newest},
        {lc + "com.vendor.app", 37 * kBlock, C::userCaches, review, "Regenerated by the app on demand"},
        {lc + "com.apple.something", 36 * kBlock, C::userCaches, review, "macOS system cache; rebuilt automatically"},
        {lc + "com.running.app", 35 * kBlock, C::userCaches, review, running},
        {lc + "com.apple.running", 34 * kBlock, C::userCaches, review, running},
        {lc + "Homebrew", 33 * kBlock, C::packageManagers, safe, "Homebrew downloads"},
        {lc + "Google/Chrome", 32 * kBlock, C::browsers, safe, "Chrome page cache; logins are kept"},
        {lc + "com.apple.Safari", 30 * kBlock, C::browsers, safe, "Safari page cache; logins are kept"},
        {lc + ".hidden", 28 * kBlock, C::userCaches, review, "Regenerated by the app on demand"},
        {"Library/Logs/old.log", 27 * kBlock, C::logs, safe, "Diagnostic logs"},
        {lc + "ms-playwright/chromium-1105", 25 * kBlock, C::devCaches, review,
         "Browsers for Playwright; re-downloaded on next install"},
        {lc + "exact", 16 * kBlock, C::userCaches, review, "Regenerated by the app on demand"},
        {".vscode/extensions/ms-x.y-1.0.0", 2 * kBlock, C::editors, safe, "Superseded by ms-x.y-1.1.0"},
        {tr + "tiny.txt", kBlock, C::trash, safe, "Already in the Trash", true},
        {tr + "empty", 0, C::trash, safe, "Already in the Trash", true},
        {"/.quelto-snapshot/2024-05-06-070809", 0, C::systemData, review,
         "Time Machine local snapshot 2024-05-06-070809; size known only to APFS", true, true,
         tmutil.path().string() + " deletelocalsnapshots 2024-05-06-070809"},
    };
    EXPECT_EQ(relative(items, h.home()), expected);

    // Each rule announces its category; the web caches and system data announce theirs after the catalog.
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.front(), C::xcode);
    EXPECT_EQ(std::vector<CleanCategory>(progress.end() - 3, progress.end()),
              (std::vector<CleanCategory>{C::trash, C::appData, C::systemData}));
}

TEST(JunkScanner, ProgressAndSpecialScannersFollowTheWantedCategories) {
    FakeHome h;
    fs::create_directories(h / "Library/Safari");
    h.folder("Library/Containers/com.example.Notes/Data/Library/Caches", 20);
    h.folder("Library/Application Support/Slack/GPUCache", 20);
    h.folder(".vscode/extensions/a.b-1.0", 1);
    h.folder(".vscode/extensions/a.b-2.0", 1);
    FakeTmutil tmutil(h, "echo 2024-05-06-070809\n");

    struct Case {
        const char* name;
        std::set<CleanCategory> wanted;
        std::vector<CleanCategory> progress;
        std::set<std::string> found;  // paths relative to home
    } cases[] = {
        {"nothing wanted", {}, {}, {}},
        {"caches", {C::userCaches},
         std::vector<CleanCategory>(8, C::userCaches),
         {"Library/Containers/com.example.Notes/Data/Library/Caches"}},
        {"web caches", {C::appData}, {C::appData}, {"Library/Application Support/Slack/GPUCache"}},
        {"editors", {C::editors}, std::vector<CleanCategory>(42, C::editors), {".vscode/extensions/a.b-1.0"}},
        {"trash and system data", {C::trash, C::systemData}, {C::trash, C::systemData},
         {"/.quelto-snapshot/2024-05-06-070809"}},
    };
    if (systemFoldersPresent()) GTEST_SKIP() << "this machine has real system-data folders";
    for (const auto& c : cases) {
        std::vector<CleanCategory> progress;
        const auto items =
            JunkScanner().scan(c.wanted, context(h), [&](CleanCategory cat) { progress.push_back(cat); });
        EXPECT_EQ(progress, c.progress) << c.name;
        std::set<std::string> found;
        for (const auto& f : relative(items, h.home())) found.insert(f.path);
        EXPECT_EQ(found, c.found) << c.name;
    }
}

TEST(JunkScanner, AgesAreJudgedAtTheCutOff) {
    struct Case {
        fs::path folder;
        CleanCategory category;
        double days;
    } cases[] = {
        {"Downloads", C::downloads, 2},
        {"Library/Logs", C::logs, 1},
        {"Library/Application Support/CrashReporter", C::logs, 7},
    };
    for (const auto& c : cases) {
        FakeHome h;
        const auto atCutOff = h / c.folder / "at-cut-off.part";
        const auto justNewer = h / c.folder / "just-newer.part";
        h.setDate(h.file(atCutOff, 16), h.daysAgo(c.days));
        h.setDate(h.file(justNewer, 16), h.daysAgo(c.days) + std::chrono::seconds(1));
        const auto items = scan({c.category}, context(h));
        EXPECT_TRUE(find(items, atCutOff)) << c.folder;
        EXPECT_FALSE(find(items, justNewer)) << c.folder;
    }
}

TEST(JunkScanner, LabelsAndBoundariesOfSingleCandidates) {
    const char* running = "App is running; quit it first for a clean result";
    struct Case {
        const char* name;
        fs::path where;  // relative to home
        int64_t bytes;
        std::set<CleanCategory> wanted;
        std::set<std::string> runningIDs;
        std::optional<Finding> expected;  // path relative to home
    } cases[] = {
        {"65,536 bytes of cache", kCaches / "vendor", 65536, {C::userCaches}, {},
         Finding{".cache/vendor", 65536, C::userCaches, Risk::review, "Regenerated by the app on demand"}},
        {"61,440 bytes of cache", kCaches / "vendor", 65536 - kBlock, {C::userCaches}, {}, std::nullopt},
        {"100 bytes in the Trash", kTrash / "note.txt", 100, {C::trash}, {},
         Finding{(kTrash / "note.txt").string(), kBlock, C::trash, Risk::safe, "Already in the Trash", true}},
        {"Safari's cache while Safari runs", kCaches / "com.apple.Safari", 65536, {C::userCaches, C::browsers},
         {"com.apple.Safari"}, Finding{".cache/com.apple.Safari", 65536, C::browsers, Risk::review, running}},
        {"Safari's cache is never a generic cache", kCaches / "com.apple.Safari", 65536, {C::userCaches}, {},
         std::nullopt},
        {"Homebrew's cache is never a generic cache", kCaches / "Homebrew", 65536, {C::userCaches}, {}, std::nullopt},
        {"a folder holding a rule's location", kCaches / "Google/Other", 65536 * 4, {C::userCaches}, {}, std::nullopt},
        {"own cache", kCaches / "org.quelto.Quelto", 65536, {C::userCaches}, {}, std::nullopt},
        {"running app in a rule of its own", "Library/Developer/Xcode/DerivedData/com.running.app", 65536, {C::xcode},
         {"com.running.app"}, Finding{"Library/Developer/Xcode/DerivedData/com.running.app", 65536, C::xcode,
                                      Risk::review, running}},
        {"an opened mail attachment", "Library/Containers/com.apple.mail/Data/Library/Mail Downloads/A1/x.pdf",
         65536, {C::mail}, {},
         Finding{"Library/Containers/com.apple.mail/Data/Library/Mail Downloads/A1", 65536, C::mail, Risk::safe,
                 "Copies of opened attachments; the originals stay in Mail"}},
        {"iOS backups", "Library/Application Support/MobileSync/Backup/00008030-ABC", 65536, {C::iosBackups}, {},
         Finding{"Library/Application Support/MobileSync/Backup/00008030-ABC", 65536, C::iosBackups, Risk::review,
                 "Local device backup; make sure it's not your only one"}},
    };
    for (const auto& c : cases) {
        FakeHome h;
        h.bytes(c.where, static_cast<size_t>(c.bytes));
        const auto items = scan(c.wanted, context(h, c.runningIDs));
        const auto found = relative(items, h.home());
        if (c.expected) {
            EXPECT_EQ(found, std::vector<Finding>{*c.expected}) << c.name;
        } else {
            EXPECT_TRUE(found.empty()) << c.name << ": " << testing::PrintToString(found);
        }
    }
}

TEST(JunkScanner, APathFoundTwiceIsKeptAsTheCatalogFoundIt) {
    FakeHome h;
    // An old crash-reporter entry that also looks like the web cache of an app "CrashReporter".
    const fs::path cache = h / "Library/Application Support/CrashReporter/Cache";
    h.setDate(h.folder(cache, 16), h.daysAgo(8));
    const auto found = relative(scan({C::logs, C::appData}, context(h)), h.home());
    EXPECT_EQ(found, (std::vector<Finding>{{"Library/Application Support/CrashReporter/Cache", 65536, C::logs,
                                            Risk::safe, "Old crash reporter data"}}));
}

TEST(JunkScanner, TheTrashIsTheUsersFreedesktopTrash) {
    FakeHome h;
    h.bytes(".Trash/old-style", 100);
    h.bytes(kTrash / "trashed", 100);
    const auto items = scan({C::trash}, context(h));
    EXPECT_EQ(scanexpect::paths(items), (std::vector<std::string>{(h / kTrash / "trashed").string()}));

    // A home reached through a link: the Trash is found under the resolved home the gate knows.
    const fs::path linked = h.link(h.root() / "linked-home", h.home());
    testtree::ScopedEnv home("HOME", linked.string());
    testtree::ScopedEnv data("XDG_DATA_HOME", (linked / ".local/share").string());
    EXPECT_EQ(scanexpect::paths(scan({C::trash}, context(h))),
              (std::vector<std::string>{(h / kTrash / "trashed").string()}));
}

TEST(JunkScanner, RetiresAllButTheNewestDeviceSupportPerGroup) {
    FakeHome h;
    const fs::path ios = h / kXcode / "iOS DeviceSupport", watch = h / kXcode / "watchOS DeviceSupport";
    struct Entry {
        fs::path url;
        std::optional<double> daysAgo;  // nothing: no such folder, so no date
        Risk risk;                      // expected
    } entries[] = {
        {ios / "iPhone15,2 17.0 (21A329)", 30, Risk::safe},
        {ios / "iPhone15,2 17.2 (21C62)", 5, Risk::review},   // newest of its group
        {ios / "iPhone15,2 17.1 (21B74)", 5, Risk::safe},     // same date, listed later
        {ios / "iPad 16.0", std::nullopt, Risk::safe},        // no date: the distant past
        {ios / "iPad 16.1", 400, Risk::review},
        {ios / "   ", 1, Risk::review},                        // no word: the whole name is the key
        {ios / "  ", 2, Risk::review},
        {watch / "iPhone15,2 10.0 (21R355)", 50, Risk::review},  // another parent, another group
        {h / "Library/Developer/Xcode/Archives/iPhone15,2 1.0", 1, Risk::review},  // not device support
    };
    std::vector<CleanItem> items;
    for (const auto& e : entries) {
        if (e.daysAgo) h.setDate(h.folder(e.url, 0), h.daysAgo(*e.daysAgo));
        items.push_back({e.url, 42, C::xcode, Risk::review, "as scanned", true, true, std::string("cmd")});
    }
    const auto out = JunkScanner::retireOldDeviceSupport(items);
    ASSERT_EQ(out.size(), items.size());
    for (size_t i = 0; i < out.size(); ++i) {
        const auto& e = entries[i];
        SCOPED_TRACE(e.url.string());
        EXPECT_EQ(out[i].url, e.url);
        EXPECT_EQ(out[i].size, 42);
        EXPECT_EQ(out[i].category, C::xcode);
        if (i == items.size() - 1) {
            EXPECT_EQ(out[i], items[i]);
            continue;
        }
        EXPECT_EQ(out[i].risk, e.risk);
        EXPECT_EQ(out[i].note, e.risk == Risk::review ? "Newest \u2014 keep it if your device runs this version"
                                                      : "Older iOS version; Xcode re-copies it if ever needed");
        EXPECT_FALSE(out[i].permanent);
        EXPECT_FALSE(out[i].requiresAdmin);
        EXPECT_FALSE(out[i].adminCommand);
    }
}

// Protected paths, personal folders, links and system roots: whatever a scanner lists
// must pass the gate it was given, and nothing reached through a link comes back.
TEST(JunkScanner, NothingUnsafeComesBackFromAnyScanner) {
    FakeHome h;
    const fs::path out = h.root() / "outside";
    fs::create_directories(h / "Library/Safari");
    const fs::path as = "Library/Application Support";

    // Found, so the test is not vacuous.
    h.folder(kCaches / "com.ok.app", 20);
    h.folder(as / "Figma/GPUCache", 20);
    h.folder("Library/Containers/com.ok.box/Data/Library/Caches", 20);
    h.folder(".vscode/extensions/ok.ext-1.0", 1);
    h.folder(".vscode/extensions/ok.ext-2.0", 1);

    const std::vector<std::string> protectedPaths = {
        "~/.cache/com.keep.app",         "~/Library/Application Support/Slack",
        "~/.vscode/extensions/a.b-1.0",  "~/Library/Containers/com.keep.box",
        "~/Downloads/keep.part",         "~/.local/share/Trash/files/kept.txt",
        (h / kXcode / "iOS DeviceSupport").string()};
    h.folder(kCaches / "com.keep.app", 20);
    h.folder(as / "Slack/GPUCache", 20);
    h.folder(".vscode/extensions/a.b-1.0", 1);
    h.folder(".vscode/extensions/a.b-2.0", 1);
    h.folder("Library/Containers/com.keep.box/Data/Library/Caches", 20);
    h.setDate(h.file("Downloads/keep.part", 20), h.daysAgo(10));
    h.bytes(kTrash / "kept.txt", 100);
    h.folder(kXcode / "iOS DeviceSupport/iPhone 17.0", 20);

    // Personal data and system folders that scanners pass by.
    h.folder(as / "AddressBook/Cache", 20);
    h.folder(as / "com.apple.TCC/GPUCache", 20);
    h.folder("Library/Mail/V10/Cache", 20);
    h.folder(".ssh/Cache", 20);
    h.folder("Pictures/Cache", 20);

    // Folders reached through links.
    h.folder(out / "dd/App-abc", 20);
    h.link(kXcode / "DerivedData", out / "dd");
    h.folder(out / "discord/GPUCache", 20);
    h.link(as / "Discord", out / "discord");
    h.folder(out / "cursor/extensions/p.q-1.0", 1);
    h.folder(out / "cursor/extensions/p.q-2.0", 1);
    h.link(".cursor", out / "cursor");
    h.folder(out / "box/Data/Library/Caches", 20);
    h.link("Library/Containers/com.link.box", out / "box");
    h.folder(out / "big", 20);
    h.link(kCaches / "linkedcache", out / "big");
    h.setDate(h.file(out / "logs/old.log", 20), h.daysAgo(10));
    h.link("Library/Logs", out / "logs");

    auto ctx = context(h, {}, protectedPaths);
    ctx.runningNames = {"Figma"};
    auto wanted = junkCategories();
    wanted.erase(C::systemData);  // the real system folders; covered below with fixture roots
    auto items = scan(wanted, ctx);

    // System data with fixture roots: a root that is a link, a protected report, a linked report.
    const fs::path sys = h.root() / "sys";
    const fs::path caches = sys / "Library/Caches", diag = sys / "Library/Logs/DiagnosticReports",
                   log = sys / "private/var/log";
    h.folder(out / "syscaches/vendor", 20);
    h.link(caches, out / "syscaches");
    h.setDate(h.file(diag / "kept.ips", 2), h.daysAgo(10));
    h.setDate(h.file(diag / "ok.ips", 2), h.daysAgo(10));
    h.setDate(h.folder(out / "report", 2), h.daysAgo(10));
    h.link(diag / "linked.ips", out / "report");
    h.setDate(h.file(log / "kept.gz", 2), h.daysAgo(10));
    auto sysProtected = protectedPaths;
    sysProtected.push_back((diag / "kept.ips").string());
    sysProtected.push_back((log / "kept.gz").string());
    const SafetyGuard sysGate(h.home(), sysProtected, {caches, diag, log});
    const auto system = SpecialScanners::systemData(
        sysGate, {caches, {{diag, "System crash report"}, {log, "Rotated system log"}},
                  (h.root() / "no-tmutil").string(), 1});
    items.insert(items.end(), system.begin(), system.end());

    const std::set<fs::path> expected = {h / kCaches / "com.ok.app", h / as / "Figma/GPUCache",
                                         h / "Library/Containers/com.ok.box/Data/Library/Caches",
                                         h / ".vscode/extensions/ok.ext-1.0", diag / "ok.ips"};
    std::set<fs::path> found;
    for (const auto& item : items) {
        found.insert(item.url);
        EXPECT_TRUE(sysGate.check(item.url).isAllowed()) << item.url << ": " << sysGate.check(item.url).reason;
    }
    EXPECT_EQ(found, expected);
    const auto* figma = find(items, h / as / "Figma/GPUCache");
    ASSERT_TRUE(figma);
    EXPECT_EQ(figma->risk, Risk::review);
}

// A Linux home's user cache folder as its tools leave it: the System scan lists each
// folder once, under the first rule that names it; the generic rule's entries are
// offered for review (not preselected) and never what a rule or the AI scan owns; the
// same where $XDG_CACHE_HOME names another folder of the home. One outside the home is
// beyond the gate: nothing in it is offered.
TEST(JunkScanner, TheUserCacheFolderOfThisPlatform) {
    for (const char* where : {"home/.cache", "home/.local/var/cache", "elsewhere/cache"}) {
        SCOPED_TRACE(where);
        FakeHome h;
        const fs::path cache = h.root() / where;
        const bool offered = std::string(where).rfind("home/", 0) == 0;
        testtree::ScopedEnv env("XDG_CACHE_HOME", cache.string());
        const char* regenerated = "Regenerated by the app on demand";
        const auto safe = Risk::safe, review = Risk::review;
        // An entry of the cache folder that no rule names.
        const auto entry = [&](const char* path) { return Finding{path, 0, C::userCaches, review, regenerated}; };
        struct Row {
            const char* data;  // a file of `blocks` blocks below the cache folder
            int64_t blocks;
            std::optional<Finding> system = std::nullopt;  // what the System scan lists for it
            std::optional<Finding> ai = std::nullopt;      // what the AI scan lists for it
        } rows[] = {
            {"pip/http/a/b/wheel", 40, Finding{"pip", 0, C::packageManagers, safe, "pip download cache"}},
            // Named twice in the catalog, as ~/.cache/… and as ~/Library/Caches/….
            {"node-gyp/20.0/include/node.h", 39,
             Finding{"node-gyp", 0, C::devCaches, safe, "node-gyp headers"}},
            {"typescript/5.4/x.d.ts", 38,
             Finding{"typescript", 0, C::devCaches, safe, "TypeScript type cache"}},
            {"uv/archive/pkg", 37, Finding{"uv", 0, C::packageManagers, safe, "uv download cache"}},
            {"JetBrains/IntelliJIdea2024.1/index", 36,
             Finding{"JetBrains/IntelliJIdea2024.1", 0, C::devCaches, safe,
                     "JetBrains IDE caches and indexes; rebuilt on next open"}},
            {"google-chrome/Default/Cache/data", 35, entry("google-chrome")},
            {"mozilla/firefox/a.default/cache2/e", 34, entry("mozilla")},
            {"thumbnails/large/t.png", 33, entry("thumbnails")},
            {"fontconfig/f.cache-8", 32, entry("fontconfig")},
            {"torch/hub/checkpoints/resnet.pth", 31, entry("torch")},  // a model hub nobody names
            // Desktop ids come in any case; the running one here is "VLC".
            {"vlc/art/cover", 30,
             Finding{"vlc", 0, C::userCaches, review, "App is running; quit it first for a clean result"}},
            {"huggingface/hub/models--org--bert/blob", 29, std::nullopt,
             Finding{"huggingface/hub/models--org--bert", 0, C::aiModels, review, "Hugging Face"}},
            {"lm-studio/models/acme/m-7b/w.gguf", 28, std::nullopt,
             Finding{"lm-studio/models/acme/m-7b", 0, C::aiModels, review, "LM Studio · acme"}},
            {"codex-runtimes/node/bin", 27, std::nullopt,
             Finding{"codex-runtimes", 0, C::aiCaches, safe, "Codex runtimes; re-downloaded when needed"}},
            {"tiny/x", 15, std::nullopt},  // under the minimum
        };
        std::vector<Finding> system, ai;
        for (const auto& r : rows) {
            h.file(cache / r.data, r.blocks);
            for (auto [expected, list] : {std::pair{r.system, &system}, std::pair{r.ai, &ai}})
                if (expected && offered) {
                    expected->size = r.blocks * kBlock;
                    list->push_back(*expected);
                }
        }
        auto wanted = junkCategories();
        wanted.erase(C::systemData);  // this machine's own system folders
        EXPECT_EQ(relative(scan(wanted, context(h, {"VLC"})), cache), system);
        EXPECT_EQ(relative(SpecialScanners::ai(h.home(), h.guard(), 90), cache), ai);
    }
}
