#pragma once
#include <dirent.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "Core/Clean/CleanTypes.h"
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

// The allocated size of `url` when the gate admits it and it holds at least
// `minimum` bytes. The gate is asked first: measuring walks the whole tree.
std::optional<int64_t> admittedSize(const std::filesystem::path& url, const SafetyGuard& safety, int64_t minimum = 0);

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
