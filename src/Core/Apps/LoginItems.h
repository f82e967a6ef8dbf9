#pragma once
#include <optional>
#include <string>
#include <vector>

// What starts with the user's session besides the launch services: the apps that
// open at login (the desktop's autostart entries) and the background-activity
// records read with the system's sfltool as administrator. Synchronous; call from
// a worker.
namespace LoginItems {

struct OpenAtLogin {
    std::string name;  // never empty
    std::string path;  // the item's file; may be empty
    const std::string& id() const { return name; }
    bool operator==(const OpenAtLogin&) const = default;
};

struct Background {
    std::string name;                       // the app's display name, or the record's own name
    std::optional<std::string> bundlePath;  // the item's bundle or executable, when known
    bool allowed = false;                   // the system lets it run in the background
    std::string id() const { return name + bundlePath.value_or(""); }
    bool operator==(const Background&) const = default;
};

template <class T>
struct Listing {
    std::vector<T> items;
    std::optional<std::string> error;  // why the list could not be read
};

// The apps that open at login, by name.
Listing<OpenAtLogin> openAtLogin();
// Takes every app of that name off the list; true when that was done.
bool remove(const std::string& name);
// Asks for the administrator password every time; run only when the user asks.
Listing<Background> backgroundActivity();
// The records of `sfltool dumpbtm` output, merged by app name, sorted by name.
std::vector<Background> parseBTM(const std::string& text);

}  // namespace LoginItems
