#pragma once
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Models/Analyze/ChildPath.h"

// Values by path, kept as folders and the names in each: what is kept of every row of a
// folder of 80,000 files holds the folder's path once, and a name, not a path, a row.
// Exact bytes.
template <class Value>
class PathMap {
public:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    using Names = std::unordered_map<std::string, Value, Hash, std::equal_to<>>;

    const Value* find(const ChildPath& path) const {
        // The rows of one listing share their folder: known by it at once.
        for (const auto& g : groups_)
            if (g.folder == path.sharedFolder()) {
                const auto it = g.names.find(path.name());
                return it == g.names.end() ? nullptr : &it->second;
            }
        return find(path.folderText(), path.name());
    }
    const Value* find(std::string_view path) const {
        const auto [folder, name] = split(path);
        return find(folder, name);
    }
    // True when it was not there.
    bool insert(const ChildPath& path, Value value) {
        return counted(names(path.folderText(), path.sharedFolder()).try_emplace(path.name(), std::move(value)).second);
    }
    bool insert(std::string_view path, Value value) {
        const auto [folder, name] = split(path);
        return counted(names(folder, nullptr).try_emplace(std::string(name), std::move(value)).second);
    }
    // The name in the folder (its path and "/").
    bool insertIn(std::string_view folder, std::string_view name, Value value) {
        return counted(names(folder, nullptr).try_emplace(std::string(name), std::move(value)).second);
    }
    bool erase(const ChildPath& path) { return erase(path.folderText(), path.name()); }
    bool erase(std::string_view path) {
        const auto [folder, name] = split(path);
        return erase(folder, name);
    }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void reserve(const ChildPath& like, size_t count) { names(like.folderText(), like.sharedFolder()).reserve(count); }
    // Calls `f(folder, name, value)` for each, folders in the order first met.
    template <class F>
    void forEach(F f) const {
        for (const auto& group : groups_)
            for (const auto& [name, value] : group.names) f(std::string_view(*group.folder), name, value);
    }
    bool operator==(const PathMap& other) const {
        if (size_ != other.size_) return false;
        for (const auto& group : groups_) {
            if (group.names.empty()) continue;
            const Group* mine = other.group(*group.folder);
            if (!mine || mine->names != group.names) return false;
        }
        return true;
    }

private:
    struct Group {
        std::shared_ptr<const std::string> folder;  // its path and "/", as ChildPath keeps it
        Names names;
    };
    static std::pair<std::string_view, std::string_view> split(std::string_view path) {
        const size_t slash = path.find_last_of('/');
        if (slash == std::string_view::npos) return {{}, path};
        return {path.substr(0, slash + 1), path.substr(slash + 1)};
    }
    const Group* group(std::string_view folder) const {
        // Nearly always one folder: the one shown.
        for (const auto& g : groups_)
            if (*g.folder == folder) return &g;
        return nullptr;
    }
    const Value* find(std::string_view folder, std::string_view name) const {
        const Group* g = group(folder);
        if (!g) return nullptr;
        const auto it = g->names.find(name);
        return it == g->names.end() ? nullptr : &it->second;
    }
    bool counted(bool added) {
        size_ += added ? 1 : 0;
        return added;
    }
    // The names of the folder, made when it has none yet.
    Names& names(std::string_view folder, const std::shared_ptr<const std::string>& shared) {
        if (const Group* g = group(folder)) return const_cast<Group*>(g)->names;
        groups_.push_back({shared && *shared == folder ? shared : std::make_shared<const std::string>(folder), {}});
        return groups_.back().names;
    }
    bool erase(std::string_view folder, std::string_view name) {
        for (auto it = groups_.begin(); it != groups_.end(); ++it) {
            if (*it->folder != folder) continue;
            const auto found = it->names.find(name);
            if (found == it->names.end()) return false;
            it->names.erase(found);
            --size_;
            if (it->names.empty()) groups_.erase(it);
            return true;
        }
        return false;
    }

    std::vector<Group> groups_;
    size_t size_ = 0;
};

// A set of paths by their exact bytes, kept as PathMap keeps them.
class PathSet {
public:
    PathSet() = default;
    PathSet(std::initializer_list<std::string> paths) {
        for (const auto& p : paths) insert(p);
    }

    bool contains(const ChildPath& path) const { return map_.find(path) != nullptr; }
    size_t count(std::string_view path) const { return map_.find(path) ? 1 : 0; }
    bool insert(const ChildPath& path) { return map_.insert(path, {}); }
    bool insert(std::string_view path) { return map_.insert(path, {}); }
    bool insert(const std::string& path) { return insert(std::string_view(path)); }
    bool insert(const char* path) { return insert(std::string_view(path)); }
    bool insertIn(std::string_view folder, std::string_view name) { return map_.insertIn(folder, name, {}); }
    bool erase(const ChildPath& path) { return map_.erase(path); }
    bool erase(std::string_view path) { return map_.erase(path); }
    bool erase(const std::string& path) { return erase(std::string_view(path)); }
    bool erase(const char* path) { return erase(std::string_view(path)); }
    size_t size() const { return map_.size(); }
    bool empty() const { return map_.empty(); }
    // Room for `count` names in the folder of `like`.
    void reserve(const ChildPath& like, size_t count) { map_.reserve(like, count); }
    // Calls `f(folder, name)` for each.
    template <class F>
    void forEach(F f) const {
        map_.forEach([&](std::string_view folder, const std::string& name, const None&) { f(folder, name); });
    }
    // Every path whole, in no set order.
    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        out.reserve(size());
        forEach([&](std::string_view folder, const std::string& name) { out.push_back(std::string(folder) + name); });
        return out;
    }
    bool operator==(const PathSet& other) const { return map_ == other.map_; }
    friend std::ostream& operator<<(std::ostream& os, const PathSet& s) {
        auto all = s.paths();
        std::sort(all.begin(), all.end());
        os << "{";
        for (size_t i = 0; i < all.size(); ++i) os << (i ? ", " : "") << all[i];
        return os << "}";
    }

private:
    struct None {
        bool operator==(const None&) const = default;
    };
    PathMap<None> map_;
};
