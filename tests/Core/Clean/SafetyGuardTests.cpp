#include <gtest/gtest.h>

#include "Core/Clean/SafetyGuard.h"
#include "Support/TestTree.h"
#include "Platform/Locations.h"

using namespace testtree;

namespace {
const std::string kAllowed = "";
const std::string kSystem = "system folder";
const std::string kPersonal = "personal data";
const std::string kOutside = "outside the folders Quelto cleans";
const std::string kLink = "reached through a symbolic link";
const std::string kNotAbsolute = "not an absolute file path";
const std::string kProtected = "protected in Settings";

std::string reasonOf(const SafetyGuard::Verdict& v) { return v.isAllowed() ? kAllowed : v.reason; }

// A real home folder (its own symbolic link included) beside a second user's and
// a stand-in system root.
class SafetyGuardTest : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path home = tmp / "Users/u";
    fs::path systemRoot = tmp / "Library/Caches";
    ScopedEnv homeEnv{"HOME", home.string()};
    ScopedEnv dataEnv{"XDG_DATA_HOME", std::nullopt};
    ScopedEnv cacheEnv{"XDG_CACHE_HOME", std::nullopt};

    void SetUp() override {
        fs::create_directories(home / "real/b");
        fs::create_symlink(home / "real", home / "a");
        fs::create_directories(systemRoot);
        fs::create_directories(tmp / "Users/u2");
    }
};

struct Case {
    std::string path;  // "~" for the home folder, "@" for the temporary root
    std::string reason;
};

std::string expand(const std::string& p, const fs::path& home, const fs::path& root) {
    if (p.rfind("~", 0) == 0) return home.string() + p.substr(1);
    if (p.rfind("@", 0) == 0) return root.string() + p.substr(1);
    return p;
}
}  // namespace

TEST_F(SafetyGuardTest, HomeFolderReasons) {
    const SafetyGuard gate(home, {}, {});
    const Case cases[] = {
        {"~", kSystem},
        {"~/", kSystem},
        {"~/Library", kSystem},
        {"~/Library/Caches", kSystem},
        {"~/Library/Caches/com.example.app", kAllowed},
        {"~/Library/Caches/./com.example.app", kAllowed},
        {"~/Library/Application Support", kSystem},
        {"~/Library/Application Support/AddressBook/x.db", kPersonal},
        {"~/Library/Application Support/Other", kAllowed},
        {"~/Library/Developer/Xcode/DerivedData", kSystem},
        {"~/Library/Developer/Xcode/DerivedData/App-abc", kAllowed},
        {"~/Pictures", kSystem},
        {"~/Pictures/a.jpg", kPersonal},
        {"~/Library/Mail", kPersonal},
        {"~/Library/Mail/V10/x", kPersonal},
        {"~/Library/Mailbox", kAllowed},
        {"~/library/caches", kAllowed},  // case-sensitive
        {"~/.ssh", kSystem},
        {"~/.ssh/id", kPersonal},
        {"~/.config", kSystem},
        {"~/.config/tool/cache", kAllowed},
        {"~/.Trash", kSystem},
        // This platform's Trash stands where ".Trash" stands on a Mac; its entries may go.
        {"~/.local/share/Trash", kSystem},
        {"~/.local/share/Trash/files", kSystem},
        {"~/.local/share/Trash/info", kSystem},
        {"~/.local/share/Trash/files/old.pdf", kAllowed},
        // So does this platform's user cache folder where "Library/Caches" stands.
        {"~/.cache", kSystem},
        {"~/.cache/", kSystem},
        {"~/.cache/pip", kAllowed},
        {"~/.cache/pip/wheels", kAllowed},
        {"~/Downloads/setup.dmg", kAllowed},
        {"@/Users/u2/x", kOutside},
        {"@/Users/other/x", kOutside},
        {"@/Users", kOutside},
        {"/tmp/x", kOutside},
        {"/", kOutside},
        {"relative/path", kNotAbsolute},
        {"", kNotAbsolute},
        {"~/../u2/x", kNotAbsolute},
        {"~/Library/..", kNotAbsolute},
        {"~/a/b", kLink},
        {"~/a/b/c", kLink},
        {"~/a", kAllowed},  // the item itself is not examined: only the link would go
        {"~/real/b", kAllowed},
    };
    for (const auto& c : cases) {
        const std::string p = expand(c.path, home, tmp.path());
        EXPECT_EQ(reasonOf(gate.check(p)), c.reason) << p;
    }
}

