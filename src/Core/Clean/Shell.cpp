#include "Core/Clean/Shell.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "Core/Localized.h"
#include "Platform/FileOps.h"

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

// How long a program that ignored the terminate request gets before it is killed.
constexpr std::chrono::seconds kGrace{2};
// After the kill, how long to wait for the last output once the child is reaped.
constexpr std::chrono::milliseconds kDrain{100};

std::string errorText(int err) {
    char buf[256];
    // GNU strerror_r returns the text, which may not be in buf.
    return ::strerror_r(err, buf, sizeof buf);
}


}  // namespace

// Replaces every ill-formed sequence by U+FFFD, one per maximal ill-formed subpart.
std::string Shell::decodeUtf8(const std::string& in) {
    static const char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(in.size());
    const auto* s = reinterpret_cast<const unsigned char*>(in.data());
    const size_t n = in.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        size_t need = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            need = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            need = 2;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            need = 3;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            out += kReplacement;
            ++i;
            continue;
        }
        size_t j = i + 1;
        size_t got = 0;
        while (got < need && j < n) {
            const unsigned char b = s[j];
            const unsigned char bl = got == 0 ? lo : 0x80, bh = got == 0 ? hi : 0xBF;
            if (b < bl || b > bh) break;
            ++j;
            ++got;
        }
        if (got == need) out.append(in, i, j - i);
        else out += kReplacement;
        i = j;
    }
    return out;
}

namespace {
int statusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return -1;
}

class Spawn {
public:
    Spawn() {
        ::posix_spawn_file_actions_init(&actions_);
        ::posix_spawnattr_init(&attr_);
    }
    ~Spawn() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attr_);
    }
    Spawn(const Spawn&) = delete;
    Spawn& operator=(const Spawn&) = delete;

    // The write end becomes stdout and stderr; every other descriptor above 2 is
    // closed in the child, including ones other threads open meanwhile without
    // O_CLOEXEC. Own process group so a time-out reaches the program's children.
    int start(pid_t& pid, const std::string& program, char* const argv[], int writeEnd) {
        int rc = ::posix_spawn_file_actions_adddup2(&actions_, writeEnd, STDOUT_FILENO);
        if (rc == 0) rc = ::posix_spawn_file_actions_adddup2(&actions_, writeEnd, STDERR_FILENO);
        if (rc == 0) rc = ::posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
        if (rc != 0) return rc;
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        ::posix_spawnattr_setsigmask(&attr_, &none);
        // The application's ignored signals (SIGPIPE, say) must not carry over.
        ::posix_spawnattr_setsigdefault(&attr_, &all);
        ::posix_spawnattr_setpgroup(&attr_, 0);
        ::posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                               POSIX_SPAWN_SETSIGDEF);
        return ::posix_spawn(&pid, program.c_str(), &actions_, &attr_, argv, environ);
    }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attr_;
};

using Platform::FileOps::Descriptor;

// The last `limit` bytes read, in a ring that never grows past the limit.
class Tail {
public:
    explicit Tail(size_t limit) : limit_(limit) {}
    void add(const char* p, size_t n) {
        if (n > limit_) {
            p += n - limit_;
            n = limit_;
        }
        if (const size_t grow = std::min(n, limit_ - ring_.size()); grow > 0) {
            if (ring_.size() + grow > ring_.capacity())
                ring_.reserve(std::min(limit_, std::max(ring_.size() + grow, 2 * ring_.capacity())));
            ring_.insert(ring_.end(), p, p + grow);
            p += grow;
            n -= grow;
        }
        while (n > 0) {
            const size_t k = std::min(n, limit_ - oldest_);
            std::memcpy(ring_.data() + oldest_, p, k);
            oldest_ = (oldest_ + k) % limit_;
            p += k;
            n -= k;
        }
    }
    std::string bytes() const {
        std::string out(ring_.begin() + std::ptrdiff_t(oldest_), ring_.end());
        return out.append(ring_.begin(), ring_.begin() + std::ptrdiff_t(oldest_));
    }

private:
    size_t limit_;
    std::vector<char> ring_;
    size_t oldest_ = 0;  // where the next byte goes once the ring is full
};

int pollTimeout(Clock::time_point now, Clock::time_point until) {
    if (until <= now) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    return ms > 60'000 ? 60'000 : static_cast<int>(ms);
}
}  // namespace

