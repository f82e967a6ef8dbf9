#pragma once
// Findings compared field by field, with paths shown relative to the fake home.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Core/Clean/CleanTypes.h"

namespace scanexpect {
struct Finding {
    std::string path;  // relative to the base folder
    int64_t size;
    CleanCategory category;
    Risk risk;
    std::string note;
    bool permanent = false;
    bool requiresAdmin = false;
    std::optional<std::string> adminCommand = std::nullopt;
    bool operator==(const Finding&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Finding& f) {
    os << "{" << f.path << ", " << f.size << ", " << rawValue(f.category) << ", "
       << (f.risk == Risk::safe ? "safe" : "review") << ", \"" << f.note << "\"";
    if (f.permanent) os << ", permanent";
    if (f.requiresAdmin) os << ", admin";
    if (f.adminCommand) os << ", `" << *f.adminCommand << "`";
    return os << "}";
}

inline std::vector<Finding> relative(const std::vector<CleanItem>& items, const std::filesystem::path& base) {
    std::vector<Finding> out;
    const std::string prefix = base.string() + "/";
    for (const auto& item : items) {
        std::string p = item.url.string();
        if (p.rfind(prefix, 0) == 0) p = p.substr(prefix.size());
        out.push_back({p, item.size, item.category, item.risk, item.note, item.permanent, item.requiresAdmin,
                       item.adminCommand});
    }
    return out;
}

// For scanners whose order within one listing is the file system's.
inline std::vector<Finding> sortedByPath(std::vector<Finding> v) {
    std::sort(v.begin(), v.end(), [](const Finding& a, const Finding& b) { return a.path < b.path; });
    return v;
}

inline std::vector<std::string> paths(const std::vector<CleanItem>& items) {
    std::vector<std::string> out;
    for (const auto& item : items) out.push_back(item.url.string());
    return out;
}

// Findings without their flags, paths relative to `base` with links and dots resolved.
inline std::vector<Finding> rows(const std::vector<CleanItem>& items, const std::filesystem::path& base) {
    std::vector<Finding> out;
    for (const auto& i : items)
        out.push_back({std::filesystem::relative(i.url, base).string(), i.size, i.category, i.risk, i.note});
    return out;
}

inline std::vector<std::string> paths(const std::vector<CleanItem>& items, const std::filesystem::path& base) {
    std::vector<std::string> out;
    for (const auto& i : items) out.push_back(std::filesystem::relative(i.url, base).string());
    return out;
}

// No scanner's finding is removed outright or needs administrator rights.
inline bool plainFlags(const std::vector<CleanItem>& items) {
    for (const auto& i : items)
        if (i.permanent || i.requiresAdmin || i.adminCommand) return false;
    return true;
}
}  // namespace scanexpect
