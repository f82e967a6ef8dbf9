#pragma once
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

// A path kept as the folder it lies in, which its siblings share, and its own name: the
// rows of a folder of 80,000 files hold the folder's path once, not once a row. Exact
// bytes; the whole path is made only where it is asked for.
class ChildPath {
public:
    ChildPath() = default;
    // Split after the last "/".
    ChildPath(std::string_view path);                                                   // NOLINT
    ChildPath(const std::filesystem::path& path) : ChildPath(std::string_view(path.native())) {}  // NOLINT
    ChildPath(const std::string& path) : ChildPath(std::string_view(path)) {}                     // NOLINT
    ChildPath(const char* path) : ChildPath(std::string_view(path)) {}                            // NOLINT
    // A child of the folder whose path, followed by "/", is `within`.
    ChildPath(std::shared_ptr<const std::string> within, std::string name)
        : within_(std::move(within)), name_(std::move(name)) {}
    // What a folder's children share: its path followed by "/" ("/" for the root).
    static std::shared_ptr<const std::string> within(const std::filesystem::path& folder);

    // Everything up to the name, its last "/" included; empty for a bare name.
    std::string_view folderText() const { return within_ ? std::string_view(*within_) : std::string_view(); }
    const std::shared_ptr<const std::string>& sharedFolder() const { return within_; }
    const std::string& name() const { return name_; }
    std::string string() const;
    std::filesystem::path path() const { return string(); }
    operator std::filesystem::path() const { return path(); }  // NOLINT(google-explicit-constructor)
    explicit operator std::string() const { return string(); }
    std::filesystem::path filename() const { return name_; }
    std::filesystem::path parent_path() const { return std::filesystem::path(string()).parent_path(); }
    size_t hash() const { return std::hash<std::string_view>()(folderText()) * 31 + std::hash<std::string>()(name_); }
    // Whether this is the path, compared without making the whole path.
    bool is(std::string_view path) const;
    // Whether it lies directly in the folder of that path.
    bool isIn(const std::filesystem::path& folder) const;

    bool operator==(const ChildPath& other) const {
        return name_ == other.name_ && (within_ == other.within_ || folderText() == other.folderText());
    }
    friend bool operator==(const ChildPath& a, const std::filesystem::path& b) { return a.is(b.native()); }
    friend std::ostream& operator<<(std::ostream& os, const ChildPath& p) { return os << p.path(); }

private:
    std::shared_ptr<const std::string> within_;
    std::string name_;
};

// Whether a row's path is the path given, for rows kept as ChildPath or as a whole path.
inline bool samePath(const ChildPath& a, std::string_view b) { return a.is(b); }
inline bool samePath(const std::filesystem::path& a, std::string_view b) { return a.native() == b; }
