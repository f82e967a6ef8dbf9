#include <gtest/gtest.h>
#include <linux/sched.h>
#include <sched.h>
#include <sys/mount.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "Platform/PlatformTestSupport.h"
#include "Support/FanFixtures.h"

using namespace fanfixture;
using testtree::readFile;

namespace {
using Ms = std::chrono::milliseconds;
const std::string kSim = QUELTO_BIN_DIR "/QueltoFanHelperSim";
const std::string kProduction = QUELTO_BIN_DIR "/QueltoFanHelper";
const std::string kInvalid = "Invalid fan command or administrator access denied.\n";
constexpr Ms kPeriod{200};  // the test build's watcher period

std::vector<std::string> asNobody(std::vector<std::string> argv) {
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    return argv;
}

platformtest::Run tool(const SimRoot& sim, std::vector<std::string> args, bool nobody = false) {
    args.insert(args.begin(), kSim);
    return platformtest::run(nobody ? asNobody(args) : args, {{"QUELTO_FAN_TEST_ROOT", sim.path().string()}});
}

// Starts the tool without waiting for it, telling it it was started as `argv0`.
pid_t startTool(const SimRoot& sim, const std::vector<std::string>& args, const std::string& argv0 = kSim) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("QUELTO_FAN_TEST_ROOT", sim.path().c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(argv0.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(kSim.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

int exitStatus(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A child under exactly `wanted`, a free pid; -1 when that cannot be had. Asking by
// number leaves no window in which another process could take the pid first.
pid_t forkAs(pid_t wanted) {
    clone_args args{};
    args.exit_signal = SIGCHLD;
    args.set_tid = reinterpret_cast<uintptr_t>(&wanted);
    args.set_tid_size = 1;
    return static_cast<pid_t>(::syscall(SYS_clone3, &args, sizeof args));
}

// The application whose life the watcher follows: a child that waits to be killed,
// under the given pid or any.
struct FakeApp {
    pid_t pid;
    explicit FakeApp(std::optional<pid_t> wanted = std::nullopt) : pid(wanted ? forkAs(*wanted) : ::fork()) {
        if (pid == 0) {
            for (;;) ::pause();
        }
    }
    ~FakeApp() { quit(); }
    FakeApp(const FakeApp&) = delete;
    FakeApp& operator=(const FakeApp&) = delete;
    void quit() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = 0;
    }
    std::string text() const { return std::to_string(pid); }
};

// Writes since `from` in the simulated controller's log made by `pid`.
std::vector<std::string> logLines(const SimRoot& sim, pid_t pid, size_t from = 0) {
    std::vector<std::string> out;
    const std::string log = readFile(SimulatedSmc::logOf(sim.smc())).substr(from);
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(std::to_string(pid) + " ", 0) == 0) out.push_back(line);
    return out;
}

// Forces the fans with `mode` and returns the watcher that keeps them there.
pid_t force(const SimRoot& sim, const FakeApp& app, const std::string& mode = "max") {
    const auto r = tool(sim, {mode, app.text()});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "");
    const std::string token = readFile(sim.token(app.pid));
    EXPECT_EQ(token.size(), 36u);
    std::optional<pid_t> watcher;
    EXPECT_TRUE(eventually([&] { return (watcher = watcherOf(token)).has_value(); }));
    return watcher.value_or(-1);
}

// Holds the watcher inside its next apply, after its checks passed, until the
// returned file is removed.
fs::path holdNextApply(const SimRoot& sim, pid_t watcher) {
    const fs::path hold = sim.path() / "hold";
    testtree::writeFile(hold, "");
    auto table = *SimulatedSmc::load(sim.smc());
    table.stalls.push_back({"F0Tg", "write", hold});
    SimulatedSmc::store(sim.smc(), table);
    const std::string stalled = std::to_string(watcher) + " stall F0Tg";
    EXPECT_TRUE(eventually([&] { return readFile(SimulatedSmc::logOf(sim.smc())).find(stalled) != std::string::npos; }));
    return hold;
}

class FanTool : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::geteuid(), 0u) << "the fan tool's tests run as root"; }
    SimRoot sim{fans(2)};
};

