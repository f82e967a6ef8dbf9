#include "Platform/Locations.h"

#include "Platform/FileOps.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace Platform::Locations {
namespace {
fs::path fromEnv(const char* name) {
    const char* v = std::getenv(name);
    if (v && v[0] == '/') return v;
    return {};
}

// Lexically normal, without a trailing "/" (but "/" itself).
std::string trimmed(const fs::path& p) {
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// Equal to `folder`, or below it at a "/" boundary; both trimmed.
bool holds(const std::string& folder, const std::string& path) {
    if (folder == "/" || path == folder) return true;
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// Relative entries are invalid and ignored, as the base-directory rules say.
std::vector<fs::path> pathList(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    const std::string list = v && *v ? v : fallback;
    std::vector<fs::path> dirs;
    for (size_t start = 0; start <= list.size();) {
        const size_t colon = std::min(list.find(':', start), list.size());
        if (colon > start && list[start] == '/') dirs.emplace_back(list.substr(start, colon - start));
        start = colon + 1;
    }
    return dirs;
}
}  // namespace

fs::path home() {
    if (auto h = fromEnv("HOME"); !h.empty()) return h;
    passwd pw{};
    passwd* found = nullptr;
    char buf[4096];
    if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return "/";
}

fs::path resolvedHome() {
    const fs::path h = home();
    char buf[PATH_MAX];
    if (::realpath(h.c_str(), buf)) return buf;
    return h.lexically_normal();
}

fs::path dataHome() {
    if (auto d = fromEnv("XDG_DATA_HOME"); !d.empty()) return d;
    return home() / ".local/share";
}

fs::path configHome() {
    if (auto d = fromEnv("XDG_CONFIG_HOME"); !d.empty()) return d;
    return home() / ".config";
}

namespace {
// Whether `folder` (resolved as the system would) may be the cache folder. Everything
// inside the cache folder may be offered for cleaning, so it is never a folder of the
// user's own: none the gate keeps whole (but the Mac's own cache folder, which holds
// nothing else) nor one holding such a folder, nothing in or around a folder of personal
// data, the data home, the config home or the Trash.
bool mayBeCacheFolder(const std::string& folder) {
    const auto clashes = [&](std::initializer_list<std::optional<std::string>> spellings, bool inside) {
        for (const auto& f : spellings)
            if (f && (holds(folder, *f) || (inside && holds(*f, folder)))) return true;
        return false;
    };
    // A folder of the home under either spelling of the home, or where its own link leads.
    const fs::path envHome = home(), realHome = resolvedHome();
    const auto clashesInHome = [&](const std::string& e, bool inside) {
        const std::string f = trimmed(realHome / e);
        return clashes({trimmed(envHome / e), f, FileOps::resolvedAsFarAsItExists(f)}, inside);
    };
    for (const auto& e : keptWhole())
        if (e != "Library/Caches" && clashesInHome(e, false)) return false;
    for (const auto& e : personalData())
        if (clashesInHome(e, true)) return false;
    for (const auto& f : {dataHome(), configHome(), trash()})
        if (clashes({trimmed(f), FileOps::resolvedAsFarAsItExists(f)}, true)) return false;
    return true;
}

// The verdict on a folder, as resolved: judging resolves some forty folders, and every
// safety gate made asks for it, so the last few verdicts are kept for the folder and
// the environment they were judged in.
bool judged(const std::string& resolved) {
    std::string judging = resolved;
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
        const char* v = std::getenv(name);
        judging += '\0';
        judging += v ? std::string("=") + v : std::string("-");
    }
    static std::mutex lock;
    static std::map<std::string, bool> verdicts;
    {
        std::lock_guard guard(lock);
        if (const auto it = verdicts.find(judging); it != verdicts.end()) return it->second;
    }
    const bool verdict = mayBeCacheFolder(resolved);
    std::lock_guard guard(lock);
    if (verdicts.size() >= 8) verdicts.clear();
    verdicts.emplace(std::move(judging), verdict);
    return verdict;
}
}  // namespace

std::optional<fs::path> cacheHome() {
    // The folder judged is the folder used: what the value resolves to now, links and
    // ".." in order, so a spelling cannot pass as one folder and act on another. A value
    // the kernel cannot resolve, or one refused, leaves ~/.cache, judged the same way.
    for (const fs::path& named : {fromEnv("XDG_CACHE_HOME"), home() / ".cache"}) {
        if (named.empty()) continue;
        const auto resolved = FileOps::resolvedAsFarAsItExists(named);
        if (resolved && judged(*resolved)) return fs::path(*resolved);
    }
    return std::nullopt;
}

const std::vector<std::string>& keptWhole() {
    static const std::vector<std::string> list = {
        "",
        "Library",
        "Library/Caches",
        "Library/Logs",
        "Library/Application Support",
        "Library/Containers",
        "Library/Group Containers",
        "Library/Preferences",
        "Library/Developer",
        "Library/Developer/Xcode",
        "Library/Developer/Xcode/DerivedData",
        "Library/Developer/Xcode/Archives",
        "Library/Developer/CoreSimulator",
        "Desktop",
        "Documents",
        "Downloads",
        "Pictures",
        "Movies",
        "Music",
        "Public",
        "Applications",
        ".Trash",
        ".ssh",
        ".gnupg",
        ".config",
    };
    return list;
}

const std::vector<std::string>& personalData() {
    static const std::vector<std::string> list = {
        "Library/Keychains",
        "Library/Mobile Documents",
        "Library/CloudStorage",
        "Library/Mail",
        "Library/Messages",
        "Library/Photos",
        "Library/Safari",
        "Library/Calendars",
        "Library/Contacts",
        "Library/Notes",
        "Library/Application Support/AddressBook",
        "Library/Application Support/com.apple.TCC",
        "Library/Group Containers/group.com.apple.notes",
        ".ssh",
        ".gnupg",
        "Pictures",
        "Movies",
        "Music",
    };
    return list;
}

std::vector<fs::path> dataDirs() { return pathList("XDG_DATA_DIRS", "/usr/local/share:/usr/share"); }
std::vector<fs::path> configDirs() { return pathList("XDG_CONFIG_DIRS", "/etc/xdg"); }

fs::path applicationSupport() { return dataHome(); }
std::optional<fs::path> userCaches() { return cacheHome(); }
fs::path trash() { return dataHome() / "Trash"; }
fs::path trashFiles() { return trash() / "files"; }
fs::path trashInfo() { return trash() / "info"; }
}  // namespace Platform::Locations
