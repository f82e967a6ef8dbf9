#include "Core/Clean/JunkScanner.h"

#include <algorithm>
#include <map>
#include <unordered_set>

#include "Core/Localized.h"
#include "Core/Clean/ScanSupport.h"
#include "Core/Clean/SpecialScanners.h"
#include "Platform/AsciiText.h"
#include "Platform/Clock.h"
#include "Platform/FileOps.h"
#include "Platform/Locations.h"

namespace fs = std::filesystem;

namespace {
constexpr int64_t kMinimumSize = 65536;

std::string lastComponent(const fs::path& p) { return p.filename().string(); }

// Whether a folder is named after a running application. Here an application's
// identifier is its desktop id, which a cache folder may spell in another case: matched
// ignoring ASCII case, as the owner lookup matches them.
bool namesRunningApp(const std::string& name, const std::set<std::string>& bundleIDs) {
    if (bundleIDs.count(name)) return true;
    const std::string key = Platform::asciiLowercased(name);
    return std::any_of(bundleIDs.begin(), bundleIDs.end(),
                       [&](const std::string& id) { return Platform::asciiLowercased(id) == key; });
}
}  // namespace

std::optional<fs::path> JunkScanner::resolvedLocation(const CleanRule& rule, const fs::path& home) {
    // The user's Trash and cache folder are this platform's own; the rest of ~/Library
    // stays as written (and absent here). Where there is no cache folder, the rules in
    // it have no location.
    if (rule.category == CleanCategory::trash && rule.path == "~/.Trash")
        return ScanSupport::platformFolder(Platform::Locations::trashFiles(), home);
    if (ScanSupport::startsWith(rule.path, "~/"))
        return ScanSupport::inHome(std::string_view(rule.path).substr(2), home);
    return rule.path;
}

std::vector<fs::path> JunkScanner::candidates(const CleanRule& rule, const fs::path& home) {
    const auto found = resolvedLocation(rule, home);
    std::vector<fs::path> out;
    if (!found) return out;
    const fs::path& location = *found;
    using Kind = CleanRule::Mode::Kind;
    if (rule.mode.kind == Kind::whole) {
        if (Platform::FileOps::exists(location)) out.push_back(location);
        return out;
    }
    ScanSupport::Folder folder(location);
    while (const dirent* e = folder.next()) {
        if (rule.mode.kind == Kind::files) {
            if (ScanSupport::isHidden(e->d_name)) continue;
            if (!rule.mode.extensions.count(ScanSupport::lowercasedExtension(e->d_name))) continue;
        }
        out.push_back(location / e->d_name);
    }
    return out;
}

