#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The desktop's autostart entries: what the session starts when the user logs in.
// Quelto's own login item is one of them; the Startup screen lists them all. An
// entry of the user's folder overrides a system entry of the same file name.
namespace Platform::Autostart {
// $XDG_CONFIG_HOME/autostart.
std::filesystem::path userFolder();
// The autostart folder of each $XDG_CONFIG_DIRS entry (default /etc/xdg), most
// important first.
std::vector<std::filesystem::path> systemFolders();

// What one entry file says. Later duplicates of a key win, as the desktops read it.
struct Entry {
    bool readable = false;     // a regular file with a [Desktop Entry] group
    std::string name;          // Name=, escapes undone
    std::string exec;          // Exec=, as written
    bool hidden = false;       // Hidden=true: the user deleted it
    bool switchedOff = false;  // X-GNOME-Autostart-enabled=false
    bool startsAtLogin() const { return readable && !hidden && !switchedOff; }
};
Entry read(const std::filesystem::path& file);

struct Item {
    std::string name;             // Name=, else the file name without ".desktop"
    std::filesystem::path file;   // the entry that decides
    bool operator==(const Item&) const = default;
};
struct Listing {
    std::vector<Item> items;
    std::optional<std::string> error;  // the user's folder exists but cannot be read; no items then
};
// Every entry the session starts, by name.
Listing loginItems(const std::filesystem::path& user = userFolder(),
                   const std::vector<std::filesystem::path>& system = systemFolders());

// Stops every listed entry of that name from starting: the user's own entry is
// deleted; one that stands for a system entry (or overrides one) becomes a user
// entry with Hidden=true. False when no entry has that name or one could not be changed.
bool remove(const std::string& name, const std::filesystem::path& user = userFolder(),
            const std::vector<std::filesystem::path>& system = systemFolders());
}  // namespace Platform::Autostart
