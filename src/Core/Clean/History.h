#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The cleaning history: history.json in Application Support/Quelto, newest first,
// at most 500 entries, read within a bound whatever the file holds. Every failure is
// silent, and none loses what the file holds: an entry that cannot be decoded is
// skipped, a file that cannot be read is never replaced, and one that cannot be kept
// whole (an entry not decoded, or more than the bound reads, or no regular file: a fifo
// is never opened) is first kept beside it, byte for byte (history.json.bad).
namespace History {
struct Entry {
    std::string id;  // UUID text, 36 characters
    std::chrono::system_clock::time_point date;
    std::string action;
    int64_t count = 0;
    int64_t bytes = 0;
    std::vector<std::string> paths;
    bool operator==(const Entry&) const = default;
};

inline constexpr size_t limit = 500;

void record(const Entry& entry);
std::filesystem::path fileURL();
// Deletes the file and the copies kept beside it; waits for a record under way.
void clear();
// The newest entries as stored, at most `limit`, as far as the bound reads, without
// those that cannot be decoded; empty when the file is missing or cannot be read.
std::vector<Entry> entries();
// A new random identifier in the standard textual form.
std::string newIdentifier();
}  // namespace History
