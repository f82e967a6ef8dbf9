#pragma once
#include <cstdint>
#include <filesystem>

// Allocated bytes of a file or folder tree; 0 when nothing can be measured.
// Links are never followed; unreadable parts are passed over; a file of several names
// in the tree counts once. A folder is walked on the shared pool while the caller waits.
namespace FileSizer {
int64_t size(const std::filesystem::path& url);
}
