#pragma once
// A fake home folder for the disk scanners: files of known allocated size, dates
// set to the nanosecond, and a stopped clock so cut-offs can be hit exactly.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <ostream>
#include <vector>

#include "Core/CleanTypes.h"
#include "Core/SafetyGuard.h"
#include "Support/TestTree.h"
#include "Platform/Clock.h"

namespace scanhome {
namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;
constexpr int64_t block = 4096;

class ScanHome {
public:
    ScanHome() : home(tmp / "home"), clock(Clock::now()) {
        fs::create_directories(home);
        Platform::setClock(&clock);
    }
    ~ScanHome() { Platform::setClock(nullptr); }

    Clock::time_point now() const { return clock.now(); }
    Clock::time_point daysAgo(double days) const {
        return now() - std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(days * 86400));
    }

    // A file of `blocks` allocated 4096-byte blocks (logical size `blocks * 4096 - shortBy`).
    fs::path file(const fs::path& rel, int64_t blocks, std::optional<Clock::time_point> date = std::nullopt,
                  int64_t shortBy = 0) {
        const fs::path p = home / rel;
        testtree::writeFile(p, std::string(static_cast<size_t>(std::max<int64_t>(0, blocks * block - shortBy)), 'x'));
        if (date) setDate(rel, *date);
        return p;
    }
    fs::path folder(const fs::path& rel, std::optional<Clock::time_point> date = std::nullopt) {
        const fs::path p = home / rel;
        fs::create_directories(p);
        if (date) setDate(rel, *date);
        return p;
    }
    fs::path link(const fs::path& target, const fs::path& rel) {
        const fs::path p = home / rel;
        fs::create_directories(p.parent_path());
        fs::create_symlink(target, p);
        return p;
    }
    // Dates the item itself, never a link's target.
    void setDate(const fs::path& rel, Clock::time_point t) {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
        const struct timespec ts[2] = {{ns / 1000000000, ns % 1000000000}, {ns / 1000000000, ns % 1000000000}};
        ::utimensat(AT_FDCWD, (home / rel).c_str(), ts, AT_SYMLINK_NOFOLLOW);
    }
    // Dates every item below `rel` (and `rel` itself), deepest first.
    void dateTree(const fs::path& rel, Clock::time_point t) {
        std::vector<fs::path> all;
        for (auto it = fs::recursive_directory_iterator(home / rel); it != fs::recursive_directory_iterator(); ++it)
            all.push_back(fs::relative(it->path(), home));
        for (auto i = all.rbegin(); i != all.rend(); ++i) setDate(*i, t);
        setDate(rel, t);
    }

    SafetyGuard guard(std::vector<std::string> protectedPaths = {}, std::vector<fs::path> extraRoots = {}) const {
        return SafetyGuard(home, std::move(protectedPaths), std::move(extraRoots));
    }

    testtree::TempDir tmp;
    testtree::ScopedEnv envHome{"HOME", (tmp / "home").string()};
    testtree::ScopedEnv envData{"XDG_DATA_HOME", (tmp / "home/.local/share").string()};
    testtree::ScopedEnv envConfig{"XDG_CONFIG_HOME", (tmp / "home/.config").string()};
    testtree::ScopedEnv envCache{"XDG_CACHE_HOME", (tmp / "home/.cache").string()};
    const fs::path home;
    Platform::SteppedClock clock;
};

// A finding without its flags, to compare whole result lists at a glance.
struct Row {
    std::string path;  // relative to the folder the test names
    int64_t size;
    CleanCategory category;
    Risk risk;
    std::string note;
    bool operator==(const Row&) const = default;
    friend std::ostream& operator<<(std::ostream& os, const Row& r) {
        return os << "{" << r.path << ", " << r.size << ", " << rawValue(r.category) << ", "
                  << (r.risk == Risk::safe ? "safe" : "review") << ", \"" << r.note << "\"}";
    }
};

inline std::vector<Row> rows(const std::vector<CleanItem>& items, const fs::path& base) {
    std::vector<Row> out;
    for (const auto& i : items)
        out.push_back({fs::relative(i.url, base).string(), i.size, i.category, i.risk, i.note});
    return out;
}

inline std::vector<std::string> paths(const std::vector<CleanItem>& items, const fs::path& base) {
    std::vector<std::string> out;
    for (const auto& i : items) out.push_back(fs::relative(i.url, base).string());
    return out;
}

// No scanner's finding is removed outright or needs administrator rights.
inline bool plainFlags(const std::vector<CleanItem>& items) {
    for (const auto& i : items)
        if (i.permanent || i.requiresAdmin || i.adminCommand) return false;
    return true;
}
}  // namespace scanhome