TEST_F(FanTool, BadCommandsChangeNothing) {
    const std::string before = readFile(sim.smc());
    const std::vector<std::vector<std::string>> rejected = {
        {},
        {"cool"},
        {"cool", "1"},
        {"cool", "-5"},
        {"cool", "0x10"},
        {"cool", "++5"},
        {"cool", " 5"},
        {"cool", ""},
        {"cool", "2147483648"},
        {"fast", "501"},
        {"Cool", "501"},
        {"watch", "cool", "501"},
        {"cool", "501", "x"},
        {"cool", "501", "x", "y"},
        {"watch", "cool", "501", "TOKEN", "extra"},
        // A watch of the right length but a bad mode or pid: not even the token folder is made.
        {"watch", "fast", "501", "TOKEN"},
        {"watch", "max", "1", "TOKEN"},
        {"watch", "max", "x501", "TOKEN"},
    };
    for (bool nobody : {false, true}) {
        auto cases = rejected;
        if (nobody) {
            // As an ordinary user even the good forms are refused, before any access.
            cases.push_back({"cool", "501"});
            cases.push_back({"auto", "501"});
            cases.push_back({"watch", "max", "501", "TOKEN"});
        }
        for (const auto& args : cases) {
            std::string name = nobody ? "nobody:" : "root:";
            for (const auto& a : args) name += " '" + a + "'";
            SCOPED_TRACE(name);
            const auto r = tool(sim, args, nobody);
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.output, kInvalid);
        }
    }
    EXPECT_EQ(readFile(sim.smc()), before);
    EXPECT_FALSE(fs::exists(SimulatedSmc::logOf(sim.smc())));
    EXPECT_FALSE(fs::exists(sim.tokenFolder()));
}

// With the fans forced, a refused watch command leaves the fans, the token and the watcher be.
TEST_F(FanTool, MalformedWatchCommandChangesNothing) {
    FakeApp app;
    const pid_t watcher = force(sim, app);
    const std::string token = readFile(sim.token(app.pid));
    const size_t from = readFile(SimulatedSmc::logOf(sim.smc())).size();
    using Args = std::pair<std::string, std::string>;  // a mode and a pid
    for (const auto& [mode, pid] : {Args{"fast", app.text()}, Args{"max", "1"}, Args{"max", "x" + app.text()}}) {
        const auto r = tool(sim, {"watch", mode, pid, token});
        EXPECT_EQ(r.status, 2) << mode << " " << pid;
        EXPECT_EQ(r.output, kInvalid);
    }
    const std::string log = readFile(SimulatedSmc::logOf(sim.smc())).substr(from);
    EXPECT_EQ(logLines(sim, watcher, from).size(), size_t(std::count(log.begin(), log.end(), '\n')))
        << "written by a refused command: " << log;
    EXPECT_EQ(readFile(sim.token(app.pid)), token);
    EXPECT_TRUE(running(watcher));
}

TEST_F(FanTool, TokenNamedByTheParsedProcessId) {
    for (const auto& [given, pid] : {std::pair{"+77", 77}, {"0042", 42}}) {
        const auto r = tool(sim, {"auto", given});
        EXPECT_EQ(r.status, 0) << r.output;
        const std::string token = readFile(sim.token(pid));
        EXPECT_EQ(token.size(), 36u);
        EXPECT_EQ(token.find_first_not_of("0123456789ABCDEF-"), std::string::npos) << token;
    }
    const auto mode = fs::status(sim.tokenFolder()).permissions();
    EXPECT_EQ(mode, fs::perms::owner_all);
}

