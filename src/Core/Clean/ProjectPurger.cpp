#include "Core/Clean/ProjectPurger.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <utility>

#include "Core/Localized.h"
#include "Core/Clean/ScanSupport.h"
#include "Platform/FileOps.h"
#include "Platform/Clock.h"

namespace fs = std::filesystem;
using ScanSupport::Clock;
using ScanSupport::Folder;

namespace ProjectPurger {
namespace {
constexpr int maximumDepth = 6;
constexpr int64_t minimumSize = 65536;

const std::unordered_map<std::string, const Artifact*>& byName() {
    static const auto map = [] {
        std::unordered_map<std::string, const Artifact*> m;
        for (const auto& a : artifacts()) m.emplace(a.folder, &a);
        return m;
    }();
    return map;
}

const std::unordered_set<std::string>& skipped() {
    static const std::unordered_set<std::string> s = {".git", ".hg", ".svn", "Library", ".Trash"};
    return s;
}

std::optional<Clock::time_point> activityIn(const Folder& project, const std::unordered_set<std::string>& names) {
    std::optional<Clock::time_point> latest;
    for (const auto& n : names) {
        if (byName().count(n)) continue;
        const auto st = project.status(n.c_str());
        if (!st) continue;
        const auto t = Platform::FileOps::modificationTime(*st);
        if (!latest || t > *latest) latest = t;
    }
    return latest;
}

struct Walk {
    struct Label {
        CleanItem item;  // all but its size
        std::optional<std::pair<dev_t, ino_t>> folder;
    };
    const SafetyGuard& safety;
    Clock::time_point cutoff;
    std::vector<CleanItem> found;
    std::set<std::pair<dev_t, ino_t>> walked;
    ScanSupport::Measuring<Label> measuring{safety};

    // What a root's walk found, measured all together.
    void measure() {
        measuring.measure([&](const fs::path&, int64_t size, Label& l) {
            // Measured once; a later root that names this folder does not walk it again.
            if (l.folder) walked.insert(*l.folder);
            l.item.size = size;
            found.push_back(std::move(l.item));
        });
    }

    void folder(Folder& f, const fs::path& path, int depth) {
        if (depth > maximumDepth) return;
        const auto self = f.status();
        if (!self || !walked.emplace(self->st_dev, self->st_ino).second) return;

        struct Entry {
            std::string name;
            bool isFolder;
        };
        std::vector<Entry> entries;
        std::unordered_set<std::string> names;
        while (const dirent* e = f.next()) {
            entries.push_back({e->d_name, f.isFolder(e)});
            names.insert(e->d_name);
        }

        std::optional<bool> stale;  // worked out once per project, when it has an artifact
        for (const auto& e : entries) {
            if (!e.isFolder) continue;
            const auto a = byName().find(e.name);
            if (a != byName().end() && artifactHere(*a->second, names)) {
                const fs::path url = path / e.name;
                if (!stale) stale = activityIn(f, names).value_or(ScanSupport::distantPast()) < cutoff;
                const Artifact& art = *a->second;
                const std::string note =
                    path.filename().string() + " · " + localized(*stale ? art.note : "used recently");
                std::optional<std::pair<dev_t, ino_t>> folder;
                if (const auto st = f.status(e.name.c_str())) folder.emplace(st->st_dev, st->st_ino);
                const Risk risk = *stale ? art.risk : Risk::review;
                measuring.add(url, minimumSize,
                              {ScanSupport::finding(url, 0, CleanCategory::projects, risk, note), folder});
                continue;
            }
            if (skipped().count(e.name)) continue;
            if (ScanSupport::isHidden(e.name.c_str()) && a == byName().end()) continue;
            if (depth + 1 > maximumDepth) continue;
            Folder child(f, e.name.c_str());
            if (child.isOpen()) folder(child, path / e.name, depth + 1);
        }
    }

