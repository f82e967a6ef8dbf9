#pragma once
// The terminal monitors people run instead of ours, each on a pseudo-terminal of its
// own, and this process's processor time (another's is bench::cpuOf).
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace bench {

inline double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

// This process's CPU seconds, and those of the children it has waited for.
inline double selfCpu() {
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    return seconds(self.ru_utime) + seconds(self.ru_stime);
}
inline double childrenCpu() {
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    return seconds(children.ru_utime) + seconds(children.ru_stime);
}

struct Peer {
    std::string name;
    pid_t pid = -1;
    pid_t drain = -1;
};

// Starts a peer on a terminal of its own, 120 × 40, and a drain for what it draws.
inline Peer startPeer(const std::string& name, std::vector<std::string> argv) {
    Peer peer{name};
    winsize size{40, 120, 0, 0};
    int master = -1;
    peer.pid = forkpty(&master, nullptr, nullptr, &size);
    if (peer.pid == 0) {
        setenv("TERM", "xterm-256color", 1);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    // The drain is a process of its own, so reading the screens costs this one nothing.
    peer.drain = fork();
    if (peer.drain == 0) {
        char buf[65536];
        for (;;) {
            const ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0 && errno != EINTR) _exit(0);
        }
    }
    close(master);
    return peer;
}

inline void stop(const Peer& peer) {
    for (pid_t p : {peer.pid, peer.drain}) {
        kill(p, SIGKILL);
        waitpid(p, nullptr, 0);
    }
}

}  // namespace bench