std::vector<CleanItem> JunkScanner::scan(const std::set<CleanCategory>& categories, const Context& context,
                                         const Progress& progress) {
    const auto report = [&](CleanCategory c) {
        if (progress) progress(c);
    };
    const auto& rules = Catalog::rules();
    std::vector<std::string> roots;
    roots.reserve(rules.size());
    for (const auto& rule : rules)
        if (const auto location = resolvedLocation(rule, context.home))
            roots.push_back(SafetyGuard::standardized(location->string()));
    // What another scanner looks in is its own, even where it lies in a rule's folder.
    for (const auto& place : SpecialScanners::aiLocations(context.home))
        roots.push_back(SafetyGuard::standardized(place.string()));

    const auto now = Platform::clock().now();
    std::vector<CleanItem> items;

    // Every rule's candidates are measured together, then taken in the rules' order: a
    // folder two rules name is the first one's.
    struct Candidate {
        const CleanRule* rule;
        std::string path, name;
    };
    ScanSupport::Measuring<Candidate> measuring(context.safety);
    for (const auto& rule : rules) {
        if (!categories.count(rule.category)) continue;
        report(rule.category);
        const bool children = rule.mode.kind == CleanRule::Mode::Kind::children;
        // Whatever is in the Trash is offered, however small.
        const int64_t minimum = rule.category == CleanCategory::trash ? 0 : kMinimumSize;
        for (fs::path& url : candidates(rule, context.home)) {
            std::string p = SafetyGuard::standardized(url.string());
            // An entry that is, or holds, a location of its own is left to that location's rule.
            if (children && std::any_of(roots.begin(), roots.end(),
                                        [&](const std::string& root) { return SafetyGuard::isInside(root, p); }))
                continue;
            std::string name = lastComponent(url);
            if (context.ownBundleID && *context.ownBundleID == name) continue;
            if (rule.minAgeDays >= 1) {
                const auto date = Platform::FileOps::modificationDate(url);
                if (date && *date > ScanSupport::daysBefore(now, rule.minAgeDays)) continue;
            }
            measuring.add(std::move(url), minimum, {&rule, std::move(p), std::move(name)});
        }
    }
    std::unordered_set<std::string> seen;
    measuring.measure([&](fs::path& url, int64_t size, Candidate& c) {
        if (!seen.insert(std::move(c.path)).second) return;
        const CleanRule& rule = *c.rule;
        Risk risk = rule.risk;
        std::string note = rule.note;
        if (rule.category == CleanCategory::userCaches && ScanSupport::startsWith(c.name, "com.apple.")) {
            note = localized("macOS system cache; rebuilt automatically");
            risk = Risk::review;
        }
        if (namesRunningApp(c.name, context.runningBundleIDs)) {
            note = localized("App is running; quit it first for a clean result");
            risk = Risk::review;
        }
        items.push_back(CleanItem{std::move(url), size, rule.category, risk, std::move(note), rule.permanent, false,
                                  std::nullopt});
    });

    const auto append = [&](std::vector<CleanItem> more) {
        items.insert(items.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    };
    if (categories.count(CleanCategory::appData)) {
        report(CleanCategory::appData);
        append(SpecialScanners::appWebCaches(context.home, context.runningNames, context.safety));
    }
    if (categories.count(CleanCategory::userCaches))
        append(SpecialScanners::containerCaches(context.home, context.runningBundleIDs, context.safety));
    if (categories.count(CleanCategory::editors))
        append(SpecialScanners::oldEditorExtensions(context.home, context.safety));
    if (categories.count(CleanCategory::systemData)) {
        report(CleanCategory::systemData);
        append(SpecialScanners::systemData(
            SpecialScanners::systemGate(context.home, context.safety.protectedPaths())));
    }

    std::unordered_set<std::string> paths;
    std::vector<CleanItem> unique;
    unique.reserve(items.size());
    for (auto& item : items)
        if (paths.insert(item.url.string()).second) unique.push_back(std::move(item));

    unique = retireOldDeviceSupport(std::move(unique));
    sortLargestFirst(unique);
    return unique;
}

std::vector<CleanItem> JunkScanner::retireOldDeviceSupport(std::vector<CleanItem> items) {
    const auto isDeviceSupport = [](const CleanItem& item) {
        return ScanSupport::endsWith(lastComponent(item.url.parent_path()), "DeviceSupport");
    };
    const auto groupKey = [](const CleanItem& item) {
        const std::string name = lastComponent(item.url);
        const auto start = name.find_first_not_of(' ');
        std::string word = name;
        if (start != std::string::npos) word = name.substr(start, name.find(' ', start) - start);
        return lastComponent(item.url.parent_path()) + "/" + word;
    };

    using TimePoint = std::chrono::system_clock::time_point;
    struct Newest {
        size_t index;
        TimePoint date;
    };
    std::map<std::string, Newest> newest;
    for (size_t i = 0; i < items.size(); ++i) {
        if (!isDeviceSupport(items[i])) continue;
        const TimePoint date =
            Platform::FileOps::modificationDate(items[i].url).value_or(ScanSupport::distantPast());
        auto [it, added] = newest.try_emplace(groupKey(items[i]), Newest{i, date});
        if (!added && date > it->second.date) it->second = {i, date};
    }
    for (size_t i = 0; i < items.size(); ++i) {
        CleanItem& item = items[i];
        if (!isDeviceSupport(item)) continue;
        const bool isNewest = newest.at(groupKey(item)).index == i;
        item.permanent = false;
        item.requiresAdmin = false;
        item.adminCommand.reset();
        if (isNewest) {
            item.note = localized("Newest \u2014 keep it if your device runs this version");
            item.risk = Risk::review;
        } else {
            item.note = localized("Older iOS version; Xcode re-copies it if ever needed");
            item.risk = Risk::safe;
        }
    }
    return items;
}
