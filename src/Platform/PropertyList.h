#pragma once
#include "Platform/UserDefaults.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>

// Reading property lists of either format (XML or binary) into plain values:
// app bundles' Info.plist, launch job descriptions, the user defaults.
namespace Platform::PropertyList {
using Value = UserDefaults::Value;
using Dictionary = UserDefaults::Dictionary;

// Large enough for any real Info.plist or job description.
inline constexpr std::size_t kDefaultMaxBytes = 4 * 1024 * 1024;
// The deepest nesting read. Reading, converting and freeing a list all recurse
// once per level, so a deeper one (a few hundred kilobytes can nest tens of
// thousands of levels) would overflow the stack; it is turned away before any of
// that runs.
inline constexpr int kMaxDepth = 256;

// Why no property list, or no dictionary, came of some bytes or a file.
enum class Problem {
    unreadable,       // missing, no regular file, larger than the cap, or a read error
    notPropertyList,  // neither format, or broken
    nestedTooDeeply,  // more than kMaxDepth levels
    tooManyValues,    // a binary list whose shared values would unfold far beyond its size, in count or bytes
    notDictionary,    // a property list whose top level is no dictionary
};

// The text stored under `key`; null when there is none or it is not text.
const std::string* string(const Dictionary& dict, const std::string& key);

// Absent when the bytes hold no property list (why, in `problem`). Values of a
// type we do not keep (data, UID) are left out of their dictionary.
std::optional<Value> parse(std::string_view bytes, Problem* problem = nullptr);
// Whether the bytes hold a property list of either format, whatever its values.
bool isPropertyList(std::string_view bytes, Problem* problem = nullptr);

// The top-level dictionary of the file at `file`. Absent when it is not a regular
// file (a fifo or device is never opened for blocking reads), is larger than
// `maxBytes`, cannot be read, or holds no dictionary; `problem` says which.
std::optional<Dictionary> readDictionary(const std::filesystem::path& file,
                                         std::size_t maxBytes = kDefaultMaxBytes, Problem* problem = nullptr);
}  // namespace Platform::PropertyList
