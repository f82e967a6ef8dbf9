#include <gtest/gtest.h>

#include <sys/stat.h>

#include "Platform/Programs.h"
#include "PlatformTestSupport.h"

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

TEST(Programs, HomebrewIsTheFirstPrefixThatHasIt) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, mode_t>> files;  // below the fixture's root
        const char* found;
    } cases[] = {
        {"none anywhere", {}, "usr/local/bin/brew"},
        {"Homebrew on Linux", {{"home/linuxbrew/.linuxbrew/bin/brew", 0755}}, "home/linuxbrew/.linuxbrew/bin/brew"},
        {"Apple silicon first", {{"opt/homebrew/bin/brew", 0755}, {"home/linuxbrew/.linuxbrew/bin/brew", 0755}},
         "opt/homebrew/bin/brew"},
        {"a user's own prefix, past one not executable", {{"opt/homebrew/bin/brew", 0644}, {"home/me/.linuxbrew/bin/brew", 0755}},
         "home/me/.linuxbrew/bin/brew"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platformtest::TempDir root;
        for (const auto& [p, mode] : c.files) {
            platformtest::writeFile(root / p, "#!/bin/sh\n");
            ::chmod((root / p).c_str(), mode);
        }
        EXPECT_EQ(Programs::homebrew(root.path(), root / "home/me"), (root / c.found).string());
    }
}
