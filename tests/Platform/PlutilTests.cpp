// The property-list checker the preference repair runs: a list past the bounds is
// "not checked" (2), never "broken" (1), which would send it to the Trash.
#include <gtest/gtest.h>

#include "PlatformTestSupport.h"
#include "Support/NestedPlists.h"
#include "Support/PeakMemory.h"

// 65,536 levels of shared arrays in 8.6 MB: once "OK" after minutes and a gigabyte.
// Its peak is its whole resident set, which counts what this process held too.
TEST(Plutil, AListPastTheBoundsIsNotCheckedWithinTheBound) {
    platformtest::TempDir tmp;
    const auto file = tmp / "list.plist";
    platformtest::writeFile(file, nestedplists::sharedChain(65536, 254, 8'600'000));
    const auto run = peakmemory::measureProgram({QUELTO_BIN_DIR "/plutil", "-lint", file}, 20);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->said, file.string() + ": could not be read\nexit 2");
    EXPECT_LT(run->seconds, peakmemory::kBoundSeconds);
    EXPECT_LT(run->growthKiB, peakmemory::kBoundKiB);
}