TEST_F(SafetyGuardTest, AHomeOfTheRootFolderAdmitsNothing) {
    const SafetyGuard gate("/", {}, {systemRoot});
    for (const std::string p : {"/etc/passwd", "/usr", "/"})
        EXPECT_EQ(reasonOf(gate.check(p)), kOutside) << p;
    EXPECT_EQ(reasonOf(gate.check(systemRoot / "x")), kAllowed);
}

TEST_F(SafetyGuardTest, ExtraRoots) {
    fs::create_directories(tmp / "Library/Logs");
    fs::create_symlink(tmp / "Library/Logs", systemRoot / "linked");
    const SafetyGuard gate(home, {}, {systemRoot.string() + "/"});
    const Case cases[] = {
        {"@/Library/Caches", kSystem},
        {"@/Library/Caches/com.example", kAllowed},
        {"@/Library/Caches/linked", kAllowed},
        {"@/Library/Caches/linked/x", kLink},
        {"@/Library/Logs/x", kOutside},
        {"@/Library/CachesX/y", kOutside},
        {"~/Library/Caches", kSystem},  // the home folder's own lists still apply there
    };
    for (const auto& c : cases) {
        const std::string p = expand(c.path, home, tmp.path());
        EXPECT_EQ(reasonOf(gate.check(p)), c.reason) << p;
    }
}

TEST_F(SafetyGuardTest, ProtectedPaths) {
    const SafetyGuard gate(home, {"~/Projects/keep", (systemRoot / "pinned").string(), ""},
                           {systemRoot});
    const Case cases[] = {
        {"~/Projects/keep", kProtected},
        {"~/Projects/keep/build", kProtected},
        {"~/Projects", kProtected},  // contains a protected path
        {"~/Projects/keeper", kAllowed},
        {"~/Projects/other", kAllowed},
        {"@/Library/Caches/pinned/x", kProtected},
        {"@/Library/Caches/other", kAllowed},
        {"~/Pictures/a.jpg", kPersonal},  // the fixed lists come first
    };
    for (const auto& c : cases) {
        const std::string p = expand(c.path, home, tmp.path());
        EXPECT_EQ(reasonOf(gate.check(p)), c.reason) << p;
    }
}

// The gate is built with the resolved home; $HOME may still point through a link.
TEST_F(SafetyGuardTest, ProtectedPathsHoldWhenHomeIsReachedThroughALink) {
    fs::create_symlink(tmp / "Users", tmp / "linked");
    ScopedEnv linkedHome("HOME", (tmp / "linked/u").string());
    ASSERT_EQ(Platform::Locations::resolvedHome(), home);

    const SafetyGuard gate(Platform::Locations::resolvedHome(),
                           {"~/Projects/keep", (tmp / "linked/u/Notes").string()}, {});
    const Case cases[] = {
        {"~/Projects/keep/build", kProtected},
        {"~/Projects", kProtected},
        {"~/Notes/today.md", kProtected},
        {"~/Projects/other", kAllowed},
        {"~/Library/Caches", kSystem},
        // Scanners hand in resolved paths; one written through the link is not the gate's.
        {"@/linked/u/Projects/other", kOutside},
    };
    for (const auto& c : cases) {
        const std::string p = expand(c.path, home, tmp.path());
        EXPECT_EQ(reasonOf(gate.check(p)), c.reason) << p;
    }
}
