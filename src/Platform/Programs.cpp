#include "Platform/Programs.h"

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
        case Program::brew: return "/opt/homebrew/bin/brew";
        case Program::zsh: return "/bin/zsh";
        case Program::sh: return "/bin/sh";
        case Program::top: return besideExecutable("top", "/usr/bin/top");
        case Program::xdgOpen: return "/usr/bin/xdg-open";
        case Program::pkexec: return "/usr/bin/pkexec";
        case Program::fanHelper: return besideExecutable("QueltoFanHelper", "");
    }
    return {};
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
