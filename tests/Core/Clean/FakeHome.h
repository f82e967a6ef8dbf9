#pragma once
// A Mac-style home folder in a temporary tree, with the environment pointed at it,
// files whose allocated size is known to the byte, dates set to the nanosecond and
// a stopped clock, so cut-offs can be hit exactly.
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "Core/Clean/SafetyGuard.h"
#include "Support/TestTree.h"
#include "Platform/Clock.h"

namespace fakehome {
namespace fs = std::filesystem;
using TimePoint = std::chrono::system_clock::time_point;

// The file system allocates in blocks of this size; sizes below are made of them.
inline constexpr int64_t kBlock = 4096;

// Relative paths given to it are under the home folder; absolute ones are kept.
class FakeHome {
public:
    FakeHome()
        : home_(tmp_ / "home"),
          envHome_("HOME", home_.string()),
          envData_("XDG_DATA_HOME", (home_ / ".local/share").string()),
          envConfig_("XDG_CONFIG_HOME", (home_ / ".config").string()),
          envCache_("XDG_CACHE_HOME", (home_ / ".cache").string()),
          envDataDirs_("XDG_DATA_DIRS", (tmp_ / "share").string()),
          clock_(std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now())) {
        fs::create_directories(home_);
        Platform::setClock(&clock_);
    }
    ~FakeHome() { Platform::setClock(nullptr); }
    FakeHome(const FakeHome&) = delete;
    FakeHome& operator=(const FakeHome&) = delete;

    const fs::path& home() const { return home_; }
    const fs::path& root() const { return tmp_.path(); }  // outside the home folder
    fs::path operator/(const fs::path& rel) const { return home_ / rel; }
    // The scans' "now": fixed for the test, so ages land exactly where a test puts them.
    TimePoint now() const { return clock_.now(); }
    TimePoint daysAgo(double days) const {
        return now() - std::chrono::duration_cast<std::chrono::system_clock::duration>(
                           std::chrono::duration<double>(days * 86400));
    }

    // A file of `blocks` full blocks of real data (never sparse), dated `date` when given.
    fs::path file(const fs::path& where, int64_t blocks, std::optional<TimePoint> date = std::nullopt) const {
        const fs::path p = bytes(where, static_cast<size_t>(blocks * kBlock));
        if (date) setDate(p, *date);
        return p;
    }
    fs::path bytes(const fs::path& where, size_t count) const {
        const fs::path p = absolute(where);
        testtree::writeFile(p, std::string(count, 'q'));
        return p;
    }
    // A folder holding one data file of `blocks` blocks; the folder measures blocks × 4096.
    fs::path folder(const fs::path& where, int64_t blocks = 0) const {
        const fs::path p = absolute(where);
        fs::create_directories(p);
        if (blocks > 0) file(p / "data", blocks);
        return p;
    }
    fs::path link(const fs::path& where, const fs::path& target) const {
        const fs::path p = absolute(where);
        fs::create_directories(p.parent_path());
        fs::create_symlink(target, p);
        return p;
    }
    // Sets the content modification date of the item itself (a link is not followed).
    void setDate(const fs::path& where, TimePoint t) const { testtree::setDate(absolute(where), t); }
    // Dates every item below `where` and `where` itself, deepest first.
    void dateTree(const fs::path& where, TimePoint t) const {
        const fs::path top = absolute(where);
        std::vector<fs::path> all;
        for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator(); ++it)
            all.push_back(it->path());
        for (auto i = all.rbegin(); i != all.rend(); ++i) setDate(*i, t);
        setDate(top, t);
    }

    SafetyGuard guard(std::vector<std::string> protectedPaths = {}, std::vector<fs::path> extraRoots = {}) const {
        return SafetyGuard(home_, std::move(protectedPaths), std::move(extraRoots));
    }

    fs::path absolute(const fs::path& where) const { return where.is_absolute() ? where : home_ / where; }

private:
    testtree::TempDir tmp_;
    fs::path home_;
    testtree::ScopedEnv envHome_, envData_, envConfig_, envCache_, envDataDirs_;
    Platform::SteppedClock clock_;
};
}  // namespace fakehome
