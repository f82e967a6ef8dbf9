#include <gtest/gtest.h>

#include "Platform/Programs.h"

using Platform::Program;
namespace Programs = Platform::Programs;

TEST(Programs, TestsRedirectAndRestoreEntries) {
    const auto original = Programs::path(Program::tmutil);
    EXPECT_EQ(original, "/usr/bin/tmutil");
    Programs::setPathForTesting(Program::tmutil, "/tmp/fake-tmutil");
    EXPECT_EQ(Programs::path(Program::tmutil), "/tmp/fake-tmutil");
    Programs::setPathForTesting(Program::tmutil, "");
    EXPECT_EQ(Programs::path(Program::tmutil), original);
}

TEST(Programs, StandInsLiveBesideTheExecutable) {
    // Every executable is built into one folder, so the osascript stand-in is found there.
    EXPECT_EQ(Programs::path(Program::osascript), Programs::executableDirectory() + "/osascript");
}
