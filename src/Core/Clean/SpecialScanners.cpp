#include "Core/Clean/SpecialScanners.h"

#include <algorithm>
#include <optional>
#include <regex>
#include <unordered_map>

#include "Core/Clean/Catalog.h"
#include "Core/Localized.h"
#include "Core/Permissions.h"
#include "Core/Clean/ScanSupport.h"
#include "Core/Clean/Shell.h"
#include "Platform/AsciiText.h"
#include "Platform/Clock.h"
#include "Platform/FileOps.h"
#include "Platform/Programs.h"
#include "Platform/Workspace.h"

namespace fs = std::filesystem;

namespace {
constexpr int64_t kMinimumCacheSize = 65536;
constexpr int64_t kLogAgeSeconds = 604800;

// Entry names of a folder, hidden ones included; nothing when it cannot be opened.
std::optional<std::vector<std::string>> names(const fs::path& folder) {
    ScanSupport::Folder dir(folder);
    if (!dir.isOpen()) return std::nullopt;
    std::vector<std::string> out;
    while (const dirent* e = dir.next()) out.emplace_back(e->d_name);
    return out;
}

// Four digits, dash, two, dash, two, dash, six: the whole line.
bool isSnapshotDate(const std::string& s) {
    if (s.size() != 17) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const bool dash = i == 4 || i == 7 || i == 10;
        if (dash ? s[i] != '-' : (s[i] < '0' || s[i] > '9')) return false;
    }
    return true;
}

CleanItem adminFinding(fs::path url, int64_t size, Risk risk, std::string note,
                       std::optional<std::string> command = std::nullopt) {
    return CleanItem{std::move(url), size, CleanCategory::systemData, risk, std::move(note), true, true,
                     std::move(command)};
}

struct Version {
    std::string name;
    std::string number;  // dotted digits only
};
}  // namespace

