#pragma once
// What a piece of work costs in memory at its peak: its resident set's high-water
// mark, reset just before the work, in a child process of its own, so that no
// earlier test's peak hides it and the sanitizers' own heap counts as well.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>

namespace peakmemory {
struct Peak {
    long growthKiB = 0;
    std::string said;  // what the work returned, a short text
};

inline long highWaterKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// None when the child could not reset its mark or did not report.
template <class Work>
std::optional<Peak> measure(Work work) {
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::string out;
        if (std::ofstream("/proc/self/clear_refs") << "5") {
            const long before = highWaterKiB();
            const std::string said = work();
            out = std::to_string(highWaterKiB() - before) + "\n" + said;
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
    return Peak{std::stol(out), out.substr(out.find('\n') + 1)};
}
}  // namespace peakmemory
