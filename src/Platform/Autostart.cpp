#include "Platform/Autostart.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "Platform/DesktopEntry.h"
#include "Platform/FileOps.h"
#include "Platform/Locations.h"

namespace fs = std::filesystem;

namespace Platform::Autostart {
namespace {
constexpr std::string_view kSuffix = ".desktop";

bool isEntryName(std::string_view n) { return n.size() > kSuffix.size() && n.ends_with(kSuffix); }

// The entry file names of one folder, sorted by their bytes. `error` is set when
// the folder is there but cannot be read; a missing folder simply has none.
std::vector<std::string> entryNames(const fs::path& folder, std::optional<std::string>* error = nullptr) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        if (error && errno != ENOENT && errno != ENOTDIR)
            *error = "Couldn't read " + folder.string() + ": " + std::strerror(errno);
        return names;
    }
    while (const dirent* e = ::readdir(dir))
        if (isEntryName(e->d_name)) names.emplace_back(e->d_name);
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool inAnySystemFolder(const std::string& fileName, const std::vector<fs::path>& system) {
    return std::any_of(system.begin(), system.end(),
                       [&](const fs::path& folder) { return FileOps::exists(folder / fileName); });
}

// Which file decides each entry name: the user's, else the first system folder's.
std::map<std::string, fs::path> decidingFiles(const fs::path& user, const std::vector<fs::path>& system,
                                              std::optional<std::string>* error) {
    std::map<std::string, fs::path> files;
    for (const auto& n : entryNames(user, error)) files.emplace(n, user / n);
    for (const auto& folder : system)
        for (const auto& n : entryNames(folder)) files.emplace(n, folder / n);
    return files;
}
}  // namespace

fs::path userFolder() { return Locations::configHome() / "autostart"; }

std::vector<fs::path> systemFolders() {
    std::vector<fs::path> folders;
    for (const auto& dir : Locations::configDirs()) folders.push_back(dir / "autostart");
    return folders;
}

Entry read(const fs::path& file) {
    Entry entry;
    const auto keys = DesktopEntry::mainGroup(file);
    entry.readable = !keys.empty();
    for (const auto& [key, value] : keys) {
        if (key == "Name") entry.name = DesktopEntry::stringValue(value);
        else if (key == "Exec") entry.exec = value;
        else if (key == "Hidden") entry.hidden = value == "true";
        else if (key == "X-GNOME-Autostart-enabled") entry.switchedOff = value == "false";
    }
    return entry;
}

Listing loginItems(const fs::path& user, const std::vector<fs::path>& system) {
    Listing listing;
    const auto files = decidingFiles(user, system, &listing.error);
    // Without the user's folder it is not known which system entries it hides.
    if (listing.error) return listing;
    for (const auto& [fileName, file] : files) {
        const Entry entry = read(file);
        if (!entry.startsAtLogin()) continue;
        std::string name = entry.name;
        if (name.empty()) name = fileName.substr(0, fileName.size() - kSuffix.size());
        listing.items.push_back({std::move(name), file});
    }
    return listing;
}

bool remove(const std::string& name, const fs::path& user, const std::vector<fs::path>& system) {
    bool found = false, ok = true;
    for (const auto& item : loginItems(user, system).items) {
        if (item.name != name) continue;
        found = true;
        const std::string fileName = item.file.filename().string();
        if (item.file.parent_path() == user && !inAnySystemFolder(fileName, system)) {
            ok = ::unlink(item.file.c_str()) == 0 && ok;
            continue;
        }
        // Deleting the user's copy would bring the system entry back: hide it instead.
        std::error_code ec;
        fs::create_directories(user, ec);
        ok = FileOps::replaceFile(user / fileName, "[Desktop Entry]\nType=Application\nHidden=true\n", 0644).ok && ok;
    }
    return found && ok;
}

}  // namespace Platform::Autostart
