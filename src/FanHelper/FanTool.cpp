#include "FanHelper/FanTool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/random.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "FanHelper/TokenFolder.h"
#include "Sensors/Fans/FanReader.h"
#include "Sensors/KernelText.h"
#include "Sensors/SystemInfo.h"
#include "Sensors/Temperatures/TemperatureReader.h"

namespace FanTool {
namespace {
constexpr int kDone = 0, kInvalid = 2, kUnsupported = 3, kNoWatcher = 4, kFailed = 5;

int invalid() {
    std::fputs("Invalid fan command or administrator access denied.\n", stderr);
    return kInvalid;
}
int unsupported() {
    std::fputs("This Mac does not expose writable fan controls.\n", stderr);
    return kUnsupported;
}
int failed(const std::string& description) {
    std::fprintf(stderr, "Fan command failed: %s\n", description.c_str());
    return kFailed;
}

// A signed 32-bit decimal with an optional sign, at least 2.
std::optional<int32_t> parentPid(const std::string& text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '+') return std::nullopt;
    int32_t pid = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (ec != std::errc() || end != digits.data() + digits.size() || pid < 2) return std::nullopt;
    return pid;
}

std::string tokenName(int32_t pid) { return "quelto-fan-" + std::to_string(pid) + ".token"; }

// A fresh random (version 4) identifier in upper-case text.
std::string newToken() {
    unsigned char b[16] = {};
    if (::getrandom(b, sizeof b, 0) != sizeof b) return {};
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
    char out[37];
    std::snprintf(out, sizeof out, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                  b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return out;
}

// The process's start time in clock ticks since boot; nothing once it has ended
// (a zombie has ended too). A pid taken over by a new process starts later.
std::optional<uint64_t> startTime(int32_t pid) {
    const auto stat = Sensors::KernelText::read("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat ? stat->rfind(')') : std::string::npos;
    if (close == std::string::npos) return std::nullopt;
    const auto fields = Sensors::KernelText::fields(std::string_view(*stat).substr(close + 1));
    // After the name: state is field 3, start time field 22.
    if (fields.size() < 20 || fields[0] == "Z" || fields[0] == "X") return std::nullopt;
    return Sensors::KernelText::toUnsigned(fields[19]);
}

// Termination requests are held back and handled between steps, so a fan
// command is never cut off halfway.
volatile sig_atomic_t terminationRequested = 0;
void onTermination(int) { terminationRequested = 1; }

sigset_t terminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, s);
    return set;
}

void holdTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &action, nullptr);
    const sigset_t set = terminationSignals();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
}

bool terminationPending() {
    sigset_t pending;
    sigemptyset(&pending);
    ::sigpending(&pending);
    return terminationRequested || sigismember(&pending, SIGTERM) || sigismember(&pending, SIGINT) ||
           sigismember(&pending, SIGHUP);
}

// Sleeps one period with termination signals let through; false when one came.
bool waitPeriod(std::chrono::milliseconds period) {
    sigset_t open;
    ::sigprocmask(SIG_SETMASK, nullptr, &open);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigdelset(&open, s);
    const timespec ts{static_cast<time_t>(period.count() / 1000), static_cast<long>(period.count() % 1000) * 1000000};
    ::ppoll(nullptr, 0, &ts, &open);
    return !terminationRequested;
}

// Starts the watcher from the image already running, never from a path someone
// could have replaced: its own session, the null device for its three streams, no
// other descriptor, no environment but the given entries.
bool startWatcher(const std::string& program, const std::string& mode, int32_t pid, const std::string& token,
                  const std::vector<std::string>& environment) {
    const std::string pidText = std::to_string(pid);
    const char* argv[] = {program.c_str(), "watch", mode.c_str(), pidText.c_str(), token.c_str(), nullptr};
    std::vector<char*> envp;
    for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attr);
    int rc = ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (rc == 0) rc = ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (rc == 0) rc = ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (rc == 0) rc = ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (rc == 0) rc = ::posix_spawn_file_actions_addchdir_np(&actions, "/");
    // Termination signals stay held until the watcher has its handlers.
    const sigset_t held = terminationSignals();
    sigset_t all;
    sigfillset(&all);
    ::posix_spawnattr_setsigmask(&attr, &held);
    ::posix_spawnattr_setsigdefault(&attr, &all);
    ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    if (rc == 0)
        rc = ::posix_spawn(&child, "/proc/self/exe", &actions, &attr, const_cast<char* const*>(argv), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attr);
    return rc == 0;
}

