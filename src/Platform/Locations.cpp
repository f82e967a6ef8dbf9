#include "Platform/Locations.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
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

fs::path cacheHome() {
    const std::string named = trimmed(fromEnv("XDG_CACHE_HOME"));
    // Everything inside the cache folder may be offered for cleaning: never the home folder's own entries.
    const auto holds = [&](const std::string& h) {
        return named == "/" || named == h ||
               (h.size() > named.size() && h.compare(0, named.size(), named) == 0 && h[named.size()] == '/');
    };
    if (named.empty() || holds(trimmed(home())) || holds(trimmed(resolvedHome()))) return home() / ".cache";
    return named;
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
fs::path userCaches() { return cacheHome(); }
fs::path trash() { return dataHome() / "Trash"; }
fs::path trashFiles() { return trash() / "files"; }
fs::path trashInfo() { return trash() / "info"; }
}  // namespace Platform::Locations
