#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <sstream>
#include <thread>

#include "Core/Clean/Shell.h"
#include "Support/TestTree.h"

using namespace testtree;
using Clock = std::chrono::steady_clock;

namespace {
double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}
}  // namespace

TEST(Shell, LaunchFailuresReturnAtOnce) {
    TempDir tmp;
    writeFile(tmp / "not-executable", "#!/bin/sh\necho hi\n");
    ::chmod((tmp / "not-executable").c_str(), 0644);
    for (const auto& program : {(tmp / "missing").string(), (tmp / "not-executable").string(),
                                tmp.path().string()}) {
        const auto start = Clock::now();
        const auto r = Shell::run(program, {}, 30);
        EXPECT_EQ(r.status, -1) << program;
        EXPECT_FALSE(r.output.empty()) << program;
        EXPECT_LT(secondsSince(start), 10.0) << program;  // not the 30-second time-out
    }
}

TEST(Shell, OutputAndStatus) {
    struct Case {
        std::string script;
        int status;
        std::string output;
    } cases[] = {
        // Both streams share one pipe, so they arrive in write order.
        {"echo out; echo err >&2; echo out2; echo err2 >&2", 0, "out\nerr\nout2\nerr2\n"},
        {"printf 'no newline'; exit 3", 3, "no newline"},
        {"echo '  padded  '", 0, "  padded  \n"},
        {"exit 0", 0, ""},
    };
    for (const auto& c : cases) {
        const auto r = Shell::run("/bin/sh", {"-c", c.script}, 10);
        EXPECT_EQ(r.status, c.status) << c.script;
        EXPECT_EQ(r.output, c.output) << c.script;
        EXPECT_FALSE(r.timedOut) << c.script;
    }
}

TEST(Shell, ArgumentsAreUninterpretedAndEnvironmentInherited) {
    const auto r = Shell::run("/bin/echo", {"$HOME", "*", "a  b", "'q'"}, 10);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "$HOME * a  b 'q'\n");
    ScopedEnv env("QUELTO_SHELL_TEST", "inherited");
    EXPECT_EQ(Shell::run("/bin/sh", {"-c", "echo $QUELTO_SHELL_TEST"}, 10).output, "inherited\n");
}

TEST(Shell, OutputLargerThanAPipeBuffer) {
    const auto r = Shell::run("/bin/sh", {"-c", "head -c 6000000 /dev/zero | tr '\\0' x; echo end >&2"}, 30);
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.output.size(), 6000004u);
    EXPECT_EQ(r.output.find_first_not_of('x'), 6000000u);
    EXPECT_EQ(r.output.substr(6000000), "end\n");
}

TEST(Shell, InvalidUtf8IsReplaced) {
    TempDir tmp;
    const std::string replacement = "\xEF\xBF\xBD";
    struct Case {
        std::string bytes, text;
    } cases[] = {
        {"ok \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\n", "ok \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\n"},
        {"a\xFF" "b", "a" + replacement + "b"},
        {"\xC0\xAF", replacement + replacement},                       // overlong
        {"\xED\xA0\x80", replacement + replacement + replacement},     // surrogate
        {"\xE2\x82" "x", replacement + "x"},                            // truncated sequence
        {"end\xF0\x9F\x98", "end" + replacement},                      // cut at the end
        {std::string("nul\0byte", 8), std::string("nul\0byte", 8)},
    };
    for (const auto& c : cases) {
        writeFile(tmp / "bytes", c.bytes);
        const auto r = Shell::run("/bin/cat", {(tmp / "bytes").string()}, 10);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.output, c.text);
    }
}

TEST(Shell, TimeOutEndsTheProgram) {
    const auto start = Clock::now();
    const auto r = Shell::run("/bin/sleep", {"30"}, 1.0);
    const double took = secondsSince(start);
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.timedOut);
    EXPECT_GE(took, 0.9);
    EXPECT_LT(took, 2.7);  // never waits out the grace period needlessly
}

// A program that ignores the terminate request, or leaves a child holding the pipe,
// must not keep the caller waiting past the grace period.
struct StubbornCase {
    const char* name;
    const char* script;
    double atMost;
};
void PrintTo(const StubbornCase& c, std::ostream* os) { *os << c.script; }

class ShellStubborn : public ::testing::TestWithParam<StubbornCase> {};

TEST_P(ShellStubborn, TimeOutEndsTheRunAnyway) {
    const auto& c = GetParam();
    const auto start = Clock::now();
    const auto r = Shell::run("/bin/sh", {"-c", c.script}, 0.5);
    const double took = secondsSince(start);
    EXPECT_LT(took, c.atMost);
    EXPECT_GE(took, 0.45);
    if (std::string(c.script).find("started") != std::string::npos) {
        EXPECT_EQ(r.output, "started\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shell, ShellStubborn,
    ::testing::Values(
        StubbornCase{"IgnoresTerm", "trap '' TERM; echo started; sleep 30", 10},
        StubbornCase{"ChildHoldsPipe", "sleep 60 & sleep 60", 2.2},
        StubbornCase{"OrphanIgnoresTerm", "(trap '' TERM; exec sleep 60) & echo started; exit 0", 10},
        // Left the process group: only the pipe ties it to the run.
        StubbornCase{"OrphanLeftGroup", "setsid sleep 12 & echo started; exit 0", 10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Shell, NoDescriptorLeaksIntoTheProgram) {
    const int leaky = ::open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
    ASSERT_GE(leaky, 0);
    ASSERT_EQ(::dup2(leaky, 77), 77);
    const auto r = Shell::run("/bin/ls", {"/proc/self/fd"}, 10);
    ::close(77);
    ::close(leaky);
    ASSERT_EQ(r.status, 0) << r.output;
    std::set<int> fds;
    std::istringstream lines(r.output);
    for (int fd; lines >> fd;) fds.insert(fd);
    // 0, 1, 2 and the one ls opened to list the folder.
    EXPECT_LE(fds.size(), 4u) << r.output;
    EXPECT_TRUE(fds.count(0) && fds.count(1) && fds.count(2)) << r.output;
    for (int fd : fds) EXPECT_TRUE(fd <= 2 || fd == *fds.rbegin()) << r.output;
    EXPECT_FALSE(fds.count(77)) << r.output;
}

TEST(Shell, IgnoredSignalsOfTheApplicationDoNotCarryOver) {
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &old);
    // With SIGPIPE ignored, yes would print an error and run on after head exits.
    const auto r = Shell::run("/bin/sh", {"-c", "yes | head -c 3"}, 10);
    ::sigaction(SIGPIPE, &old, nullptr);
    EXPECT_EQ(r.output, "y\ny");
}

TEST(Shell, ManyRunsAtOnce) {
    constexpr int kThreads = 8;
    std::string outputs[kThreads];
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([i, &outputs] {
            for (int k = 0; k < 5; ++k)
                outputs[i] += Shell::run("/bin/sh", {"-c", "echo " + std::to_string(i)}, 10).output;
        });
    for (auto& t : threads) t.join();
    for (int i = 0; i < kThreads; ++i) {
        std::string expected;
        for (int k = 0; k < 5; ++k) expected += std::to_string(i) + "\n";
        EXPECT_EQ(outputs[i], expected);
    }
}
