#include "Platform/Locations.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace fs = std::filesystem;

namespace Platform::Locations {
namespace {
fs::path fromEnv(const char* name) {
    const char* v = std::getenv(name);
    if (v && v[0] == '/') return v;
    return {};
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

fs::path applicationSupport() { return dataHome(); }
fs::path trash() { return dataHome() / "Trash"; }
fs::path trashFiles() { return trash() / "files"; }
fs::path trashInfo() { return trash() / "info"; }
}  // namespace Platform::Locations
