#include "Core/Clean/FileIcons.h"

#include <sys/stat.h>

#include <map>
#include <unordered_map>

#include "Core/Clean/ScanSupport.h"
#include "Platform/AsciiText.h"
#include "Platform/FileOps.h"
#include "Platform/Locations.h"
#include "Platform/Workspace.h"

namespace fs = std::filesystem;
using Platform::IconRef;

namespace FileIcons {
namespace {
// Owners of well-known folders whose path names no application, in lookup order.
struct Known {
    const char* fragment;
    const char* bundleID;
};
constexpr Known known[] = {
    {"/Developer/Xcode", "com.apple.dt.Xcode"},
    {"/com.apple.dt.", "com.apple.dt.Xcode"},
    {"/Developer/CoreSimulator", "com.apple.iphonesimulator"},
    {"/Google/Chrome", "com.google.Chrome"},
    {"/BraveSoftware", "com.brave.Browser"},
    {"/Firefox", "org.mozilla.firefox"},
    {"/Mozilla", "org.mozilla.firefox"},
    {"/Microsoft Edge", "com.microsoft.edgemac"},
    {"/Caches/Arc", "company.thebrowser.Browser"},
    {"/Opera", "com.operasoftware.Opera"},
    {"/Vivaldi", "com.vivaldi.Vivaldi"},
    {"/JetBrains", "com.jetbrains.intellij"},
    {"/Spotify", "com.spotify.client"},
    {"/Steam", "com.valvesoftware.steam"},
    {"/Adobe", "com.adobe.acc.AdobeCreativeCloud"},
    {"/Library/Caches/Homebrew", "com.apple.Terminal"},
};

// Installed applications by desktop id, by id ignoring case and by Name=.
struct AppIndex {
    std::unordered_map<std::string, fs::path> byID, byLowerID, byName;
};

struct State {
    std::optional<Places> places;
    std::optional<AppIndex> index;
    std::map<std::string, std::optional<fs::path>> appCache;
    std::map<std::string, IconRef> iconCache;
    size_t probes = 0;
};

State& state() {
    static State s;
    return s;
}

const Places& places() {
    auto& s = state();
    if (!s.places) s.places = defaultPlaces();
    return *s.places;
}

// Read once: probing the desktop folders for every component would cost a
// directory listing per path.
const AppIndex& index() {
    auto& s = state();
    if (!s.index) {
        AppIndex built;
        for (const auto& app : Platform::Workspace::installedApplications(places().desktopDirs)) {
            built.byID.try_emplace(app.id, app.file);
            built.byLowerID.try_emplace(Platform::asciiLowercased(app.id), app.file);
            if (!app.name.empty()) built.byName.try_emplace(app.name, app.file);
        }
        s.index = std::move(built);
    }
    return *s.index;
}

std::optional<fs::path> applicationWithBundleID(const std::string& id) {
    const auto& byID = index().byID;
    if (auto it = byID.find(id); it != byID.end()) return it->second;
    return std::nullopt;
}

size_t characterCount(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// An app bundle "<name>.app" in one of the application folders, else a desktop
// entry whose id is the name ignoring case or whose Name= is the name.
std::optional<fs::path> installedApp(const std::string& name) {
    if (characterCount(name) < 3) return std::nullopt;
    auto& s = state();
    if (auto it = s.appCache.find(name); it != s.appCache.end()) return it->second;
    ++s.probes;
    std::optional<fs::path> found;
    for (const auto& folder : places().applicationFolders) {
        const fs::path bundle = folder / (name + ".app");
        if (Platform::FileOps::exists(bundle)) {
            found = bundle;
            break;
        }
    }
    if (!found) {
        const auto& i = index();
        if (auto it = i.byLowerID.find(Platform::asciiLowercased(name)); it != i.byLowerID.end()) found = it->second;
        else if (auto n = i.byName.find(name); n != i.byName.end()) found = n->second;
    }
    s.appCache.emplace(name, found);
    return found;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// At least three non-empty dot-separated parts and no space.
bool looksLikeBundleID(const std::string& c) {
    if (c.find(' ') != std::string::npos) return false;
    int parts = 0;
    size_t i = 0;
    while (i <= c.size()) {
        size_t j = c.find('.', i);
        if (j == std::string::npos) j = c.size();
        if (j > i) ++parts;
        i = j + 1;
    }
    return parts >= 3;
}

Owner application(const fs::path& app) { return {app.string(), IconRef::application(app)}; }
}  // namespace

Places defaultPlaces() {
    return {{"/Applications", "/System/Applications", Platform::Locations::home() / "Applications"},
            Platform::Workspace::applicationDirectories()};
}

Owner owner(const fs::path& url) {
    std::vector<std::string> parts;
    // The outermost app bundle on the path owns everything inside it.
    fs::path bundle;
    for (const auto& part : url) {
        bundle /= part;
        const std::string& name = part.native();
        if (name.size() > 4 && endsWith(name, ".app")) return application(bundle);
        if (!name.empty() && name != "/") parts.push_back(name);
    }

    // The innermost component that names an installed application, by bundle id or name.
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if ((*it)[0] == '.') continue;
        if (looksLikeBundleID(*it))
            if (auto app = applicationWithBundleID(*it)) return application(*app);
        if (auto app = installedApp(*it)) return application(*app);
    }

    const std::string& path = url.native();
    for (const auto& k : known)
        if (path.find(k.fragment) != std::string::npos)
            if (auto app = applicationWithBundleID(k.bundleID)) return application(*app);

    const auto attributes = Platform::FileOps::attributes(url);
    const std::string extension = ScanSupport::lowercasedExtension(url.filename().native());
    if (!attributes) {
        // Gone: only its name tells, and a name without an extension is most likely a folder's.
        const std::string type = extension.empty() ? "folder" : extension;
        return {"type:" + type, IconRef::ofType(type)};
    }
    // There: a folder is a folder, and a file without an extension is still a file (its
    // icon comes from its content; the empty type name cannot be any extension's).
    const std::string type = S_ISDIR(attributes->st_mode) ? "folder" : extension;
    return {"type:" + type, IconRef::file(url)};
}

IconRef icon(const fs::path& url) {
    Owner o = owner(url);
    return state().iconCache.try_emplace(std::move(o.key), std::move(o.icon)).first->second;
}

void resetForTesting(std::optional<Places> places) {
    state() = State{};
    state().places = std::move(places);
}

size_t nameProbesForTesting() { return state().probes; }
}  // namespace FileIcons
