#pragma once
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Running applications and installed-application lookup, from /proc and the
// freedesktop .desktop files. An application's "bundle identifier" here is its
// desktop file id: the file's path below an applications folder with "/" written
// as "-" and without ".desktop" (so org.gnome.Nautilus.desktop is "org.gnome.Nautilus").
// Every reader takes its root folders, so tests point it at fixture trees.
namespace Platform::Workspace {
struct RunningApp {
    pid_t pid = 0;
    std::string name;                     // executable's file name, else /proc/<pid>/comm
    std::optional<std::string> bundleID;  // the matching desktop file's id
    std::optional<std::string> title;     // that desktop file's Name=
};

// $XDG_DATA_HOME/applications, then each $XDG_DATA_DIRS entry's applications folder
// (default /usr/local/share:/usr/share), in lookup precedence order.
std::vector<std::filesystem::path> applicationDirectories();

// The current user's processes under procRoot. A process matches a desktop file when
// the file's Exec program name equals the process's name, or its StartupWMClass equals
// the name ignoring case; the first match in precedence order wins.
std::vector<RunningApp> runningApplications(const std::filesystem::path& procRoot = "/proc",
                                            const std::vector<std::filesystem::path>& appDirs =
                                                applicationDirectories(),
                                            uid_t user = ::getuid());
// Names of the running applications: every program name and every matched Name=.
std::set<std::string> runningNames(const std::vector<RunningApp>& apps);
std::set<std::string> runningBundleIDs(const std::vector<RunningApp>& apps);

struct InstalledApp {
    std::string id;               // desktop file id
    std::filesystem::path file;   // the desktop file
    std::string name;             // its Name=
};
// Every installed application that is not hidden, in precedence order (an id
// found in an earlier folder hides the same id further down).
std::vector<InstalledApp> installedApplications(const std::vector<std::filesystem::path>& appDirs =
                                                    applicationDirectories());

// The desktop file of the installed application with this identifier; the first
// applications folder that has it wins.
std::optional<std::filesystem::path> urlForApplication(const std::string& bundleID,
                                                       const std::vector<std::filesystem::path>& appDirs =
                                                           applicationDirectories());

// The desktop files of those of the identifiers that are installed, from one pass
// over the applications folders.
std::map<std::string, std::filesystem::path> urlsForApplications(const std::set<std::string>& bundleIDs,
                                                                const std::vector<std::filesystem::path>& appDirs =
                                                                    applicationDirectories());

// What the user sees as the item's name: a desktop file's Name=, else the file name.
std::string displayName(const std::filesystem::path& item);

// Hands a file, folder, app bundle or https page to the desktop's opener
// (xdg-open) and returns at once; false when it could not be started.
bool open(const std::string& target);
}  // namespace Platform::Workspace