TEST_F(FanTool, UncontrollableFansGiveThreeAndNoToken) {
    auto table = fans(2);
    table.keys.erase(table.keys.begin() + 4);  // F0Tg
    SimRoot bare(table);
    for (const char* mode : {"auto", "cool", "max"}) {
        const auto r = tool(bare, {mode, "501"});
        EXPECT_EQ(r.status, 3) << mode;
        EXPECT_EQ(r.output, "This Mac does not expose writable fan controls.\n");
    }
    EXPECT_FALSE(fs::exists(bare.tokenFolder()));
}

TEST_F(FanTool, RefusedWriteRestoresAndReportsTheKey) {
    auto table = fans(2);
    table.failures.push_back({"F1Tg", "write", {}});
    SimRoot refusing(table);
    const auto r = tool(refusing, {"cool", "501"});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.output, "Fan command failed: macOS rejected the fan command for F1Tg.\n");
    EXPECT_EQ(refusing.modes(), (std::vector<double>{0, 0}));
}

TEST_F(FanTool, AutoTakesOverFromARunningWatcher) {
    FakeApp app;
    const pid_t watcher = force(sim, app);
    EXPECT_EQ(sim.modes(), (std::vector<double>{1, 1}));
    EXPECT_EQ(sim.number("F0Tg"), 5000);

    const auto r = tool(sim, {"auto", app.text()});
    EXPECT_EQ(r.status, 0) << r.output;
    // The watcher may apply until auto takes the lock; from then on it must not.
    const size_t handOver = readFile(SimulatedSmc::logOf(sim.smc())).size();
    EXPECT_EQ(sim.modes(), (std::vector<double>{0, 0}));
    EXPECT_TRUE(eventually([&] { return !running(watcher); }));
    EXPECT_EQ(logLines(sim, watcher, handOver), std::vector<std::string>{}) << "the old watcher wrote after auto";
    EXPECT_EQ(sim.modes(), (std::vector<double>{0, 0}));
    EXPECT_EQ(readFile(sim.token(app.pid)).size(), 36u) << "the newer command's token stays";
}

TEST_F(FanTool, AutoWaitsForAWatcherThatIsApplying) {
    FakeApp app;
    const pid_t watcher = force(sim, app);
    const fs::path hold = holdNextApply(sim, watcher);

    const pid_t autoRun = startTool(sim, {"auto", app.text()});
    // Either auto finished at once (nothing kept it out) or it waits for the lock.
    eventually([&] {
        return !running(autoRun) ||
               readFile("/proc/locks").find("-> FLOCK  ADVISORY  WRITE " + std::to_string(autoRun) + " ") !=
                   std::string::npos;
    });
    fs::remove(hold);
    EXPECT_EQ(exitStatus(autoRun), 0);
    EXPECT_TRUE(eventually([&] { return !running(watcher); }));
    EXPECT_EQ(sim.modes(), (std::vector<double>{0, 0})) << "auto was overtaken by the watcher's late apply";
}

TEST_F(FanTool, WatcherHandsBackWhenTheApplicationEnds) {
    FakeApp app;
    const pid_t watcher = force(sim, app, "cool");
    const size_t quitInLog = readFile(SimulatedSmc::logOf(sim.smc())).size();
    const auto quit = std::chrono::steady_clock::now();
    app.quit();
    ASSERT_TRUE(eventually([&] { return sim.modes() == std::vector<double>{0, 0}; }));
    const auto took = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - quit);
    EXPECT_LT(took, 10 * kPeriod) << "the watcher does not keep its period";
    // It looks for the application before every apply: only one under way as it ended may follow.
    const auto after = logLines(sim, watcher, quitInLog);
    EXPECT_LE(std::count_if(after.begin(), after.end(), [](const std::string& l) { return l.find(" write F0Tg ") != std::string::npos; }), 1)
        << "applied again after the application ended";
    EXPECT_TRUE(eventually([&] { return !running(watcher); }));
    EXPECT_FALSE(fs::exists(sim.token(app.pid)));
}

