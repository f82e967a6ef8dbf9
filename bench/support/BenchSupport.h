#pragma once
// Shared pieces of the benchmarks: scratch trees, timing against du, medians.
// Temporary folders and dates come from the tests' tree helpers.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "Core/Clean/Shell.h"
#include "Support/TestTree.h"

namespace bench {
namespace fs = std::filesystem;

// "--seconds N" from the command line, else `fallback`.
inline double secondsOption(int argc, char** argv, double fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) return std::atof(argv[i + 1]);
    return fallback;
}

// Writes `folders` folders (grouped `perGroup` to a parent) of `filesPerFolder` tiny files.
inline bool buildTree(const fs::path& root, int folders, int filesPerFolder, int perGroup = 100) {
    std::error_code ec;
    for (int d = 0; d < folders; ++d) {
        const fs::path folder =
            root / ("g" + std::to_string(d / perGroup)) / ("d" + std::to_string(d));
        fs::create_directories(folder, ec);
        if (ec) return false;
        for (int f = 0; f < filesPerFolder; ++f) {
            const std::string name = folder / ("f" + std::to_string(f) + ".txt");
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0) return false;
            const std::string body = "q" + std::to_string(f);
            const bool written = ::write(fd, body.data(), body.size()) == ssize_t(body.size());
            ::close(fd);
            if (!written) return false;
        }
    }
    return true;
}

using testtree::writeFiles;

// Writes a tree just made out to its disk: timed against the writeback of what was just
// written, a walk measures the writeback more than itself.
inline void settle(const fs::path& root) {
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::syncfs(fd);
    ::close(fd);
}

// Points the user's folders at `home` (settings, data and caches), so a bench never
// reads or writes the real ones.
inline void useHome(const fs::path& home) {
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
}

// Another process's CPU seconds so far, and those of the children it has waited
// for, from its stat line.
inline std::pair<double, double> cpuWithChildren(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return {0, 0};
    std::vector<unsigned long long> f;
    for (size_t at = close + 2; at < line.size();) {
        const size_t space = line.find(' ', at);
        f.push_back(std::strtoull(line.substr(at, space - at).c_str(), nullptr, 10));
        if (space == std::string::npos) break;
        at = space + 1;
    }
    if (f.size() < 15) return {0, 0};
    const double tick = double(sysconf(_SC_CLK_TCK));
    return {double(f[11] + f[12]) / tick, double(f[13] + f[14]) / tick};
}

inline double cpuOf(pid_t pid) { return cpuWithChildren(pid).first; }

// The calling thread's own processor seconds so far.
inline double threadSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

inline double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Times each run `rounds` times, taking turns at going first, so none always runs on
// caches another just warmed; the median of each, in seconds.
inline std::vector<double> inTurns(int rounds, const std::vector<std::function<void()>>& runs) {
    std::vector<std::vector<double>> times(runs.size());
    for (int i = 0; i < rounds; ++i)
        for (size_t k = 0; k < runs.size(); ++k) {
            const size_t who = (k + size_t(i)) % runs.size();
            times[who].push_back(secondsOf(runs[who]));
        }
    std::vector<double> medians;
    for (auto& t : times) medians.push_back(median(std::move(t)));
    return medians;
}

struct Medians {
    double ours = 0, peer = 0;  // seconds
};

inline Medians alternately(int rounds, const std::function<void()>& ours, const std::function<void()>& peer) {
    const auto m = inTurns(rounds, {ours, peer});
    return {m[0], m[1]};
}

// The load average over the last minute, as uptime shows it: what else ran meanwhile.
inline std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string oneMinute;
    in >> oneMinute;
    return oneMinute.empty() ? "?" : oneMinute;
}

// du -s -B1 over a tree: the peer the benches measure against.
inline Shell::Result du(const fs::path& root) { return Shell::run("/usr/bin/du", {"-s", "-B1", root.string()}, 600); }
// gdu over a tree, on every processor, its total only.
inline Shell::Result gdu(const fs::path& root) {
    return Shell::run("/usr/bin/gdu", {"-n", "-x", "-s", "-p", "--no-prefix", root.string()}, 600);
}
}  // namespace bench
