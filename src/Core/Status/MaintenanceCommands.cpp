#include "Core/Status/MaintenanceCommands.h"

#include <unistd.h>

#include "Core/AdminScript.h"
#include "Core/Clean/ScanSupport.h"
#include "Core/Localized.h"
#include "Platform/Locations.h"
#include "Platform/Programs.h"

namespace fs = std::filesystem;
using Platform::Program;

namespace MaintenanceCommands {
namespace {
std::string pathOf(Program p) { return Platform::Programs::path(p); }
// A program's path as one shell word.
std::string word(Program p) { return AdminScript::singleQuoted(pathOf(p)); }

Command with(Program p, const std::string& arguments) { return {word(p) + " " + arguments, pathOf(p), {}}; }

// A task that works in the user cache folder where there is none: offered nowhere, and
// it changes nothing if run.
Command withoutCacheFolder() {
    return {"echo " + AdminScript::singleQuoted(localized("There is no cache folder")) + "; exit 1", std::string(),
            {}};
}

// A program that finds its cache through $XDG_CACHE_HOME, run with it set to the folder
// judged, so the folder it changes is the one named.
Command inCacheFolder(const fs::path& caches, Program p, const std::string& arguments, const char* folder) {
    return {"XDG_CACHE_HOME=" + AdminScript::singleQuoted(caches.string()) + " " + word(p) + " " + arguments,
            pathOf(p), {caches / folder}};
}
}  // namespace

std::optional<Command> forTask(std::string_view id, const fs::path& home, uid_t uid) {
    // The thumbnails and desktop entries lie where the scans find the cache folder and
    // the data home: a folder that is not there has nothing to reset. The home is the
    // table's, never the shell's $HOME, which may be relative or point elsewhere.
    const std::string quotedHome = AdminScript::singleQuoted(home.string());
    // Judged only for the tasks that work in it: the real folder, as resolved when it
    // was judged, never a spelling to resolve again.
    const auto caches = [] { return Platform::Locations::userCaches(); };
    if (id == "dns") return with(Program::resolvectl, "flush-caches");
    if (id == "quicklook") {
        // The folder judged, as the system resolves it; when the task runs, the folder
        // entered must still be that one, so a link put on its way since cannot turn
        // the reset onto another folder.
        const auto folder = caches();
        if (!folder) return withoutCacheFolder();
        const fs::path thumbnails = *folder / "thumbnails";
        return Command{"d=" + AdminScript::singleQuoted(thumbnails.string()) +
                           "; [ -d \"$d\" ] || exit 0; cd \"$d\" && [ \"$(pwd -P)\" = \"$d\" ] || { echo " +
                           AdminScript::singleQuoted(
                               localized("The cache folder changed since Quelto started; nothing was reset")) +
                           "; exit 1; }; find . -mindepth 1 -delete",
                       std::nullopt, {thumbnails}};
    }
    if (id == "launchservices") {
        const fs::path entries = ScanSupport::platformFolder(Platform::Locations::dataHome(), home) / "applications";
        return Command{"d=" + AdminScript::singleQuoted(entries.string()) + "; [ -d \"$d\" ] || exit 0; " +
                           word(Program::updateDesktopDatabase) + " \"$d\"",
                       pathOf(Program::updateDesktopDatabase), {entries}};
    }
    if (id == "dsstore")
        return Command{"defaults write com.apple.desktopservices DSDontWriteNetworkStores -bool true && defaults "
                       "write com.apple.desktopservices DSDontWriteUSBStores -bool true",
                       "/usr/bin/defaults", {}};
    if (id == "savedstate")
        return Command{"find " + quotedHome + "/'Library/Saved Application State' -maxdepth 1 -name '*.savedState' "
                       "-mtime +30 -exec rm -rf {} +",
                       (home / "Library/Saved Application State").string(), {home / "Library/Saved Application State"}};
    if (id == "simulators") return Command{"xcrun simctl delete unavailable", "/usr/bin/xcrun", {}};
    if (id == "brew") {
        const auto folder = caches();
        return folder ? inCacheFolder(*folder, Program::brew, "cleanup --prune=all", "Homebrew") : withoutCacheFolder();
    }
    if (id == "docker") return with(Program::docker, "builder prune -f");
    if (id == "prefs")
        // Only the checker's "broken" answer (1) counts: a checker that is missing or
        // cannot read a file breaks nothing. Each file goes through the Trash (never
        // over an earlier one), and only moves that happened are counted.
        return Command{"setopt NULL_GLOB; n=0; failed=0; for f in " + quotedHome + "/Library/Preferences/*.plist; do " +
                           word(Program::plutil) + " -lint -s \"$f\" >/dev/null 2>&1; [ $? -eq 1 ] || continue; if " +
                           word(Program::trash) +
                           " \"$f\"; then n=$((n+1)); else failed=1; fi; done; echo \"$n broken files moved to the "
                           "Trash\"; exit $failed",
                       (home / "Library/Preferences").string(),
                       {home / "Library/Preferences", ScanSupport::platformFolder(Platform::Locations::trash(), home)}};
    if (id == "mail")
        // The newest database is the highest version by number (V10 after V9).
        return Command{"if " + word(Program::pgrep) +
                           " -x Mail >/dev/null; then echo \"Quit Mail first\"; exit 1; fi; "
                           "f=( " + quotedHome + "/Library/Mail/V*/MailData/\"Envelope Index\"(Nn) ); "
                           "[ ${#f} -eq 0 ] && { echo \"No Mail database\"; exit 0; }; " +
                           word(Program::sqlite3) + " \"${f[-1]}\" \"VACUUM;\"",
                       (home / "Library/Mail").string(), {home / "Library/Mail"}};
    if (id == "spotlight") return Command{"/usr/bin/mdutil -E /", "/usr/bin/mdutil", {}};
    if (id == "fonts") {
        const auto folder = caches();
        return folder ? inCacheFolder(*folder, Program::fcCache, "-r", "fontconfig") : withoutCacheFolder();
    }
    if (id == "dhcp") {
        // The interface of the default route; NetworkManager reconnects it, else
        // systemd-networkd renews its lease.
        const bool manager = ::access(pathOf(Program::nmcli).c_str(), X_OK) == 0;
        const Program tool = manager ? Program::nmcli : Program::networkctl;
        return Command{"i=$(awk '$2 == \"00000000\" { print $1; exit }' /proc/net/route); [ -n \"$i\" ] || { echo "
                       "\"No default route\"; exit 1; }; " +
                           word(tool) + (manager ? " device connect \"$i\"" : " renew \"$i\""),
                       pathOf(tool), {}};
    }
    if (id == "permissions")
        return Command{"/usr/sbin/diskutil resetUserPermissions / " + std::to_string(uid), "/usr/sbin/diskutil", {}};
    return std::nullopt;
}
}  // namespace MaintenanceCommands
