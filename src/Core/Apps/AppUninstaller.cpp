#include "Core/Apps/AppUninstaller.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "Core/Clean/FileSizer.h"
#include "Core/Clean/ScanSupport.h"
#include "Core/Localized.h"
#include "Core/Text.h"
#include "Platform/Locations.h"
#include "Platform/PropertyList.h"

namespace fs = std::filesystem;

namespace AppUninstaller {
namespace {
using ScanSupport::endsWith;
using ScanSupport::startsWith;

// The names in a folder, hidden ones included, as the file system returns them;
// none when it cannot be listed. A link to a folder is listed through.
std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    return names;
}

// A key names one entry inside a Library folder only when it is a plain name:
// an empty one, "." or ".." would name the folder itself or its parent, and one
// holding "/" (an absolute one too) another app's folder or a place outside.
bool usableKey(const std::string& key) {
    return !key.empty() && key != "." && key != ".." && key.find('/') == std::string::npos &&
           key.find('\0') == std::string::npos;
}

// Whether entries named "<id>.…" or "….<id>" belong to the app alone: a short
// id ("plist", "com") would take every preference file or every vendor's agent.
bool scannableID(const std::string& id) {
    int parts = 0;
    size_t start = 0;
    for (;;) {
        const size_t dot = id.find('.', start);
        const size_t end = dot == std::string::npos ? id.size() : dot;
        if (end > start) ++parts;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts >= 2;
}

// `folder`/`name` by appending text: a name can never replace the folder the way
// a path join with an absolute name does, and nothing is normalised away.
fs::path inside(const fs::path& folder, const std::string& name) { return fs::path(folder.native() + "/" + name); }

// The bundle's file name without ".app".
std::string bundleStem(const fs::path& url) { return url.filename().replace_extension().native(); }
}  // namespace

std::vector<fs::path> applicationFolders() {
    return {"/Applications", Platform::Locations::home() / "Applications"};
}

std::vector<InstalledApp> installedApps(const std::vector<fs::path>& folders) {
    // This build has no bundle identifier of its own to leave out: it is not an app bundle.
    std::vector<InstalledApp> apps;
    for (const fs::path& folder : folders) {
        for (const std::string& entry : entries(folder)) {
            const fs::path bundle = folder / entry;
            if (bundle.extension() != ".app") continue;
            const auto info = Platform::PropertyList::readDictionary(bundle / "Contents" / "Info.plist");
            if (!info) continue;
            const std::string* id = Platform::PropertyList::string(*info, "CFBundleIdentifier");
            if (!id || startsWith(*id, "com.apple.")) continue;
            const std::string* shown = Platform::PropertyList::string(*info, "CFBundleDisplayName");
            if (!shown) shown = Platform::PropertyList::string(*info, "CFBundleName");
            const std::string name = shown ? *shown : bundleStem(bundle);
            apps.push_back({bundle, Text::removingFormatOnlyCharacters(name), *id, 0});
        }
    }
    std::stable_sort(apps.begin(), apps.end(), [](const InstalledApp& a, const InstalledApp& b) {
        return Text::localizedCaseInsensitiveCompare(a.name, b.name) < 0;
    });
    return apps;
}

std::vector<CleanItem> files(const InstalledApp& app, const fs::path& home) {
    const fs::path library = inside(home, "Library");
    const auto in = [&](const char* folder) { return inside(library, folder); };
    std::vector<std::pair<fs::path, const char*>> candidates;

    std::vector<std::string> keys;
    for (const std::string& key : {app.name, bundleStem(app.url), app.bundleID})
        if (usableKey(key) && std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
    // The user cache folder is this platform's own; the rest of ~/Library stays as written.
    const auto caches = ScanSupport::userCaches(home);
    for (const std::string& key : keys) {
        candidates.emplace_back(inside(in("Application Support"), key), "Support files");
        if (caches) candidates.emplace_back(inside(*caches, key), "Cache");
        candidates.emplace_back(inside(in("Logs"), key), "Logs");
    }

    const std::string& id = app.bundleID;
    if (usableKey(id)) {
        candidates.emplace_back(inside(in("Containers"), id), "Sandbox container");
        candidates.emplace_back(inside(in("Preferences"), id + ".plist"), "Preferences");
        candidates.emplace_back(inside(in("Saved Application State"), id + ".savedState"), "Window state");
        candidates.emplace_back(inside(in("HTTPStorages"), id), "Web storage");
        candidates.emplace_back(inside(in("HTTPStorages"), id + ".binarycookies"), "Cookies");
        candidates.emplace_back(inside(in("WebKit"), id), "Web storage");
        candidates.emplace_back(inside(in("Cookies"), id + ".binarycookies"), "Cookies");
        candidates.emplace_back(inside(in("Application Scripts"), id), "Scripts");
        if (scannableID(id)) {
            const std::string prefix = id + ".", suffix = "." + id;
            for (const auto& [folder, note] : {std::pair{"LaunchAgents", "Launch agent"},
                                               std::pair{"Group Containers", "Shared container"},
                                               std::pair{"Preferences", "Preferences"}}) {
                const fs::path dir = in(folder);
                for (const std::string& name : entries(dir))
                    if (startsWith(name, prefix) || endsWith(name, suffix)) candidates.emplace_back(inside(dir, name), note);
            }
        }
    }

    const auto item = [](fs::path url, const char* note) {
        const int64_t size = FileSizer::size(url);
        return ScanSupport::finding(std::move(url), size, CleanCategory::appLeftovers, Risk::safe, localized(note));
    };
    std::vector<CleanItem> out;
    std::set<std::string> seen{app.url.native()};
    out.push_back(item(app.url, "The app"));
    for (auto& [path, note] : candidates) {
        struct ::stat st;
        if (::stat(path.c_str(), &st) != 0 || !seen.insert(path.native()).second) continue;
        out.push_back(item(std::move(path), note));
    }
    return out;
}
}  // namespace AppUninstaller