namespace SpecialScanners {
const std::vector<fs::path>& systemRoots() {
    static const std::vector<fs::path> roots = {
        "/Library/Caches", "/Library/Logs/DiagnosticReports", "/private/var/log"};
    return roots;
}

SafetyGuard systemGate(const fs::path& home, const std::vector<std::string>& protectedPaths) {
    return SafetyGuard(SafetyGuard::standardized(home.string()), protectedPaths, systemRoots());
}

const std::vector<std::string>& webCacheNames() {
    static const std::vector<std::string> list = {
        "Cache",         "Code Cache",   "GPUCache",      "DawnCache",
        "DawnGraphiteCache", "DawnWebGPUCache", "ShaderCache", "GrShaderCache",
        "Service Worker/CacheStorage", "Service Worker/ScriptCache"};
    return list;
}

std::vector<CleanItem> appWebCaches(const fs::path& home, const std::set<std::string>& runningNames,
                                    const SafetyGuard& safety) {
    std::vector<CleanItem> items;
    const fs::path support = home / "Library/Application Support";
    const auto apps = names(support);
    if (!apps) return items;
    const auto& editors = Catalog::editorFolderNames();
    for (const std::string& app : *apps) {
        if (ScanSupport::startsWith(app, "com.apple.")) continue;
        if (std::find(editors.begin(), editors.end(), app) != editors.end()) continue;
        const bool running = runningNames.count(app) > 0;
        for (const std::string& cache : webCacheNames()) {
            fs::path url = support / app / cache;
            if (!Platform::FileOps::exists(url)) continue;
            const auto size = ScanSupport::admittedSize(url, safety, kMinimumCacheSize);
            if (!size) continue;
            items.push_back(ScanSupport::finding(
                std::move(url), *size, CleanCategory::appData, running ? Risk::review : Risk::safe,
                app + " \u00B7 " + localized(running ? "running; quit it first" : "rebuilt on next launch")));
        }
    }
    return items;
}

std::vector<CleanItem> containerCaches(const fs::path& home, const std::set<std::string>& runningBundleIDs,
                                       const SafetyGuard& safety) {
    std::vector<CleanItem> items;
    if (!Permissions::hasFullDiskAccess()) return items;
    const fs::path containers = home / "Library/Containers";
    const auto ids = names(containers);
    if (!ids) return items;
    for (const std::string& id : *ids) {
        if (ScanSupport::isHidden(id.c_str())) continue;
        fs::path url = containers / id / "Data/Library/Caches";
        if (!Platform::FileOps::exists(url)) continue;
        const auto size = ScanSupport::admittedSize(url, safety, kMinimumCacheSize);
        if (!size) continue;
        std::string label = id;
        if (const auto app = Platform::Workspace::urlForApplication(id)) {
            label = Platform::Workspace::displayName(*app);
            for (auto at = label.find(".app"); at != std::string::npos; at = label.find(".app", at))
                label.erase(at, 4);
        }
        const bool running = runningBundleIDs.count(id) > 0;
        items.push_back(ScanSupport::finding(
            std::move(url), *size, CleanCategory::userCaches, running ? Risk::review : Risk::safe,
            label + " \u00B7 " + localized(running ? "running; quit it first" : "rebuilt by the app on demand")));
    }
    return items;
}

std::vector<CleanItem> oldEditorExtensions(const fs::path& home, const SafetyGuard& safety) {
    static const char* const roots[] = {".vscode/extensions", ".vscode-insiders/extensions",
                                        ".cursor/extensions", ".windsurf/extensions", ".vscode-oss/extensions"};
    static const std::regex pattern(R"(-(\d+(?:\.\d+)+)(?:-[a-z0-9-]+)?$)");
    std::vector<CleanItem> items;
    for (const char* root : roots) {
        const fs::path folder = home / root;
        const auto entries = names(folder);
        if (!entries) continue;
        // Identifiers in the order first seen, so the result does not depend on hashing.
        std::vector<std::string> order;
        std::unordered_map<std::string, std::vector<Version>> versions;
        for (const std::string& name : *entries) {
            std::smatch m;
            if (!std::regex_search(name, m, pattern)) continue;
            const std::string identifier = name.substr(0, static_cast<size_t>(m.position(0)));
            auto [it, added] = versions.try_emplace(identifier);
            if (added) order.push_back(identifier);
            it->second.push_back({name, m.str(1)});
        }
        for (const std::string& identifier : order) {
            const auto& list = versions[identifier];
            if (list.size() < 2) continue;
            const Version* newest = &list.front();
            for (const auto& v : list)
                if (ScanSupport::compareVersions(v.number, newest->number) > 0) newest = &v;
            for (const auto& v : list) {
                if (v.name == newest->name) continue;
                fs::path url = folder / v.name;
                const auto size = ScanSupport::admittedSize(url, safety);
                if (!size) continue;
                items.push_back(ScanSupport::finding(std::move(url), *size, CleanCategory::editors, Risk::safe,
                                                     localizedFormat("Superseded by %@", {newest->name})));
            }
        }
    }
    return items;
}

SystemDataSources defaultSystemDataSources() {
    const auto& roots = systemRoots();
    return SystemDataSources{roots[0],
                             {{roots[1], "System crash report"}, {roots[2], "Rotated system log"}},
                             Platform::Programs::path(Platform::Program::tmutil),
                             20};
}

std::vector<CleanItem> systemData(const SafetyGuard& safety) {
    return systemData(safety, defaultSystemDataSources());
}

std::vector<CleanItem> systemData(const SafetyGuard& safety, const SystemDataSources& sources) {
    std::vector<CleanItem> items;
    const auto cutoff = ScanSupport::before(Platform::clock().now(), kLogAgeSeconds);

    if (const auto entries = names(sources.caches)) {
        for (const std::string& name : *entries) {
            if (ScanSupport::startsWith(name, "com.apple.")) continue;
            fs::path url = sources.caches / name;
            const auto size = ScanSupport::admittedSize(url, safety, kMinimumCacheSize);
            if (!size) continue;
            items.push_back(adminFinding(std::move(url), *size, Risk::safe, localized("System-wide cache")));
        }
    }

    for (const auto& [root, note] : sources.logs) {
        const auto entries = names(root);
        if (!entries) continue;
        const bool crashReports = ScanSupport::endsWith(root.string(), "DiagnosticReports");
        for (const std::string& name : *entries) {
            const std::string ext = ScanSupport::extension(name);
            if (!crashReports && ext != "gz" && ext != "bz2" && ext != "xz") continue;
            fs::path url = root / name;
            const auto date = Platform::FileOps::modificationDate(url);
            if (!date || !(*date < cutoff)) continue;
            const auto size = ScanSupport::admittedSize(url, safety, 1);
            if (!size) continue;
            items.push_back(adminFinding(std::move(url), *size, Risk::safe, localized(note)));
        }
    }

    const auto listing = Shell::run(sources.tmutil, {"listlocalsnapshotdates", "/"}, sources.snapshotTimeout);
    if (listing.status == 0) {
        size_t i = 0;
        const std::string& out = listing.output;
        while (i < out.size()) {
            size_t j = out.find('\n', i);
            if (j == std::string::npos) j = out.size();
            const std::string date(Platform::trimmed(std::string_view(out).substr(i, j - i), " \t"));
            i = j + 1;
            if (!isSnapshotDate(date)) continue;
            items.push_back(adminFinding(
                "/.quelto-snapshot/" + date, 0, Risk::review,
                localizedFormat("Time Machine local snapshot %@; size known only to APFS", {date}),
                sources.tmutil + " deletelocalsnapshots " + date));
        }
    }
    return items;
}
}  // namespace SpecialScanners
