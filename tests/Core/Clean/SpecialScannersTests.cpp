#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>

#include "Core/Clean/FakeHome.h"
#include "Core/Clean/FileSizer.h"
#include "Core/Clean/ScanExpectations.h"
#include "Core/Clean/SpecialScanners.h"

using fakehome::FakeHome;
using fakehome::kBlock;
using scanexpect::Finding;
using scanexpect::relative;
using scanexpect::sortedByPath;
namespace fs = std::filesystem;

namespace {
const fs::path kSupport = "Library/Application Support";
const CleanCategory appData = CleanCategory::appData;
const CleanCategory userCaches = CleanCategory::userCaches;
const CleanCategory editors = CleanCategory::editors;
const CleanCategory systemData = CleanCategory::systemData;
}  // namespace

TEST(AppWebCaches, FindsEngineCachesOfAppsButNotOfEditorsOrTheSystem) {
    FakeHome h;
    h.folder(kSupport / "Slack/GPUCache", 17);
    h.folder(kSupport / "Slack/Cache", 15);  // 61,440 bytes: below the minimum
    h.folder(kSupport / "Slack/Service Worker/CacheStorage", 16);
    h.folder(kSupport / "Slack/Service Worker/ScriptCache", 18);
    h.folder(kSupport / "Slack/Local Storage", 40);
    h.folder(kSupport / "Code/Cache", 40);
    h.folder(kSupport / "Code - Insiders/GPUCache", 40);
    h.folder(kSupport / "com.apple.Music/GPUCache", 40);
    h.folder(kSupport / ".hidden app/ShaderCache", 20);
    h.folder(kSupport / "Discord/DawnCache", 16);
    h.file(kSupport / "Notion/GPUCache", 16);  // a file in a cache's place counts as well
    ASSERT_EQ(FileSizer::size(h / kSupport / "Slack/Cache"), 65536 - kBlock);
    ASSERT_EQ(FileSizer::size(h / kSupport / "Discord/DawnCache"), 65536);

    struct Case {
        std::set<std::string> running;
        Risk discordRisk;
        const char* discordNote;
    } cases[] = {
        {{"Discord"}, Risk::review, "Discord \u00B7 running; quit it first"},
        {{"discord", "Slack Helper"}, Risk::safe, "Discord \u00B7 rebuilt on next launch"},  // exact names only
    };
    for (const auto& c : cases) {
        const auto items = SpecialScanners::appWebCaches(h.home(), c.running, h.guard());
        const std::string base = (kSupport / "").string();
        const std::vector<Finding> expected = {
            {base + ".hidden app/ShaderCache", 20 * kBlock, appData, Risk::safe, ".hidden app \u00B7 rebuilt on next launch"},
            {base + "Discord/DawnCache", 16 * kBlock, appData, c.discordRisk, c.discordNote},
            {base + "Notion/GPUCache", 16 * kBlock, appData, Risk::safe, "Notion \u00B7 rebuilt on next launch"},
            {base + "Slack/GPUCache", 17 * kBlock, appData, Risk::safe, "Slack \u00B7 rebuilt on next launch"},
            {base + "Slack/Service Worker/CacheStorage", 16 * kBlock, appData, Risk::safe, "Slack \u00B7 rebuilt on next launch"},
            {base + "Slack/Service Worker/ScriptCache", 18 * kBlock, appData, Risk::safe, "Slack \u00B7 rebuilt on next launch"},
        };
        EXPECT_EQ(sortedByPath(relative(items, h.home())), expected);
        // One app's caches come in the order of the cache names.
        std::vector<std::string> slack;
        for (const auto& f : relative(items, h.home()))
            if (f.path.find("/Slack/") != std::string::npos) slack.push_back(f.path.substr(base.size() + 6));
        EXPECT_EQ(slack, (std::vector<std::string>{"GPUCache", "Service Worker/CacheStorage", "Service Worker/ScriptCache"}));
    }
}

TEST(ContainerCaches, AreLabelledByTheInstalledApp) {
    FakeHome h;
    h.folder("Library/Containers/com.example.Notes/Data/Library/Caches", 16);
    h.folder("Library/Containers/org.unknown.Tool/Data/Library/Caches", 20);
    h.folder("Library/Containers/com.running.Box/Data/Library/Caches", 17);
    h.folder("Library/Containers/.com.hidden.Box/Data/Library/Caches", 30);
    h.folder("Library/Containers/com.small.Box/Data/Library/Caches", 15);
    h.folder("Library/Containers/com.nocache.Box/Data/Library/Preferences", 30);
    testtree::writeFile(h.root() / "share/applications/com.example.Notes.desktop",
                        "[Desktop Entry]\nType=Application\nName=Notes.app\nExec=notes\n");
    testtree::writeFile(h / ".local/share/applications/com.running.Box.desktop",
                        "[Desktop Entry]\nType=Application\nName=Box\nExec=box\n");

    const auto items = SpecialScanners::containerCaches(h.home(), {"com.running.Box"}, h.guard());
    const std::string c = "Library/Containers/";
    const std::vector<Finding> expected = {
        {c + "com.example.Notes/Data/Library/Caches", 16 * kBlock, userCaches, Risk::safe,
         "Notes \u00B7 rebuilt by the app on demand"},
        {c + "com.running.Box/Data/Library/Caches", 17 * kBlock, userCaches, Risk::review,
         "Box \u00B7 running; quit it first"},
        {c + "org.unknown.Tool/Data/Library/Caches", 20 * kBlock, userCaches, Risk::safe,
         "org.unknown.Tool \u00B7 rebuilt by the app on demand"},
    };
    EXPECT_EQ(sortedByPath(relative(items, h.home())), expected);
}