std::string Shell::launchError(const std::string& program, int err) {
    return localizedFormat("Could not start %@: %@", {program, errorText(err)});
}

Shell::Result Shell::run(const std::string& program, const std::vector<std::string>& arguments,
                         double timeout, size_t keep) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0) return {-1, Shell::launchError(program, errno)};
    Descriptor readEnd(p[0]), writeEnd(p[1]);
    // dup2 onto itself would leave O_CLOEXEC set, so keep the write end above 2.
    if (writeEnd.get() <= STDERR_FILENO) {
        const int moved = ::fcntl(writeEnd.get(), F_DUPFD_CLOEXEC, 3);
        if (moved < 0) return {-1, Shell::launchError(program, errno)};
        writeEnd.reset(moved);
    }

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    {
        Spawn spawn;
        if (const int rc = spawn.start(pid, program, argv.data(), writeEnd.get()); rc != 0)
            return {-1, Shell::launchError(program, rc)};
    }
    writeEnd.reset();

    // Readable once the child has exited; without it, fall back to short polls.
    // (glibc 2.36's pidfd header lacks C linkage, so call it directly.)
    Descriptor pidFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));

    const auto started = Clock::now();
    const double limit = timeout > 0 ? timeout : 0;
    const auto deadline =
        started + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                      limit > 1e9 ? 1e9 : limit));
    enum class Phase { running, terminated, killed } phase = Phase::running;
    Clock::time_point nextStep = deadline;

    Tail bytes(keep);
    bool eof = false;
    bool reaped = false;
    bool stoppedRunning = false;  // the time-out came while the program itself still ran
    int waitStatus = 0;
    char buf[65536];

    auto tryReap = [&] {
        if (reaped) return;
        int st = 0;
        const pid_t r = ::waitpid(pid, &st, WNOHANG);
        if (r == pid) {
            reaped = true;
            waitStatus = st;
        } else if (r < 0 && errno == ECHILD) {
            // Someone else reaped it (SIGCHLD ignored): the status is lost.
            reaped = true;
            waitStatus = -1;
        }
    };

    while (!(eof && reaped)) {
        const auto now = Clock::now();
        if (phase == Phase::killed && reaped) {
            if (nextStep > now + kDrain) nextStep = now + kDrain;
            // The group is dead; only a process that left it can still hold the pipe.
            if (now >= nextStep) break;
        } else if (now >= nextStep) {
            if (phase == Phase::running) {
                tryReap();
                stoppedRunning = !reaped;
                ::kill(-pid, SIGTERM);
                phase = Phase::terminated;
                nextStep = now + kGrace;
            } else if (phase == Phase::terminated) {
                ::kill(-pid, SIGKILL);
                phase = Phase::killed;
                nextStep = now + kGrace;
            } else {
                // Killed yet not reaped (stuck in the kernel): reap it in the background.
                std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
                reaped = true;
                waitStatus = -1;
                break;
            }
            continue;
        }

        pollfd fds[2];
        nfds_t count = 0;
        int pipeIndex = -1, pidIndex = -1;
        if (!eof) {
            pipeIndex = static_cast<int>(count);
            fds[count++] = {readEnd.get(), POLLIN, 0};
        }
        if (!reaped && pidFd.get() >= 0) {
            pidIndex = static_cast<int>(count);
            fds[count++] = {pidFd.get(), POLLIN, 0};
        }
        int wait = pollTimeout(now, nextStep);
        if (!reaped && pidFd.get() < 0 && wait > 20) wait = 20;
        const int ready = ::poll(fds, count, wait);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (pipeIndex >= 0 && fds[pipeIndex].revents) {
            const ssize_t r = ::read(readEnd.get(), buf, sizeof buf);
            if (r > 0) bytes.add(buf, static_cast<size_t>(r));
            else if (r == 0 || (errno != EINTR && errno != EAGAIN)) eof = true;
        }
        if (pidIndex >= 0 && fds[pidIndex].revents) tryReap();
        if (pidFd.get() < 0) tryReap();
    }
    if (!reaped) {
        int st = 0;
        while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
        }
        waitStatus = st;
    }

    const int status = waitStatus == -1 ? -1 : statusOf(waitStatus);
    return {status, Shell::decodeUtf8(bytes.bytes()), stoppedRunning};
}