TEST_F(FanTool, WatcherTellsAReusedProcessIdFromTheApplication) {
    FakeApp app;
    const pid_t pid = app.pid;
    const pid_t watcher = force(sim, app);
    // While the watcher is held in an apply, the application ends and a new process gets its pid.
    const fs::path hold = holdNextApply(sim, watcher);
    app.quit();
    const FakeApp successor(pid);
    ASSERT_EQ(successor.pid, pid) << "could not start a process under the application's pid: " << std::strerror(errno);
    fs::remove(hold);
    EXPECT_TRUE(eventually([&] { return !running(watcher); }));
    EXPECT_EQ(sim.modes(), (std::vector<double>{0, 0}));
}

TEST_F(FanTool, WatcherHandsBackWhenEndedOrItsTokenIsGone) {
    const std::pair<const char*, std::function<void(const SimRoot&, pid_t, pid_t)>> endings[] = {
        {"SIGTERM", [](const SimRoot&, pid_t, pid_t w) { ::kill(w, SIGTERM); }},
        {"SIGHUP", [](const SimRoot&, pid_t, pid_t w) { ::kill(w, SIGHUP); }},
        {"SIGINT", [](const SimRoot&, pid_t, pid_t w) { ::kill(w, SIGINT); }},
        {"token deleted", [](const SimRoot& s, pid_t app, pid_t) { fs::remove(s.token(app)); }},
        {"token made a link", [](const SimRoot& s, pid_t app, pid_t) {
             const fs::path real = s.path() / "real-token";
             fs::rename(s.token(app), real);
             fs::create_symlink(real, s.token(app));
         }},
    };
    for (const auto& [name, end] : endings) {
        SCOPED_TRACE(name);
        FakeApp app;
        const pid_t watcher = force(sim, app);
        end(sim, app.pid, watcher);
        EXPECT_TRUE(eventually([&] { return !running(watcher); }));
        EXPECT_EQ(sim.modes(), (std::vector<double>{0, 0}));
        fs::remove(sim.path() / "real-token");
    }
}

TEST_F(FanTool, WatcherThatCannotStartHandsBack) {
    FakeApp app;
    const pid_t watcher = force(sim, app);
    const std::string token = readFile(sim.token(app.pid));
    ::kill(watcher, SIGKILL);
    ASSERT_TRUE(eventually([&] { return !running(watcher); }));
    ASSERT_EQ(sim.modes(), (std::vector<double>{1, 1}));
    auto table = *SimulatedSmc::load(sim.smc());
    table.failures.push_back({"F1Tg", "read", {}});  // no longer controllable
    SimulatedSmc::store(sim.smc(), table);
    const auto r = tool(sim, {"watch", "max", app.text(), token});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(sim.modes(), (std::vector<double>{0, 0}));
    EXPECT_FALSE(fs::exists(sim.token(app.pid)));
}

TEST_F(FanTool, WatcherHoldsNothingButTheNullDevice) {
    FakeApp app;
    const pid_t watcher = force(sim, app, "cool");
    // Held in an apply, it has put down what it reads for its checks; the controller's
    // file it opens and closes meanwhile may come and go.
    const fs::path hold = holdNextApply(sim, watcher);
    const fs::path fds = "/proc/" + std::to_string(watcher) + "/fd";
    for (const auto& fd : fs::directory_iterator(fds)) {
        std::error_code gone;
        const auto target = fs::read_symlink(fd.path(), gone).string();
        if (gone) continue;
        const int n = std::stoi(fd.path().filename().string());
        if (n <= 2) EXPECT_EQ(target, "/dev/null") << n;
        else EXPECT_EQ(target.rfind(sim.path().string(), 0), 0u) << n << " " << target;
    }
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(watcher) + "/cwd"), "/");
    EXPECT_EQ(::getsid(watcher), watcher);
    fs::remove(hold);
}

