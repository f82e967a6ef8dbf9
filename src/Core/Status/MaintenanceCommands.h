#pragma once
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// What each maintenance task runs on this platform, and the path that must be
// there for it to be offered. Where the platform has a real equivalent the task
// runs that; where it has none, the task keeps its macOS command and requires the
// macOS program or folder it works on, which is absent here, so it is not offered.
namespace MaintenanceCommands {
struct Command {
    std::string text;
    std::optional<std::string> requires_;
};

// The command of the task `id` for the user whose home folder and real user id
// are given; program paths come from the one program table. None for an id that
// is no task.
std::optional<Command> forTask(std::string_view id, const std::filesystem::path& home, uid_t uid);
}  // namespace MaintenanceCommands
