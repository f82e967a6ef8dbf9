#pragma once
#include <filesystem>
#include <string>

// The absolute paths of every program the system runs, in one table.
namespace Platform {
enum class Program {
    osascript,       // administrator prompt (our stand-in, beside the executable)
    tmutil,
    launchctl,
    sfltool,
    systemProfiler,
    brew,            // Homebrew: where it lives on this machine (see homebrew())
    zsh,
    sh,
    top,             // our stand-in, beside the executable
    xdgOpen,
    pkexec,
    // The maintenance tasks' programs on this platform.
    plutil,          // property-list checker (our stand-in, beside the executable)
    trash,           // moves files to the Trash (our stand-in, beside the executable)
    docker,
    resolvectl,
    updateDesktopDatabase,
    fcCache,
    networkctl,
    nmcli,
    sqlite3,
    pgrep,
    fanHelper,       // QueltoFanHelper where it is installed for root (never a build folder's copy)
};

namespace Programs {
std::string path(Program p);
// Tests point an entry at a fake executable; an empty text restores the default.
void setPathForTesting(Program p, const std::string& path);
void resetForTesting();
// The folder holding the running executable (where the stand-in tools live).
std::string executableDirectory();

// Where Homebrew's brew is, looked for below `root` (the machine's "/"): the Apple
// silicon prefix /opt/homebrew, then Homebrew on Linux's shared prefix
// /home/linuxbrew/.linuxbrew and its per-user one in `home`, taking the first
// executable one; else the Intel prefix /usr/local, whether it is there or not.
std::string homebrew(const std::filesystem::path& root, const std::filesystem::path& home);
}  // namespace Programs
}  // namespace Platform