TEST_F(FanTool, WatcherStartsFromTheRunningImageNotFromItsName) {
    // What the command line names may have been swapped since the tool started.
    const fs::path swapped = testtree::writeScript(sim.path() / "swapped", "touch \"$0.ran\"\n");
    FakeApp app;
    ASSERT_EQ(exitStatus(startTool(sim, {"max", app.text()}, swapped)), 0);
    std::optional<pid_t> watcher;
    ASSERT_TRUE(eventually([&] { return (watcher = watcherOf(readFile(sim.token(app.pid)))).has_value(); }));
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(*watcher) + "/exe"), fs::canonical(kSim));
    EXPECT_FALSE(fs::exists(swapped.string() + ".ran"));
}

TEST_F(FanTool, PlantedLinksAreReplacedNeverFollowed) {
    FakeApp app;
    const fs::path victim = sim.path() / "victim";
    testtree::writeFile(victim, "precious");
    fs::create_directories(sim.tokenFolder());
    fs::permissions(sim.tokenFolder(), fs::perms::owner_all);
    fs::create_symlink(victim, sim.token(app.pid));
    const fs::path temporary = sim.tokenFolder() / (".quelto-fan-" + app.text() + ".token.new");
    fs::create_symlink(victim, temporary);
    const auto r = tool(sim, {"auto", app.text()});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_FALSE(fs::is_symlink(sim.token(app.pid)));
    EXPECT_EQ(readFile(sim.token(app.pid)).size(), 36u);
    EXPECT_FALSE(fs::exists(fs::symlink_status(temporary)));
}

TEST_F(FanTool, UnsafeTokenFolderFailsWithFansAutomatic) {
    const std::pair<const char*, std::function<void(const SimRoot&)>> folders[] = {
        {"readable by others", [](const SimRoot& s) {
             fs::create_directories(s.tokenFolder());
             fs::permissions(s.tokenFolder(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
         }},
        {"owned by nobody", [](const SimRoot& s) {
             fs::create_directories(s.tokenFolder());
             fs::permissions(s.tokenFolder(), fs::perms::owner_all);
             ASSERT_EQ(::chown(s.tokenFolder().c_str(), 65534, 65534), 0);
         }},
        {"a link", [](const SimRoot& s) {
             fs::create_directories(s.path() / "elsewhere");
             fs::permissions(s.path() / "elsewhere", fs::perms::owner_all);
             fs::create_directory_symlink(s.path() / "elsewhere", s.tokenFolder());
         }},
    };
    for (const auto& [name, make] : folders) {
        SCOPED_TRACE(name);
        SimRoot root(fans(2));
        make(root);
        FakeApp app;
        const auto r = tool(root, {"max", app.text()});
        EXPECT_EQ(r.status, 5);
        EXPECT_EQ(r.output.rfind("Fan command failed: ", 0), 0u) << r.output;
        EXPECT_EQ(root.modes(), (std::vector<double>{0, 0}));
        EXPECT_FALSE(fs::exists(root.path() / "elsewhere/fan.lock"));
    }
}

TEST_F(FanTool, ProductionBuildIgnoresTheTestEnvironmentAndNeverMeetsRealFans) {
    // The real tool runs where /sys and /run are empty, so whatever fans this machine
    // has are out of its reach: it finds none to drive, and never the simulated ones.
    const pid_t child = ::fork();
    if (child == 0) {
        const bool isolated = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                              ::mount("tmpfs", "/sys", "tmpfs", 0, "size=1m") == 0 &&
                              ::mount("tmpfs", "/run", "tmpfs", 0, "size=1m") == 0;
        if (!isolated) ::_exit(77);
        ::setenv("QUELTO_FAN_TEST_ROOT", sim.path().c_str(), 1);
        ::execl(kProduction.c_str(), kProduction.c_str(), "auto", "501", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const int status = exitStatus(child);
    if (status == 77) GTEST_SKIP() << "cannot give the tool a /sys of its own here";
    EXPECT_EQ(status, 3);
    EXPECT_FALSE(fs::exists(SimulatedSmc::logOf(sim.smc())));
    EXPECT_FALSE(fs::exists(sim.tokenFolder()));
}
}  // namespace
