#pragma once
// What a piece of work costs in memory at its peak: its resident set's high-water
// mark, reset just before the work, in a child process of its own, so that no
// earlier test's peak hides it and the sanitizers' own heap counts as well.
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

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

// What a child wrote to the pipe it was given, until it closed it; closes our end.
inline std::string readAll(int fd, pid_t child) {
    std::string out;
    char buffer[4096];
    for (ssize_t n; child > 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, size_t(n));
    ::close(fd);
    return out;
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
    const std::string out = readAll(fds[0], pid);
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        out.find('\n') == std::string::npos)
        return std::nullopt;
    return Peak{std::stol(out), out.substr(out.find('\n') + 1), std::stol(out.substr(out.find(' '))) / 1e6};
}

// The same of a program: its whole resident set at its peak (which counts what this
// process held when it forked), and what it printed followed by "exit N", or by
// "signal N" when a signal ended it (SIGALRM past `limitSeconds`).
inline std::optional<Peak> measureProgram(const std::vector<std::string>& argv, unsigned limitSeconds = 0) {
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::alarm(limitSeconds);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string said = readAll(fds[0], pid);
    int status = 0;
    struct rusage usage {};
    if (pid <= 0 || ::wait4(pid, &status, 0, &usage) != pid) return std::nullopt;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    said += WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status)) : "signal " + std::to_string(WTERMSIG(status));
    return Peak{usage.ru_maxrss, said, took.count()};
}
}  // namespace peakmemory