TEST(OldEditorExtensions, EachRootKeepsItsNewestVersion) {
    FakeHome h;
    const fs::path vs = ".vscode/extensions";
    h.folder(vs / "ms-python.python-2024.2.0", 2);
    h.folder(vs / "ms-python.python-2024.10.1", 1);
    h.folder(vs / "a.b-1.2", 0);  // empty: there is no minimum size
    h.folder(vs / "a.b-1.2.1", 1);
    h.folder(vs / "ver.num-1.10", 1);
    h.folder(vs / "ver.num-1.9", 3);
    h.folder(vs / "solo.ext-3.1.4", 5);
    h.folder(vs / "e.f-7", 5);  // one number only: no version
    h.folder(vs / "e.f-1.0", 5);
    h.folder(vs / "Upper.Case-1.0.0-Darwin", 5);  // a suffix must be lower case
    h.folder(vs / "Upper.Case-0.9.0", 5);
    h.file(vs / "extensions.json", 1);
    h.folder(".cursor/extensions/ms-python.python-2024.2.0", 1);
    h.folder(".cursor/extensions/ms-python.python-2023.1.0", 4);
    h.folder(".vscode-oss/extensions/prot.ext-1.0", 4);
    h.folder(".vscode-oss/extensions/prot.ext-2.0", 4);
    h.folder(".windsurf/extensions/x.y-1.0.0-darwin-arm64", 2);
    h.folder(".windsurf/extensions/x.y-1.0.0", 2);

    const auto items = SpecialScanners::oldEditorExtensions(
        h.home(), h.guard({"~/.vscode-oss/extensions/prot.ext-1.0"}));
    std::vector<Finding> found = sortedByPath(relative(items, h.home()));

    // Equal versions: whichever the folder lists first stays, the other goes.
    std::vector<Finding> windsurf;
    std::erase_if(found, [&](const Finding& f) {
        if (f.path.rfind(".windsurf/", 0) != 0) return false;
        windsurf.push_back(f);
        return true;
    });
    ASSERT_EQ(windsurf.size(), 1u);
    const std::string other = windsurf[0].path.find("darwin") != std::string::npos ? "x.y-1.0.0" : "x.y-1.0.0-darwin-arm64";
    EXPECT_EQ(windsurf[0].note, "Superseded by " + other);

    const std::vector<Finding> expected = {
        {".cursor/extensions/ms-python.python-2023.1.0", 4 * kBlock, editors, Risk::safe,
         "Superseded by ms-python.python-2024.2.0"},
        {".vscode/extensions/a.b-1.2", 0, editors, Risk::safe, "Superseded by a.b-1.2.1"},
        {".vscode/extensions/ms-python.python-2024.2.0", 2 * kBlock, editors, Risk::safe,
         "Superseded by ms-python.python-2024.10.1"},
        {".vscode/extensions/ver.num-1.9", 3 * kBlock, editors, Risk::safe, "Superseded by ver.num-1.10"},
    };
    EXPECT_EQ(found, expected);
}

namespace {
struct SystemFixture {
    FakeHome h;
    fs::path sys = h.root() / "sys";
    fs::path caches = sys / "Library/Caches";
    fs::path diag = sys / "Library/Logs/DiagnosticReports";
    fs::path log = sys / "private/var/log";

    SpecialScanners::SystemDataSources sources(const fs::path& tmutil, double timeout = 5) const {
        return {caches, {{diag, "System crash report"}, {log, "Rotated system log"}}, tmutil.string(), timeout};
    }
    SafetyGuard gate(std::vector<std::string> protectedPaths = {}) const {
        return h.guard(std::move(protectedPaths), {caches, diag, log});
    }
    fs::path tmutil(const std::string& body) const { return testtree::writeScript(h.root() / "tmutil", body); }
};

Finding snapshot(const fs::path& tmutil, const std::string& date) {
    return {"/.quelto-snapshot/" + date, 0, systemData, Risk::review,
            "Time Machine local snapshot " + date + "; size known only to APFS", true, true,
            tmutil.string() + " deletelocalsnapshots " + date};
}
}  // namespace

