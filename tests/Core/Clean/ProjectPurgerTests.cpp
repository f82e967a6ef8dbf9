#include <gtest/gtest.h>

#include <set>

#include "Core/Clean/ProjectPurger.h"
#include "Core/Clean/FakeHome.h"
#include "Core/Clean/ScanExpectations.h"

using namespace fakehome;
using namespace scanexpect;
using C = CleanCategory;

namespace {
constexpr int staleDays = 30;

// A project folder whose own entries all date from `date`, with artifacts of given blocks.
void project(FakeHome& h, const fs::path& rel, const std::vector<std::string>& markers,
             const std::vector<std::pair<std::string, int>>& artifacts, TimePoint date) {
    for (const auto& [name, blocks] : artifacts) h.file(rel / name / "blob", blocks);
    for (const auto& m : markers) h.file(rel / m, 0, date);
    h.file(rel / "src/main.c", 0);
    h.dateTree(rel / "src", date);
}

class ProjectPurgerTest : public ::testing::Test {
protected:
    FakeHome h;
    std::vector<CleanItem> scan(const std::vector<fs::path>& roots) {
        return ProjectPurger::scan(roots, staleDays, h.guard());
    }
};

TEST_F(ProjectPurgerTest, StaleAndRecentProjectsWithTheirNotesRisksAndOrder) {
    project(h, "code/app", {"package.json"}, {{"node_modules", 30}, {"dist", 25}, {"coverage", 3}}, h.daysAgo(60));
    // Artifact folders dated now never make a project recent.
    h.setDate("code/app/node_modules", h.now());
    project(h, "code/web", {"package.json"}, {{"node_modules", 20}, {"dist", 16}}, h.daysAgo(2));
    // Without package.json beside it, node_modules is an ordinary folder and walked into.
    h.file("code/lib/node_modules/pkg/package.json", 0, h.daysAgo(90));
    h.file("code/lib/node_modules/pkg/node_modules/dep/index.js", 17);
    h.dateTree("code/lib/node_modules/pkg", h.daysAgo(90));
    h.file("code/tool/__pycache__/m.pyc", 18);   // no markers needed
    h.file("code/tool/small/__pycache__/m.pyc", 15);  // 61,440 bytes: below the minimum
    h.file("code/tool/x.py", 0, h.daysAgo(400));
    h.dateTree("code/tool/small", h.daysAgo(400));

    const std::vector<Finding> expected = {
        {"code/app/node_modules", 30 * kBlock, C::projects, Risk::safe, "app · npm install restores it"},
        {"code/app/dist", 25 * kBlock, C::projects, Risk::review, "app · Build output"},
        {"code/web/node_modules", 20 * kBlock, C::projects, Risk::review, "web · used recently"},
        {"code/tool/__pycache__", 18 * kBlock, C::projects, Risk::safe, "tool · Python bytecode"},
        {"code/lib/node_modules/pkg/node_modules", 17 * kBlock, C::projects, Risk::safe,
         "pkg · npm install restores it"},
        {"code/web/dist", 16 * kBlock, C::projects, Risk::review, "web · used recently"},
    };
    const auto found = scan({h.home() / "code"});
    EXPECT_EQ(rows(found, h.home()), expected);
    EXPECT_TRUE(plainFlags(found));
}

struct MarkerCase {
    const char* artifact;
    const char* marker;  // nullptr: nothing beside it
    bool found;
};

TEST(ProjectPurger, ArtifactsNeedOneOfTheirMarkers) {
    const MarkerCase cases[] = {
        {"node_modules", "package.json", true}, {"node_modules", nullptr, false},
        {"target", "Cargo.toml", true},          {"target", "pom.xml", true},
        {"target", "package.json", false},       {"build", "pubspec.yaml", true},
        {"build", "build.gradle.kts", true},     {"build", "Makefile", false},
        {".turbo", "turbo.json", true},          {".venv", "requirements.txt", true},
        {"venv", "setup.py", true},              {"vendor", "composer.json", true},
        {".cache", "gatsby-config.ts", true},    {".cache", nullptr, false},
        {".output", "app.config.ts", true},      {"Pods", "Podfile", true},
        {"DerivedData", nullptr, true},          {".mypy_cache", nullptr, true},
        {"src", "package.json", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.artifact) + " beside " + (c.marker ? c.marker : "nothing"));
        FakeHome h;
        h.file(fs::path("code/p") / c.artifact / "blob", 16);
        if (c.marker) h.file(fs::path("code/p") / c.marker, 0);
        const auto found = ProjectPurger::scan({h.home() / "code"}, staleDays, h.guard());
        EXPECT_EQ(paths(found, h.home()),
                  c.found ? std::vector<std::string>{std::string("code/p/") + c.artifact} : std::vector<std::string>{});
    }
}

TEST_F(ProjectPurgerTest, HiddenSkippedAndUnmarkedFolders) {
    h.file("code/.git/p/package.json", 0);
    h.file("code/.git/p/node_modules/x", 16);
    h.file("code/Library/p/__pycache__/x", 16);
    h.file("code/.hidden/__pycache__/x", 16);
    h.file("code/.svn/__pycache__/x", 16);
    // Named like an artifact but unmarked: entered like any folder.
    h.file("code/site/.next/cache/__pycache__/x", 17);
    h.file("code/site/.venv/lib/__pycache__/x", 18);
    EXPECT_EQ(paths(scan({h.home() / "code"}), h.home()),
              (std::vector<std::string>{"code/site/.venv/lib/__pycache__", "code/site/.next/cache/__pycache__"}));
}

