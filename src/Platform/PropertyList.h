#pragma once
#include "Platform/UserDefaults.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Reading property lists of either format into plain values: app bundles'
// Info.plist, launch job descriptions, the user defaults. An XML list is read by
// expat alone, in the one parse that checks its bounds and builds its values; a
// binary one by libplist, once its shape has been checked.
namespace Platform::PropertyList {
using Value = UserDefaults::Value;
using Dictionary = UserDefaults::Dictionary;

// The bounds every property list read here keeps, whoever reads it and whatever
// the file holds. Within them the costliest list takes well under a second and
// some 40 MiB to read and convert; real Info.plists, launch jobs and settings hold
// a few thousand values and some kilobytes of text.
inline constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024;
// Values as they are built: each container, key and plain value, a shared one
// once for every place it appears. An XML list's are counted by the one parse that
// builds them, a binary list's before libplist builds anything.
inline constexpr std::size_t kMaxValues = 128 * 1024;
// Bytes of text and data, unfolded the same way, UTF-16 counted as UTF-8. An XML
// list holds no more text than the file, and an unshared binary one no more than
// one and a half times the file: only shared text can pass this.
inline constexpr std::size_t kMaxTextBytes = 8 * 1024 * 1024;
// The deepest nesting read. Freeing a list recurses once per level, and so do
// libplist's reading of a binary one and its conversion, so a deeper one (a few
// hundred kilobytes can nest tens of thousands of levels) would overflow the
// stack; it is turned away before it is built.
inline constexpr int kMaxDepth = 256;

// Why no property list, or no dictionary, came of some bytes or a file.
enum class Problem {
    unreadable,       // missing, no regular file, larger than kMaxFileBytes, or a read error
    notPropertyList,  // neither format, or broken
    nestedTooDeeply,  // more than kMaxDepth levels
    tooManyValues,    // past kMaxValues or kMaxTextBytes
    notDictionary,    // a property list whose top level is no dictionary
};

// The text stored under `key`; null when there is none or it is not text.
const std::string* string(const Dictionary& dict, const std::string& key);

// Absent when the bytes hold no property list or pass the bounds above (why, in
// `problem`; more than kMaxFileBytes is unreadable). Values of a type we do not
// keep (data, UID) are left out of their dictionary.
std::optional<Value> parse(std::string_view bytes, Problem* problem = nullptr);
// Whether the bytes hold a property list of either format, whatever its values.
bool isPropertyList(std::string_view bytes, Problem* problem = nullptr);

// The bytes of a property-list file, for every reader of one: absent (unreadable)
// when it is no regular file (a fifo or device is never waited on), is larger than
// kMaxFileBytes, or cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& file, Problem* problem = nullptr);
// The top-level dictionary of the file at `file`: absent when readFile or parse
// turn it away or it holds no dictionary; `problem` says which.
std::optional<Dictionary> readDictionary(const std::filesystem::path& file, Problem* problem = nullptr);
}  // namespace Platform::PropertyList
