#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

// Allocated bytes of a file or folder tree; 0 when nothing can be measured.
// Links are never followed; unreadable parts are passed over; a file of several names
// in the tree counts once. A folder is walked on the shared pool while the caller waits.
namespace FileSizer {
int64_t size(const std::filesystem::path& url);
// The same for several items, measured side by side: far faster than one by one when
// there are many small trees. In the order given.
std::vector<int64_t> sizes(const std::vector<std::filesystem::path>& urls);
}