struct Run {
    const Setup& setup;
    FanReader reader;
    std::optional<TokenFolder> folder;
    std::string folderError;

    explicit Run(const Setup& s)
        : setup(s), reader(s.connect ? s.connect() : nullptr, [roots = s.roots] { return Sensors::thermalState(roots); }) {}

    // Only past the checks: a refused command leaves even the folder alone.
    void openFolder() { folder = TokenFolder::open(setup.tokenFolder, folderError); }

    // A watcher ends: the fans go back to automatic control unless a newer command
    // owns them, and its token goes with it.
    int retire(const std::optional<int32_t>& pid, const std::string& token, int status) {
        if (folder) folder->lock();
        if (folder && pid) {
            const auto current = folder->read(tokenName(*pid));
            if (current && *current != token) return status;
            reader.returnToAutomatic();
            folder->removeIfOwn(tokenName(*pid), token);
        } else {
            reader.returnToAutomatic();
        }
        return status;
    }

    int oneShot(const std::string& program, const std::string& mode, int32_t pid) {
        openFolder();
        if (!folder) {
            reader.returnToAutomatic();
            return failed(folderError);
        }
        if (!folder->lock()) {
            reader.returnToAutomatic();
            return failed("Could not lock " + setup.tokenFolder.string() + ".");
        }
        const std::string token = newToken();
        std::string error;
        if (token.empty() || !folder->write(tokenName(pid), token, error)) {
            reader.returnToAutomatic();
            return failed(error.empty() ? "Could not make a fan token." : error);
        }
        if (mode == "auto") {
            reader.returnToAutomatic();
            return kDone;
        }
        const auto cpu = TemperatureReader(setup.roots).read().cpu;
        if (const auto e = reader.setFanMode(mode == "max", cpu, true)) {
            reader.returnToAutomatic();
            return failed(e->errorDescription());
        }
        if (terminationPending()) {
            reader.returnToAutomatic();
            return failed("The fan command was interrupted.");
        }
        if (!startWatcher(program, mode, pid, token, setup.watcherEnvironment)) {
            reader.returnToAutomatic();
            std::fputs("Could not start the fan safety watcher.\n", stderr);
            return kNoWatcher;
        }
        return kDone;
    }

    int watch(const std::string& mode, int32_t pid, const std::string& token) {
        ::setsid();
        const auto started = startTime(pid);
        const TemperatureReader temperatures(setup.roots);
        if (!folder) return retire(std::nullopt, token, kFailed);
        for (;;) {
            if (!waitPeriod(setup.period)) return retire(pid, token, kDone);
            folder->lock();
            const auto current = folder->read(tokenName(pid));
            if (current && *current != token) return kDone;  // a newer command owns the fans
            // No token: nobody owns the fans any more; the application gone: nobody wants them forced.
            if (!current || !started || startTime(pid) != started) return retire(pid, token, kDone);
            if (reader.setFanMode(mode == "max", temperatures.read().cpu, false)) return retire(pid, token, kFailed);
            folder->unlock();
        }
    }
};
}  // namespace

int run(int argc, char** argv, const Setup& setup) {
    const std::vector<std::string> args(argv, argv + argc);
    const bool watching = args.size() == 5 && args[1] == "watch";
    const size_t modeIndex = watching ? 2 : 1, parentIndex = watching ? 3 : 2;
    holdTerminationSignals();
    if (::geteuid() != 0) return invalid();
    if (!watching && args.size() != 3) return invalid();

    const auto pid = parentPid(args[parentIndex]);
    const std::string& mode = args[modeIndex];
    const bool knownMode = mode == "auto" || mode == "cool" || mode == "max";
    if (!watching) {
        if (!pid || !knownMode) return invalid();
        Run run(setup);
        if (!run.reader.isControllable()) return unsupported();
        return run.oneShot(args[0], mode, *pid);
    }

    // A refused command changes nothing, not even for a watcher: the fans, the token
    // and a watcher already running are left as they are.
    if (!pid || !knownMode) return invalid();
    // A watcher exists only after a one-shot forced the fans: whatever stops it
    // from watching hands them back first.
    Run run(setup);
    run.openFolder();
    if (!run.reader.isControllable()) {
        run.retire(pid, args[4], kUnsupported);
        return unsupported();
    }
    return run.watch(mode, *pid, args[4]);
}
}  // namespace FanTool
