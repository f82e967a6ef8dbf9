#pragma once
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

// Byte-exact file operations that never follow a symbolic link.
namespace Platform::FileOps {
struct Status {
    bool ok = true;
    std::string error;  // the platform's description when !ok
};

// lstat of the item; nothing when it is gone or unreadable.
std::optional<struct ::stat> attributes(const std::filesystem::path& p);
bool exists(const std::filesystem::path& p);  // lstat succeeds (a dangling link exists)
// Content modification date; nothing when it cannot be read.
std::optional<std::chrono::system_clock::time_point> modificationDate(const std::filesystem::path& p);

// Deletes a file, link or whole folder tree, fd-relative with O_NOFOLLOW: a link
// is removed itself, and a folder swapped for a link mid-walk cannot redirect it.
Status removeRecursively(const std::filesystem::path& p);
}  // namespace Platform::FileOps