    static bool artifactHere(const Artifact& a, const std::unordered_set<std::string>& names) {
        if (a.markers.empty()) return true;
        return std::any_of(a.markers.begin(), a.markers.end(), [&](const std::string& m) { return names.count(m); });
    }
};

// A folder holding ".git" (a folder, or a file in a worktree or submodule).
bool holdsRepository(const Folder& f) { return f.contains(".git"); }

std::vector<std::string> subFolders(Folder& f) {
    std::vector<std::string> out;
    while (const dirent* e = f.next())
        if (!ScanSupport::isHidden(e->d_name) && f.isFolder(e)) out.emplace_back(e->d_name);
    return out;
}

bool holdsProject(const fs::path& top) {
    Folder t(top);
    if (!t.isOpen()) return false;
    if (holdsRepository(t)) return true;
    const auto kids = subFolders(t);
    for (const auto& k : kids) {
        Folder kf(t, k.c_str());
        if (holdsRepository(kf)) return true;
    }
    const size_t limit = std::min<size_t>(kids.size(), 60);
    for (size_t i = 0; i < limit; ++i) {
        Folder kf(t, kids[i].c_str());
        for (const auto& g : subFolders(kf)) {
            Folder gf(kf, g.c_str());
            if (holdsRepository(gf)) return true;
        }
    }
    return false;
}
}  // namespace

const std::vector<Artifact>& artifacts() {
    static const std::vector<Artifact> list = {
        {"node_modules", {"package.json"}, Risk::safe, "npm install restores it"},
        {".next", {"package.json"}, Risk::safe, "Next.js build cache"},
        {".nuxt", {"package.json"}, Risk::safe, "Nuxt build cache"},
        {".svelte-kit", {"package.json"}, Risk::safe, "SvelteKit output"},
        {".turbo", {"package.json", "turbo.json"}, Risk::safe, "Turborepo cache"},
        {".parcel-cache", {"package.json"}, Risk::safe, "Parcel cache"},
        {".angular", {"angular.json"}, Risk::safe, "Angular cache"},
        {"dist", {"package.json"}, Risk::review, "Build output"},
        {"target", {"Cargo.toml", "pom.xml"}, Risk::safe, "Rust/Maven build output"},
        {".build", {"Package.swift"}, Risk::safe, "SwiftPM build output"},
        {"Pods", {"Podfile"}, Risk::safe, "pod install restores it"},
        {"build", {"build.gradle", "build.gradle.kts", "pubspec.yaml"}, Risk::safe, "Gradle/Flutter build output"},
        {".gradle", {"build.gradle", "build.gradle.kts", "settings.gradle"}, Risk::safe, "Per-project Gradle cache"},
        {".dart_tool", {"pubspec.yaml"}, Risk::safe, "Dart tool cache"},
        {".venv", {"pyproject.toml", "requirements.txt", "setup.py"}, Risk::review,
         "Virtualenv; recreate it to run the project"},
        {"venv", {"pyproject.toml", "requirements.txt", "setup.py"}, Risk::review,
         "Virtualenv; recreate it to run the project"},
        {"__pycache__", {}, Risk::safe, "Python bytecode"},
        {".pytest_cache", {}, Risk::safe, "pytest cache"},
        {".mypy_cache", {}, Risk::safe, "mypy cache"},
        {".ruff_cache", {}, Risk::safe, "Ruff cache"},
        {"vendor", {"composer.json"}, Risk::safe, "composer install restores it"},
        {"zig-out", {"build.zig"}, Risk::safe, "Zig build output"},
        {".zig-cache", {"build.zig"}, Risk::safe, "Zig cache"},
        {".output", {"nuxt.config.ts", "nuxt.config.js", "app.config.ts"}, Risk::safe, "Nuxt/Nitro build output"},
        {".expo", {"app.json", "app.config.js", "app.config.ts"}, Risk::safe, "Expo cache"},
        {".cache", {"gatsby-config.js", "gatsby-config.ts"}, Risk::safe, "Gatsby cache"},
        {"coverage", {"package.json"}, Risk::safe, "Test coverage report"},
        {".tox", {"tox.ini"}, Risk::safe, "tox environments"},
        {".nox", {"noxfile.py"}, Risk::safe, "nox environments"},
        {"DerivedData", {}, Risk::safe, "Xcode build output inside the project"},
    };
    return list;
}

std::vector<CleanItem> scan(const std::vector<fs::path>& roots, int staleDays, const SafetyGuard& safety) {
    Walk walk{safety, ScanSupport::daysBefore(Platform::clock().now(), staleDays), {}, {}};
    for (const auto& root : roots) {
        // "…/code/" names its findings after "code", not after an empty name.
        const fs::path base = root.has_filename() ? root : root.parent_path();
        Folder f(base);
        if (f.isOpen()) walk.folder(f, base, 0);
        walk.measure();
    }
    sortLargestFirst(walk.found);
    return std::move(walk.found);
}

std::vector<fs::path> discoveredRoots(const fs::path& home) {
    static const std::unordered_set<std::string> passedOver = {"Library", "Applications", "Pictures", "Movies",
                                                               "Music",   "Public",       "Downloads"};
    std::vector<fs::path> out;
    Folder h(home);
    while (const dirent* e = h.next()) {
        if (ScanSupport::isHidden(e->d_name) || passedOver.count(e->d_name) || !h.isFolder(e)) continue;
        const fs::path top = home / e->d_name;
        if (holdsProject(top)) out.push_back(top);
    }
    return out;
}

std::vector<fs::path> mergedRoots(const std::vector<fs::path>& roots) {
    std::set<std::string> paths;
    for (const auto& r : roots) {
        std::error_code ec;
        const fs::path standardized = SafetyGuard::standardized(r.string());
        fs::path resolved = fs::weakly_canonical(standardized, ec);
        if (ec || resolved.empty()) resolved = standardized;
        std::string p = resolved.string();
        while (p.size() > 1 && p.back() == '/') p.pop_back();
        paths.insert(std::move(p));
    }
    std::vector<fs::path> out;
    for (const auto& p : paths) {
        const bool nested = std::any_of(paths.begin(), paths.end(), [&](const std::string& o) {
            return o != p && SafetyGuard::isInside(p, o);
        });
        if (!nested) out.emplace_back(p);
    }
    return out;
}

std::optional<Clock::time_point> projectActivity(const fs::path& project, const std::unordered_set<std::string>& names) {
    Folder f(project);
    return activityIn(f, names);
}
}  // namespace ProjectPurger
