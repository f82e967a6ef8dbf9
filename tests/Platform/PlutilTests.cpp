// The property-list checker the preference repair runs: a list past the bounds is
// "not checked" (2), never "broken" (1), which would send it to the Trash.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "Platform/PropertyList.h"
#include "PlatformTestSupport.h"
#include "Support/NestedPlists.h"
#include "Support/PeakMemory.h"

// Its peak is taken as its whole resident set, which holds what this test process
// had when it started it too: more than its growth, never less.
TEST(Plutil, AListPastTheBoundsIsNotCheckedWithinTheBound) {
    using namespace nestedplists;
    const struct {
        const char* name;
        std::string bytes, says;
    } cases[] = {
        {"4 MiB of some 4 million values", longArray(Platform::PropertyList::kMaxFileBytes - 200),
         "unfolds into too much to be checked"},
        {"65,536 levels of shared arrays in 8.6 MB", sharedChain(65536, 254, 8'600'000), "could not be read"},
    };
    for (const auto& c : cases) {
        platformtest::TempDir tmp;
        const auto file = tmp / "list.plist";
        platformtest::writeFile(file, c.bytes);
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
        EXPECT_EQ(said, file.string() + ": " + c.says + "\n") << c.name;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << c.name << ": status " << status;
        EXPECT_LT(took.count(), peakmemory::kBoundSeconds) << c.name;
        EXPECT_LT(usage.ru_maxrss, peakmemory::kBoundKiB) << c.name;
    }
}
