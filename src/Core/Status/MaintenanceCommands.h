#pragma once
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What each maintenance task runs on this platform, and the path that must be
// there for it to be offered. Where the platform has a real equivalent the task
// runs that; where it has none, the task keeps its macOS command and requires the
// macOS program or folder it works on, which is absent here, so it is not offered.
namespace MaintenanceCommands {
struct Command {
    std::string text;
    // The path that must be there for the task to be offered; the empty path, which is
    // never there, where the task has nothing to work in on this machine.
    std::optional<std::string> requires_;
    // The user's folders the command names and changes (where it deletes, moves to
    // or rewrites), so sizes measured there before it ran can be dropped.
    std::vector<std::filesystem::path> changes;
};

// The command of the task `id` for the user whose home folder and real user id
// are given; program paths come from the one program table, the user's folders
// from the platform's locations (never from the shell's variables). None for an id
// that is no task.
std::optional<Command> forTask(std::string_view id, const std::filesystem::path& home, uid_t uid);
}  // namespace MaintenanceCommands
