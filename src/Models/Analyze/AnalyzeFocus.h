#pragma once
#include <string>
#include <utility>

// What the analyzer highlights: one listed entry, one sub-slice of the outer ring,
// or the summed entries too small for an arc. Paths are the exact bytes of the
// path, so a name that is not UTF-8 is still told apart from its neighbours.
struct AnalyzeFocus {
    enum class Kind { entry, slice, other };
    Kind kind = Kind::other;
    std::string path;  // empty for `other`

    static AnalyzeFocus entry(std::string path) { return {Kind::entry, std::move(path)}; }
    static AnalyzeFocus slice(std::string path) { return {Kind::slice, std::move(path)}; }
    static AnalyzeFocus other() { return {Kind::other, {}}; }

    bool operator==(const AnalyzeFocus&) const = default;
};
