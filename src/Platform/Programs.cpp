#include "Platform/Programs.h"

#include "Platform/Locations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <mutex>
#include <optional>

namespace Platform::Programs {
namespace {
constexpr size_t kCount = static_cast<size_t>(Program::fanHelper) + 1;

std::mutex& lock() {
    static std::mutex m;
    return m;
}
std::array<std::optional<std::string>, kCount>& overrides() {
    static std::array<std::optional<std::string>, kCount> o;
    return o;
}

std::string besideExecutable(const char* name, const char* fallback) {
    const std::string dir = executableDirectory();
    if (!dir.empty()) {
        const std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return fallback;
}
}  // namespace

std::string executableDirectory() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string exe(buf, static_cast<size_t>(n));
    const auto slash = exe.find_last_of('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

std::string path(Program p) {
    {
        std::lock_guard g(lock());
        if (const auto& o = overrides()[static_cast<size_t>(p)]) return *o;
    }
    switch (p) {
        case Program::osascript: return besideExecutable("osascript", "/usr/bin/osascript");
        case Program::tmutil: return "/usr/bin/tmutil";
        case Program::launchctl: return "/bin/launchctl";
        case Program::sfltool: return "/usr/bin/sfltool";
        case Program::systemProfiler: return "/usr/sbin/system_profiler";
        case Program::brew: return homebrew("/", Locations::home());
        case Program::zsh: return "/bin/zsh";
        case Program::sh: return "/bin/sh";
        case Program::top: return besideExecutable("top", "/usr/bin/top");
        case Program::xdgOpen: return "/usr/bin/xdg-open";
        case Program::pkexec: return "/usr/bin/pkexec";
        case Program::plutil: return besideExecutable("plutil", "/usr/bin/plutil");
        case Program::trash: return besideExecutable("trash", "/usr/bin/trash");
        // A packaged Docker, else the static one its installer drops in /usr/local.
        case Program::docker:
            return ::access("/usr/bin/docker", X_OK) == 0 ? "/usr/bin/docker" : "/usr/local/bin/docker";
        case Program::resolvectl: return "/usr/bin/resolvectl";
        case Program::updateDesktopDatabase: return "/usr/bin/update-desktop-database";
        case Program::fcCache: return "/usr/bin/fc-cache";
        case Program::networkctl: return "/usr/bin/networkctl";
        case Program::nmcli: return "/usr/bin/nmcli";
        case Program::sqlite3: return "/usr/bin/sqlite3";
        case Program::pgrep: return "/usr/bin/pgrep";
        case Program::fanHelper: return "/usr/local/libexec/quelto/QueltoFanHelper";
    }
    return {};
}

std::string homebrew(const std::filesystem::path& root, const std::filesystem::path& home) {
    const std::filesystem::path candidates[] = {
        root / "opt/homebrew/bin/brew",
        root / "home/linuxbrew/.linuxbrew/bin/brew",
        home / ".linuxbrew/bin/brew",
    };
    for (const auto& c : candidates) {
        struct ::stat st;
        // Without a home folder the per-user prefix is no path at all.
        if (c.is_absolute() && ::stat(c.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(c.c_str(), X_OK) == 0)
            return c;
    }
    return root / "usr/local/bin/brew";
}

void setPathForTesting(Program p, const std::string& value) {
    std::lock_guard g(lock());
    auto& o = overrides()[static_cast<size_t>(p)];
    if (value.empty()) o.reset();
    else o = value;
}

void resetForTesting() {
    std::lock_guard g(lock());
    for (auto& o : overrides()) o.reset();
}
}  // namespace Platform::Programs
