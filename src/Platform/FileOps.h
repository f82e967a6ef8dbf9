#pragma once
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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
// The modification time of a status record. Times beyond what a time point can hold
// (after 2262 or before 1677) saturate, so a far-future date never wraps into the past.
std::chrono::system_clock::time_point modificationTime(const struct ::stat& st);

// Deletes a file, link or whole folder tree, fd-relative with O_NOFOLLOW: a link
// is removed itself, and a folder swapped for a link mid-walk cannot redirect it.
Status removeRecursively(const std::filesystem::path& p);

// The whole content of a file; nothing when it cannot be opened or read.
std::optional<std::string> readFile(const std::filesystem::path& p);
// Writes all of `bytes`, going on after interrupted and short writes; false with
// errno set when it fails.
bool writeAll(int fd, std::string_view bytes);
// Replaces `target` with a file of this mode holding `bytes`: written under a
// temporary name beside it, flushed to disk, then renamed over it, so a reader
// sees the old file or the whole new one, never a part.
Status replaceFile(const std::filesystem::path& target, std::string_view bytes, mode_t mode);
}  // namespace Platform::FileOps