TEST_F(ProjectPurgerTest, ArtifactsAreFoundAtMostSevenLevelsBelowTheRoot) {
    h.file("code/1/2/3/4/5/6/__pycache__/x", 17);    // listed in a folder at depth 6
    h.file("code/1/2/3/4/5/6/7/__pycache__/x", 16);  // would need depth 7
    EXPECT_EQ(paths(scan({h.home() / "code"}), h.home()), (std::vector<std::string>{"code/1/2/3/4/5/6/__pycache__"}));
}

TEST(ProjectPurger, StaleAtTheCutoff) {
    struct {
        const char* name;
        std::chrono::nanoseconds offset;
        Risk risk;
        const char* note;
    } const cases[] = {
        {"just before the cut-off", std::chrono::nanoseconds(-1), Risk::safe, "p · Rust/Maven build output"},
        {"at the cut-off", std::chrono::nanoseconds(0), Risk::review, "p · used recently"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHome h;
        project(h, "code/p", {"Cargo.toml"}, {{"target", 16}}, h.daysAgo(365));
        h.setDate("code/p/Cargo.toml", h.now() - std::chrono::hours(24 * staleDays) + c.offset);
        const auto found = ProjectPurger::scan({h.home() / "code"}, staleDays, h.guard());
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].risk, c.risk);
        EXPECT_EQ(found[0].note, c.note);
    }
}

TEST_F(ProjectPurgerTest, OverlappingRootsWalkEachFolderOnce) {
    project(h, "code/app", {"package.json"}, {{"node_modules", 20}}, h.daysAgo(60));
    h.file("code/app/node_modules/a/package.json", 0);
    h.file("code/app/node_modules/a/node_modules/b/x", 17);
    const std::vector<fs::path> roots = {h.home() / "code", h.home() / "code/app", h.home() / "code",
                                         h.home() / "code/app/node_modules"};
    EXPECT_EQ(paths(scan(roots), h.home()), (std::vector<std::string>{"code/app/node_modules"}));
    EXPECT_TRUE(scan({}).empty());
}

TEST_F(ProjectPurgerTest, ProjectActivityIgnoresArtifactFolders) {
    h.file("p/README", 0, h.daysAgo(5));
    h.file("p/src/x", 0);
    h.setDate("p/src", h.daysAgo(3));
    h.setDate(h.folder("p/node_modules"), h.now());
    EXPECT_EQ(ProjectPurger::projectActivity(h.home() / "p", {"README", "src", "node_modules", "gone"}), h.daysAgo(3));
    EXPECT_EQ(ProjectPurger::projectActivity(h.home() / "p", {"node_modules"}), std::nullopt);
    EXPECT_EQ(ProjectPurger::projectActivity(h.home() / "p", {}), std::nullopt);
}

TEST_F(ProjectPurgerTest, DiscoveredRootsHoldARepositoryWithinTwoLevels) {
    h.folder("direct/.git");
    h.file("worktree/.git", 0);  // a .git file counts too
    h.folder("one/repo/.git");
    h.folder("two/group/repo/.git");
    h.folder("three/a/b/repo/.git");  // too deep
    h.folder("Downloads/repo/.git");
    h.folder("Library/repo/.git");
    h.folder(".hidden/.git");
    h.folder("viahidden/.k/repo/.git");  // hidden sub-folders are not looked into
    h.link("linked", h.home() / "direct");
    h.file("plain.txt", 0);
    const auto found = ProjectPurger::discoveredRoots(h.home());
    std::set<std::string> names;
    for (const auto& p : found) names.insert(p.filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"direct", "worktree", "one", "two"}));
    // In the home folder's listing order.
    std::vector<fs::path> listed;
    for (const auto& e : fs::directory_iterator(h.home()))
        if (names.count(e.path().filename().string())) listed.push_back(e.path());
    EXPECT_EQ(found, listed);
}

TEST_F(ProjectPurgerTest, DiscoveryLooksIntoTheFirstSixtySubFoldersOnly) {
    for (int i = 0; i < 61; ++i) h.folder("many/k" + std::to_string(i));
    std::vector<std::string> order;  // the folder lists in this order, whatever it is
    for (const auto& e : fs::directory_iterator(h.home() / "many")) order.push_back(e.path().filename().string());
    ASSERT_EQ(order.size(), 61u);

    h.folder("many/" + order[60] + "/repo/.git");
    EXPECT_TRUE(ProjectPurger::discoveredRoots(h.home()).empty());
    h.folder("many/" + order[59] + "/repo/.git");
    EXPECT_EQ(ProjectPurger::discoveredRoots(h.home()), std::vector<fs::path>{h.home() / "many"});
}

TEST_F(ProjectPurgerTest, MergedRootsResolveDeduplicateUnnestAndSort) {
    h.folder("code/app");
    h.folder("src");
    h.folder("zeta");
    h.link("alias", h.home() / "src");
    const auto merged = ProjectPurger::mergedRoots({h.home() / "zeta", h.home() / "code/app", h.home() / "alias",
                                                    h.home() / "code", h.home() / "src/", h.home() / "code/./app/..",
                                                    h.home() / "missing"});
    EXPECT_EQ(merged, (std::vector<fs::path>{h.home() / "code", h.home() / "missing", h.home() / "src", h.home() / "zeta"}));
}
}  // namespace
