#pragma once
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The launch services defined by property lists in the three launch folders:
// whether each is switched on and loaded now, switching one, and removing one of
// the user's own. Synchronous; call from a worker.
namespace StartupItems {

enum class Scope { user, allUsers, system };
inline constexpr std::array<Scope, 3> allCases = {Scope::user, Scope::allUsers, Scope::system};
// "You", "All users", "System" (localized).
std::string title(Scope s);
// "gui/<uid>" for the two agent scopes, "system" for daemons.
std::string domain(Scope s);

struct Item {
    std::filesystem::path plist;
    std::string label;
    std::string program;  // Program, else the first ProgramArguments element, else empty
    Scope scope = Scope::user;
    bool enabled = false;
    bool running = false;                         // the label is loaded now
    std::optional<std::filesystem::path> appURL;  // the app bundle the program lies in
    // The bundle's name, else the label's last two dot-separated parts.
    std::string displayName() const;
    bool operator==(const Item&) const = default;
};

// The folder of each scope; tests point them at fixture trees.
struct Folders {
    std::filesystem::path user, allUsers, system;
    const std::filesystem::path& of(Scope s) const;
    // ~/Library/LaunchAgents, /Library/LaunchAgents, /Library/LaunchDaemons.
    static Folders standard();
};

// Every job of the three folders, by scope and then by name. Never fails: what
// cannot be read is left out.
std::vector<Item> load(const Folders& folders = Folders::standard());

struct Outcome {
    bool ok = false;
    std::string message;  // the command's output
};
// Switches the job on or off, now and for the next login or boot; a system daemon
// asks for the administrator password.
Outcome setEnabled(const Item& item, bool enabled);
// Stops one of the user's own jobs and moves its property list to the Trash;
// false for the other scopes, without running anything.
bool remove(const Item& item);
// The place where the user manages what starts at login.
void openLoginItemsSettings();

}  // namespace StartupItems
