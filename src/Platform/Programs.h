#pragma once
#include <string>

// The absolute paths of every program the system runs, in one table.
namespace Platform {
enum class Program {
    osascript,       // administrator prompt (our stand-in, beside the executable)
    tmutil,
    launchctl,
    sfltool,
    systemProfiler,
    brew,
    zsh,
    sh,
    top,             // our stand-in, beside the executable
    xdgOpen,
    pkexec,
    fanHelper,       // QueltoFanHelper beside the executable; empty when it is not there
};

namespace Programs {
std::string path(Program p);
// Tests point an entry at a fake executable; an empty text restores the default.
void setPathForTesting(Program p, const std::string& path);
void resetForTesting();
// The folder holding the running executable (where the stand-in tools live).
std::string executableDirectory();
}  // namespace Programs
}  // namespace Platform
