#pragma once
#include <array>
#include <compare>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class CleanCategory {
    systemData, userCaches, logs, xcode, packageManagers, devCaches, editors, appData, browsers,
    mail, downloads, iosBackups, trash, projects, installers, appLeftovers, aiSessions, aiCaches,
    aiModels,
};

namespace CleanCategories {
inline constexpr std::array<CleanCategory, 19> allCases = {
    CleanCategory::systemData, CleanCategory::userCaches,  CleanCategory::logs,
    CleanCategory::xcode,      CleanCategory::packageManagers, CleanCategory::devCaches,
    CleanCategory::editors,    CleanCategory::appData,     CleanCategory::browsers,
    CleanCategory::mail,       CleanCategory::downloads,   CleanCategory::iosBackups,
    CleanCategory::trash,      CleanCategory::projects,    CleanCategory::installers,
    CleanCategory::appLeftovers, CleanCategory::aiSessions, CleanCategory::aiCaches,
    CleanCategory::aiModels,
};
}

std::string rawValue(CleanCategory c);
std::optional<CleanCategory> cleanCategoryFromRawValue(std::string_view raw);
// Localized display texts.
std::string title(CleanCategory c);
std::string summary(CleanCategory c);
// System symbol name; never localized.
std::string symbol(CleanCategory c);

enum class Risk : int { safe = 0, review = 1 };
inline int rawValue(Risk r) { return static_cast<int>(r); }
std::optional<Risk> riskFromRawValue(long long raw);
inline bool operator<(Risk a, Risk b) { return rawValue(a) < rawValue(b); }

// A path held as its bytes alone, for what lists hold by the tens of thousands: a
// std::filesystem::path keeps every component parsed beside its bytes, several times
// their size in every copy. It turns into one wherever a path is wanted.
class PathBytes {
public:
    PathBytes() = default;
    PathBytes(std::string bytes) : bytes_(std::move(bytes)) {}
    PathBytes(const char* bytes) : bytes_(bytes) {}
    PathBytes(const std::filesystem::path& path) : bytes_(path.native()) {}
    operator std::filesystem::path() const { return bytes_; }

    const std::string& native() const noexcept { return bytes_; }
    const std::string& string() const noexcept { return bytes_; }
    const char* c_str() const noexcept { return bytes_.c_str(); }
    bool empty() const noexcept { return bytes_.empty(); }
    std::filesystem::path filename() const { return std::filesystem::path(bytes_).filename(); }
    std::filesystem::path parent_path() const { return std::filesystem::path(bytes_).parent_path(); }
    std::filesystem::path extension() const { return std::filesystem::path(bytes_).extension(); }
    std::filesystem::path lexically_relative(const std::filesystem::path& base) const {
        return std::filesystem::path(bytes_).lexically_relative(base);
    }

    // Byte for byte, as selections are keyed.
    friend bool operator==(const PathBytes&, const PathBytes&) = default;
    friend auto operator<=>(const PathBytes&, const PathBytes&) = default;
    friend bool operator==(const PathBytes& a, const std::filesystem::path& b) { return a.bytes_ == b.native(); }
    friend std::filesystem::path operator/(const PathBytes& a, const std::filesystem::path& b) {
        return std::filesystem::path(a.bytes_) / b;
    }
    friend std::ostream& operator<<(std::ostream& out, const PathBytes& p);

private:
    std::string bytes_;
};

struct CleanItem {
    PathBytes url;
    int64_t size = 0;
    CleanCategory category = CleanCategory::userCaches;
    Risk risk = Risk::safe;
    std::string note;
    bool permanent = false;
    bool requiresAdmin = false;
    std::optional<std::string> adminCommand;

    // Lists key rows and selections by path.
    std::string id() const { return url.string(); }
    bool operator==(const CleanItem&) const = default;
};

struct CleanReport {
    struct Skip {
        CleanItem item;
        std::string reason;
        // The bytes still there when the removal got partway; what went is in `freed`.
        std::optional<int64_t> left = std::nullopt;
        bool operator==(const Skip&) const = default;
    };
    // A finding moved to the Trash, and where it lies now.
    struct Moved {
        PathBytes from, to;
        bool operator==(const Moved&) const = default;
    };
    int64_t freed = 0;  // removed findings, and what went of those removed only partway
    int64_t trashed = 0;
    std::vector<CleanItem> removed;
    std::vector<Skip> skipped;
    bool dryRun = false;
    std::vector<Moved> inTrash;  // of a real run, in the order removed

    // What a real run changed on disk: the findings removed, whole or partway, where
    // those moved to the Trash lie now, and the history. Nothing for a preview.
    std::vector<std::filesystem::path> touched() const;
};

// Byte-count texts: file style (1 KB = 1,000 bytes, zero written with a digit)
// and memory style (1 KB = 1,024 bytes).
std::string formattedBytes(int64_t bytes);
std::string formattedMemory(int64_t bytes);

// Stable, largest-first order that every scanner returns.
void sortLargestFirst(std::vector<CleanItem>& items);
