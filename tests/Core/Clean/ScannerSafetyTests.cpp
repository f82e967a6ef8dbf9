#include <gtest/gtest.h>

#include "Core/Clean/InstallerFinder.h"
#include "Core/Clean/ProjectPurger.h"
#include "Core/Clean/FakeHome.h"
#include "Core/Clean/ScanExpectations.h"
#include "Core/Clean/SpecialScanners.h"

using namespace fakehome;
using namespace scanexpect;

namespace {
// Protected paths, personal and system folders and linked folders, all holding
// what the scanners would otherwise offer; only the plain places may come back.
TEST(ScannerSafety, NothingProtectedPersonalOrSystemComesBack) {
    FakeHome h;
    const auto old = h.daysAgo(400);
    const std::vector<std::string> protectedPaths = {"~/code/keep", "~/.lmstudio/models/acme", "~/Downloads/keep.dmg",
                                                     "~/.codex", "~/.claude/debug/keep.log"};
    const SafetyGuard guard = h.guard(protectedPaths);

    auto projectAt = [&](const fs::path& rel) {
        h.file(rel / "package.json", 0, old);
        h.file(rel / "node_modules/blob", 16);
    };
    projectAt("code/ok");
    projectAt("code/keep");
    projectAt("code/keep/inner");
    projectAt("Pictures/site");
    projectAt("Music/site");
    projectAt(".ssh/site");
    projectAt("Library/site");
    h.file("Library/Developer/Xcode/DerivedData/blob", 16);  // the folder itself is a system folder
    h.file("realcode/site/package.json", 0, old);
    h.file("realcode/site/node_modules/blob", 16);
    h.link("code/linked", h.home() / "realcode");
    h.link("code/ok2/node_modules", h.home() / "realcode/site/node_modules");
    h.file("code/ok2/package.json", 0, old);

    h.file("Downloads/ok.dmg", 1, old);
    h.file("Downloads/keep.dmg", 1, old);
    h.file("Pictures/photos.dmg", 1, old);
    h.file(".ssh/key.pkg", 1, old);
    h.file("Music/album.iso", 1, old);
    h.file("elsewhere/big.dmg", 1, old);
    h.file("elsewhere/dir/deep.dmg", 1, old);
    h.link("Downloads/linkdir", h.home() / "elsewhere/dir");
    h.link("Desktop", h.home() / "elsewhere");

    h.file(".lmstudio/models/ok/model/w", 4);
    h.file(".lmstudio/models/acme/model/w", 4);
    h.file(".codex/log/a", 4);
    h.file(".codex/worktrees/w/a", 4, old);
    h.dateTree(".codex/worktrees/w", old);
    h.file(".claude/debug/keep.log", 4);
    h.file("realgemini/tmp/t", 4);
    h.link(".gemini", h.home() / "realgemini");

    std::vector<CleanItem> all;
    const auto take = [&](std::vector<CleanItem> v) { all.insert(all.end(), v.begin(), v.end()); };
    take(ProjectPurger::scan({h.home(), h.home() / "code", h.home() / "Pictures", h.home() / ".ssh",
                              h.home() / "Library/Developer/Xcode", h.home() / "code/linked"},
                             30, guard));
    take(InstallerFinder::scan({h.home() / "Downloads", h.home() / "Desktop", h.home(), h.home() / "Pictures", h.home() / ".ssh"}, guard, 7,
                               h.root() / "Applications"));
    take(SpecialScanners::ai(h.home(), guard, 90));

    std::vector<std::string> found = paths(all, h.home());
    std::sort(found.begin(), found.end());
    // What links point at is found once, where it really lies.
    EXPECT_EQ(found, (std::vector<std::string>{".lmstudio/models/ok/model", "Downloads/ok.dmg", "code/ok/node_modules",
                                               "elsewhere/big.dmg", "realcode/site/node_modules"}));
    for (const auto& item : all) EXPECT_TRUE(guard.check(item.url).isAllowed()) << item.url;
}
}  // namespace