TEST(SystemData, FindsCachesOldReportsRotatedLogsAndSnapshotsInThatOrder) {
    SystemFixture f;
    auto& h = f.h;
    h.folder(f.caches / "com.apple.big", 40);
    h.folder(f.caches / "vendor.exact", 16);
    h.folder(f.caches / "vendor.small", 15);
    h.folder(f.caches / "vendor.kept", 20);
    h.folder(h.root() / "elsewhere", 40);
    h.link(f.caches / "linked", h.root() / "elsewhere");

    const auto week = std::chrono::seconds(604800);
    const auto old = h.now() - week - std::chrono::seconds(1);
    h.setDate(h.file(f.diag / "exactly-a-week.crash", 1), h.now() - week);
    h.setDate(h.file(f.diag / "older.ips", 1), old);
    h.setDate(h.bytes(f.diag / "empty.ips", 0), old);
    h.setDate(h.file(f.diag / "recent.crash", 1), h.daysAgo(1));
    h.setDate(h.folder(f.diag / "bundle.diag", 2), old);
    h.setDate(h.file(f.log / "system.log.0.gz", 1), old);
    h.setDate(h.file(f.log / "system.log", 2), old);
    h.setDate(h.file(f.log / "recent.bz2", 1), h.daysAgo(1));
    h.setDate(h.bytes(f.log / "empty.xz", 0), old);
    h.setDate(h.file(f.log / "older.xz", 3), old);

    const auto tmutil = f.tmutil("printf 'Snapshot dates for disk /:\\n2024-01-02-030405\\n2024-02-03-040506\\n'\n");
    const auto items = SpecialScanners::systemData(f.gate({(f.caches / "vendor.kept").string()}), f.sources(tmutil));
    const auto found = relative(items, f.sys);

    ASSERT_EQ(found.size(), 7u);
    const std::vector<Finding> caches(found.begin(), found.begin() + 1);
    const auto reports = sortedByPath(std::vector<Finding>(found.begin() + 1, found.begin() + 3));
    const auto logs = sortedByPath(std::vector<Finding>(found.begin() + 3, found.begin() + 5));
    const std::vector<Finding> snapshots(found.begin() + 5, found.end());
    const auto admin = [](std::string path, int64_t size, const char* note) {
        return Finding{std::move(path), size, systemData, Risk::safe, note, true, true};
    };
    EXPECT_EQ(caches, (std::vector<Finding>{admin("Library/Caches/vendor.exact", 16 * kBlock, "System-wide cache")}));
    EXPECT_EQ(reports, (std::vector<Finding>{
                           admin("Library/Logs/DiagnosticReports/bundle.diag", 2 * kBlock, "System crash report"),
                           admin("Library/Logs/DiagnosticReports/older.ips", kBlock, "System crash report")}));
    EXPECT_EQ(logs, (std::vector<Finding>{admin("private/var/log/older.xz", 3 * kBlock, "Rotated system log"),
                                          admin("private/var/log/system.log.0.gz", kBlock, "Rotated system log")}));
    EXPECT_EQ(snapshots, (std::vector<Finding>{snapshot(tmutil, "2024-01-02-030405"),
                                               snapshot(tmutil, "2024-02-03-040506")}));
}

TEST(SystemData, SnapshotListingIsReadOnlyFromACleanRun) {
    struct Case {
        const char* name;
        std::string script;  // empty: no program at all
        std::vector<std::string> dates;
        double timeout = 5;
    } cases[] = {
        {"header and two dates", "echo 'Snapshot dates for disk /:'; echo 2024-01-02-030405; echo 2024-02-03-040506\n",
         {"2024-01-02-030405", "2024-02-03-040506"}},
        {"spaces and tabs around a date", "printf '  2024-01-02-030405 \\t \\n\\n\\n'\n", {"2024-01-02-030405"}},
        {"full snapshot names", "echo com.apple.TimeMachine.2024-01-02-030405.local; echo 2024-01-02-030405x\n", {}},
        {"malformed dates", "echo 2024-1-02-030405; echo 20240102030405; echo 2024-01-02-03040\n", {}},
        {"failure exit", "echo 2024-01-02-030405; exit 1\n", {}},
        {"cannot start", "", {}},
        {"time-out", "echo 2024-01-02-030405; exec sleep 5\n", {}, 0.3},
    };
    for (const auto& c : cases) {
        SystemFixture f;
        const fs::path tmutil = c.script.empty() ? f.h.root() / "no-such-tmutil" : f.tmutil(c.script);
        const auto started = std::chrono::steady_clock::now();
        const auto items = SpecialScanners::systemData(f.gate(), f.sources(tmutil, c.timeout));
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << c.name;
        std::vector<Finding> expected;
        for (const auto& d : c.dates) expected.push_back(snapshot(tmutil, d));
        EXPECT_EQ(relative(items, f.sys), expected) << c.name;
    }
}
