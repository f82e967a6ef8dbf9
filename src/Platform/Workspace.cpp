#include "Platform/Workspace.h"

#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <climits>
#include <thread>
#include <unordered_set>

#include "Platform/AsciiText.h"
#include "Platform/DesktopEntry.h"
#include "Platform/FileOps.h"
#include "Platform/Locations.h"
#include "Platform/Programs.h"

extern char** environ;

namespace fs = std::filesystem;

namespace Platform::Workspace {
namespace {
struct DesktopFile {
    std::string id;
    fs::path file;
    std::string name;      // Name=
    std::string program;   // file name of Exec's first word
    std::string wmClass;   // StartupWMClass=
    bool hidden = false;   // Hidden=true: the user deleted it
};

std::string fileName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads the keys we use from the [Desktop Entry] group; unlocalized values only.
void readEntry(DesktopFile& entry) {
    for (const auto& [key, value] : DesktopEntry::mainGroup(entry.file)) {
        if (key == "Name" && entry.name.empty()) {
            entry.name = value;
        } else if (key == "Exec" && entry.program.empty()) {
            const auto args = DesktopEntry::execArguments(value);
            if (!args.empty()) entry.program = fileName(args.front());
        } else if (key == "StartupWMClass") {
            entry.wmClass = value;
        } else if (key == "Hidden") {
            entry.hidden = value == "true";
        }
    }
}

// A folder as the file system knows it, whatever path leads there.
using FolderID = std::pair<dev_t, ino_t>;

// A folder reached through a link, read once the real folders are.
struct Linked {
    fs::path folder;
    std::string prefix;
    int depth;
};

// The desktop files of one folder and, at once, of its real sub-folders, each with its
// id; the links to folders it holds are left for later.
void collectReal(const fs::path& folder, const std::string& prefix, int depth, std::set<FolderID>& visited,
                 std::vector<Linked>& links, std::vector<DesktopFile>& out) {
    if (depth > 8) return;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    struct stat self;
    if (::fstat(::dirfd(dir), &self) != 0 || !visited.emplace(self.st_dev, self.st_ino).second) {
        ::closedir(dir);
        return;
    }
    while (const dirent* e = ::readdir(dir)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        const fs::path p = folder / n;
        struct stat st;
        if (::lstat(p.c_str(), &st) != 0) continue;
        const bool link = S_ISLNK(st.st_mode);
        if (link && ::stat(p.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            if (link) links.push_back({p, prefix + n + "-", depth + 1});
            else collectReal(p, prefix + n + "-", depth + 1, visited, links, out);
        } else if (S_ISREG(st.st_mode) && n.size() > 8 && n.compare(n.size() - 8, 8, ".desktop") == 0) {
            DesktopFile entry;
            entry.id = prefix + n.substr(0, n.size() - 8);
            entry.file = p;
            out.push_back(std::move(entry));
        }
    }
    ::closedir(dir);
}

// Every desktop file below one applications folder, sub-folders included, with its id.
// Each real folder is read once (links that lead back into the tree would otherwise
// multiply the reads at every level), and under its own name: every real folder is read
// before any link is followed, and a link only to a folder not read yet, links in the
// order of their names, so no id depends on the order a folder lists its entries in.
void collect(const fs::path& root, std::vector<DesktopFile>& out) {
    std::set<FolderID> visited;
    std::vector<Linked> links;
    collectReal(root, "", 0, visited, links, out);
    while (!links.empty()) {
        std::vector<Linked> round;
        round.swap(links);
        std::sort(round.begin(), round.end(), [](const Linked& a, const Linked& b) { return a.prefix < b.prefix; });
        for (const auto& l : round) collectReal(l.folder, l.prefix, l.depth, visited, links, out);
    }
}

// Desktop files in precedence order, unread: an id found in an earlier folder
// hides the same id further down (even when that earlier one is Hidden).
std::vector<DesktopFile> desktopFiles(const std::vector<fs::path>& appDirs) {
    std::vector<DesktopFile> all;
    std::unordered_set<std::string> seen;
    for (const auto& dir : appDirs) {
        std::vector<DesktopFile> here;
        // Each applications folder on its own: a folder linked from inside an earlier
        // one still gives its own ids.
        collect(dir, here);
        for (auto& entry : here)
            if (seen.insert(entry.id).second) all.push_back(std::move(entry));
    }
    return all;
}

std::vector<DesktopFile> installedEntries(const std::vector<fs::path>& appDirs) {
    std::vector<DesktopFile> all;
    for (auto& entry : desktopFiles(appDirs)) {
        readEntry(entry);
        if (!entry.hidden) all.push_back(std::move(entry));
    }
    return all;
}

std::string readSmallFile(const fs::path& p) {
    auto start = FileOps::readStart(p, 65536);
    return start ? std::move(start->bytes) : std::string();
}

bool isNumber(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}
}  // namespace

std::vector<fs::path> applicationDirectories() {
    std::vector<fs::path> dirs{Locations::dataHome() / "applications"};
    for (const auto& dir : Locations::dataDirs()) dirs.push_back(dir / "applications");
    return dirs;
}

std::vector<RunningApp> runningApplications(const fs::path& procRoot, const std::vector<fs::path>& appDirs,
                                            uid_t user) {
    std::vector<RunningApp> apps;
    DIR* dir = ::opendir(procRoot.c_str());
    if (!dir) return apps;
    std::optional<std::vector<DesktopFile>> entries;  // read only when a process needs it
    while (const dirent* e = ::readdir(dir)) {
        if (!isNumber(e->d_name)) continue;
        const fs::path p = procRoot / e->d_name;
        struct stat st;
        if (::stat(p.c_str(), &st) != 0 || st.st_uid != user) continue;
        // Kernel threads and zombies have no command line.
        if (readSmallFile(p / "cmdline").empty()) continue;

        RunningApp app;
        app.pid = static_cast<pid_t>(std::atol(e->d_name));
        bool fromComm = false;
        char buf[PATH_MAX];
        const ssize_t n = ::readlink((p / "exe").c_str(), buf, sizeof buf - 1);
        if (n > 0) {
            std::string target(buf, static_cast<size_t>(n));
            const std::string deleted = " (deleted)";
            if (target.size() > deleted.size() &&
                target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
                target.erase(target.size() - deleted.size());
            app.name = fileName(target);
        }
        if (app.name.empty()) {
            app.name = readSmallFile(p / "comm");
            while (!app.name.empty() && (app.name.back() == '\n' || app.name.back() == '\0')) app.name.pop_back();
            fromComm = true;
        }
        if (app.name.empty()) continue;

        if (!entries) entries = installedEntries(appDirs);
        const std::string lower = Platform::asciiLowercased(app.name);
        for (const auto& entry : *entries) {
            // comm holds at most 15 bytes of the program name.
            const bool programMatches =
                !entry.program.empty() &&
                (entry.program == app.name || (fromComm && app.name.size() == 15 &&
                                               entry.program.compare(0, 15, app.name) == 0));
            if (programMatches || (!entry.wmClass.empty() && Platform::asciiLowercased(entry.wmClass) == lower)) {
                app.bundleID = entry.id;
                if (!entry.name.empty()) app.title = entry.name;
                break;
            }
        }
        apps.push_back(std::move(app));
    }
    ::closedir(dir);
    return apps;
}

std::set<std::string> runningNames(const std::vector<RunningApp>& apps) {
    std::set<std::string> names;
    for (const auto& app : apps) {
        names.insert(app.name);
        if (app.title) names.insert(*app.title);
    }
    return names;
}

std::set<std::string> runningBundleIDs(const std::vector<RunningApp>& apps) {
    std::set<std::string> ids;
    for (const auto& app : apps)
        if (app.bundleID) ids.insert(*app.bundleID);
    return ids;
}

std::vector<InstalledApp> installedApplications(const std::vector<fs::path>& appDirs) {
    std::vector<InstalledApp> apps;
    for (auto& entry : installedEntries(appDirs)) apps.push_back({entry.id, entry.file, entry.name});
    return apps;
}

std::optional<fs::path> urlForApplication(const std::string& bundleID, const std::vector<fs::path>& appDirs) {
    auto found = urlsForApplications({bundleID}, appDirs);
    if (found.empty()) return std::nullopt;
    return std::move(found.begin()->second);
}

std::map<std::string, fs::path> urlsForApplications(const std::set<std::string>& bundleIDs,
                                                    const std::vector<fs::path>& appDirs) {
    std::map<std::string, fs::path> found;
    if (bundleIDs.empty()) return found;
    for (auto& entry : desktopFiles(appDirs)) {
        if (!bundleIDs.count(entry.id)) continue;
        readEntry(entry);
        if (!entry.hidden) found.emplace(entry.id, std::move(entry.file));
    }
    return found;
}

std::string displayName(const fs::path& item) {
    const std::string name = item.filename().string();
    if (name.size() > 8 && name.compare(name.size() - 8, 8, ".desktop") == 0) {
        DesktopFile entry;
        entry.file = item;
        readEntry(entry);
        return entry.name.empty() ? name.substr(0, name.size() - 8) : entry.name;
    }
    return name;
}
bool open(const std::string& target) {
    const std::string program = Programs::path(Program::xdgOpen);
    char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(target.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    // The opener may run as long as what it opened: reaped aside, never waited for.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
}
}  // namespace Platform::Workspace
