#pragma once
#include <filesystem>

// The clipboard, by the exact bytes of a path: a name need not be UTF-8.
namespace Platform::Pasteboard {
// Replaces what the clipboard holds with the path: text/plain holding its bytes
// and text/uri-list holding its file:// URI.
void copyPath(const std::filesystem::path& item);
}  // namespace Platform::Pasteboard
