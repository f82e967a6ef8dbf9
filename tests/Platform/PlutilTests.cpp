// The property-list checker the preference repair runs: a list past the bounds is
// "not checked" (2), never "broken" (1), which would send it to the Trash.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "PlatformTestSupport.h"
#include "Support/NestedPlists.h"
#include "Support/PeakMemory.h"

// 65,536 levels of shared arrays in 8.6 MB: once "OK" after minutes and a gigabyte.
// Its peak is its whole resident set, which counts what this process held too.
TEST(Plutil, AListPastTheBoundsIsNotCheckedWithinTheBound) {
    platformtest::TempDir tmp;
    const auto file = tmp / "list.plist";
    platformtest::writeFile(file, nestedplists::sharedChain(65536, 254, 8'600'000));
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::alarm(20);
        ::execl(QUELTO_BIN_DIR "/plutil", "plutil", "-lint", file.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    std::string said;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) said.append(buffer, size_t(n));
    ::close(out[0]);
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(said, file.string() + ": could not be read\n");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    EXPECT_LT(took.count(), peakmemory::kBoundSeconds);
    EXPECT_LT(usage.ru_maxrss, peakmemory::kBoundKiB);
}
