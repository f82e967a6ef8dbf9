#include <gtest/gtest.h>

#include "Core/Clean/InstallerFinder.h"
#include "Core/Clean/JunkScanner.h"
#include "Core/Clean/ProjectPurger.h"
#include "Core/Clean/FakeHome.h"
#include "Core/Clean/ScanExpectations.h"
#include "Core/Clean/SpecialScanners.h"

using namespace fakehome;
using namespace scanexpect;

namespace {
// A clock once set wrong stamps files centuries ahead; such a file is new, never old.
TEST(ScanDates, AFarFutureDateCountsAsRecent) {
    FakeHome h;
    const auto stamp = [&](const fs::path& rel) {
        const struct timespec t[2] = {{15032385535, 0}, {15032385535, 0}};  // the year 2446
        ::utimensat(AT_FDCWD, (h.home() / rel).c_str(), t, AT_SYMLINK_NOFOLLOW);
        struct ::stat st {};
        return ::lstat((h.home() / rel).c_str(), &st) == 0 && st.st_mtim.tv_sec > 9300000000;
    };
    h.file("probe", 0);
    if (!stamp("probe")) GTEST_SKIP() << "this file system cannot store dates after 2262";

    h.file(".claude/projects/-p/s.jsonl", 8);
    h.file("Downloads/a.dmg", 1);
    h.file("Downloads/b.part", 20);
    h.file("code/p/package.json", 0);
    h.file("code/p/node_modules/x", 20);
    for (const char* rel : {".claude/projects/-p/s.jsonl", "Downloads/a.dmg", "Downloads/b.part", "code/p/package.json"})
        ASSERT_TRUE(stamp(rel)) << rel;

    EXPECT_TRUE(SpecialScanners::ai(h.home(), h.guard(), 90).empty());

    const auto installers = InstallerFinder::scan({h.home() / "Downloads"}, h.guard(), 7, h.root() / "none");
    ASSERT_EQ(installers.size(), 1u);
    EXPECT_EQ(installers[0].risk, Risk::review);
    EXPECT_EQ(installers[0].note, "Downloaded recently");

    const auto projects = ProjectPurger::scan({h.home() / "code"}, 30, h.guard());
    ASSERT_EQ(projects.size(), 1u);
    EXPECT_EQ(projects[0].note, "p · used recently");

    const JunkScanner::Context ctx{h.home(), h.guard(), {}, {}, std::nullopt};
    EXPECT_TRUE(JunkScanner().scan({CleanCategory::downloads}, ctx, nullptr).empty());
}
}  // namespace
