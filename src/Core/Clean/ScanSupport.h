#pragma once
#include <dirent.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/FileSizer.h"
#include "Core/Clean/SafetyGuard.h"

// fd-relative helpers shared by the disk scanners: nothing here follows a
// symbolic link or changes the working folder, so scans may run on any thread.
namespace ScanSupport {
using Clock = std::chrono::system_clock;

inline Clock::time_point distantPast() { return Clock::time_point::min(); }

// now minus the given seconds, saturating instead of overflowing for absurd settings.
Clock::time_point before(Clock::time_point now, int64_t seconds);
inline Clock::time_point daysBefore(Clock::time_point now, int64_t days) { return before(now, days * 86400); }

inline bool isHidden(const char* name) { return name[0] == '.'; }
inline bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
inline bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}
// A finding the user's Trash takes, with no administrator rights needed.
inline CleanItem finding(std::filesystem::path url, int64_t size, CleanCategory category, Risk risk,
                         std::string note) {
    return CleanItem{std::move(url), size, category, risk, std::move(note), false, false, std::nullopt};
}

// One of the platform's own folders (the Trash, the user cache folder) as a scan from
// `home` sees it: the platform names it under the environment's home, which `home` (links
// resolved) may spell differently.
std::filesystem::path platformFolder(const std::filesystem::path& folder, const std::filesystem::path& home);
// The user cache folder as a scan from `home` sees it; none when there is no cache folder.
std::optional<std::filesystem::path> userCaches(const std::filesystem::path& home);
// Where a location named relative to the home lies on this platform: one under
// "Library/Caches" or ".cache" in the user cache folder (tools that keep their caches
// in ~/.cache on a Mac follow the cache folder here; nowhere when there is none), any
// other in `home`.
std::optional<std::filesystem::path> inHome(std::string_view relative, const std::filesystem::path& home);

// The allocated size of `url` when the gate admits it and it holds at least
// `minimum` bytes. The gate is asked first: measuring walks the whole tree.
std::optional<int64_t> admittedSize(const std::filesystem::path& url, const SafetyGuard& safety, int64_t minimum = 0);

// Candidates a scan measures together: each is put to the gate as it is added, and
// the admitted ones are measured side by side when the scan asks (FileSizer::sizes),
// which keeps the pool busy where measuring each on its own would not. The gate comes
// first still: measuring walks the whole tree.
template <class Label>
class Measuring {
public:
    explicit Measuring(const SafetyGuard& safety) : safety_(safety) {}

    // Kept, with its label, when the gate admits `url`.
    void add(std::filesystem::path url, int64_t minimum, Label label) {
        if (safety_.check(url).isAllowed()) pending_.push_back({std::move(url), minimum, std::move(label)});
    }
    // `visit(url, size, label)` for each kept one of at least its minimum, in the order
    // added; then it starts afresh. A path added twice is measured once.
    template <class Visit>
    void measure(Visit visit) {
        std::vector<std::filesystem::path> urls;
        std::vector<size_t> slot(pending_.size());
        std::unordered_map<std::string, size_t> slots;
        for (size_t i = 0; i < pending_.size(); ++i) {
            const auto [it, added] = slots.try_emplace(pending_[i].url.native(), urls.size());
            if (added) urls.push_back(pending_[i].url);
            slot[i] = it->second;
        }
        const auto sizes = FileSizer::sizes(urls);
        for (size_t i = 0; i < pending_.size(); ++i)
            if (const int64_t size = sizes[slot[i]]; size >= pending_[i].minimum)
                visit(pending_[i].url, size, pending_[i].label);
        pending_.clear();
    }

private:
    struct Pending {
        std::filesystem::path url;
        int64_t minimum;
        Label label;
    };
    const SafetyGuard& safety_;
    std::vector<Pending> pending_;
};

// Numeric-aware order of version names, <0, 0 or >0: "1.10.0" comes after "1.9.9".
int compareVersions(const std::string& a, const std::string& b);

// The name's extension without its dot, case kept; "" when it has none.
std::string extension(const std::string& name);
// The same, lower-cased ASCII.
std::string lowercasedExtension(const std::string& name);

// An open folder read entry by entry. Opening refuses a link at the last
// component; an unopenable folder lists as empty.
class Folder {
public:
    explicit Folder(const std::filesystem::path& path);
    Folder(const Folder& parent, const char* name);
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    bool isOpen() const { return dir_ != nullptr; }
    int fd() const;
    // The next entry other than "." and ".."; nullptr at the end.
    const dirent* next();
    // lstat of one entry, or of the folder itself.
    std::optional<struct ::stat> status(const char* name) const;
    std::optional<struct ::stat> status() const;
    // A real folder, not a link to one (the entry type, else lstat).
    bool isFolder(const dirent* e) const;
    bool contains(const char* name) const { return status(name).has_value(); }

private:
    DIR* dir_ = nullptr;
};
}  // namespace ScanSupport
