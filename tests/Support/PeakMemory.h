#pragma once
// What a piece of work costs in memory at its peak: its resident set's high-water
// mark, reset just before the work, in a child process of its own, so that no
// earlier test's peak hides it and the sanitizers' own heap counts as well.
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>

namespace peakmemory {
// The bound every reader of a file keeps, as a test measures it: the sanitizers hold
// freed memory aside and make every step dearer, so under them it is scaled.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr long kBoundKiB = 8 * 64 * 1024;
inline constexpr double kBoundSeconds = 4 * 2.0;
#else
inline constexpr long kBoundKiB = 64 * 1024;
inline constexpr double kBoundSeconds = 2.0;
#endif

struct Peak {
    long growthKiB = 0;
    std::string said;  // what the work returned, a short text
    double seconds = 0;  // how long the work took
};

inline long highWaterKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// None when the child could not reset its mark or did not report, or when the work
// ran past `limitSeconds` (none: no limit), so that a test of a bound fails, not hangs.
template <class Work>
std::optional<Peak> measure(Work work, unsigned limitSeconds = 0) {
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::string out;
        // Heap the parent freed but kept resident would take the work's growth unseen.
        ::malloc_trim(0);
        if (std::ofstream("/proc/self/clear_refs") << "5") {
            ::alarm(limitSeconds);
            const long before = highWaterKiB();
            const auto start = std::chrono::steady_clock::now();
            const std::string said = work();
            const auto took = std::chrono::steady_clock::now() - start;
            out = std::to_string(highWaterKiB() - before) + " " +
                  std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(took).count()) + "\n" + said;
        }
        ::_exit(::write(fds[1], out.data(), out.size()) == ssize_t(out.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; pid > 0 && (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, size_t(n));
    ::close(fds[0]);
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        out.find('\n') == std::string::npos)
        return std::nullopt;
    return Peak{std::stol(out), out.substr(out.find('\n') + 1), std::stol(out.substr(out.find(' '))) / 1e6};
}
}  // namespace peakmemory
