#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "Core/Clean/Cleaner.h"
#include "Core/Clean/FileSizer.h"
#include "Core/Clean/History.h"
#include "Support/Pinned.h"
#include "Support/TestTree.h"
#include "Support/Unprivileged.h"
#include "Platform/FileOps.h"
#include "Platform/Locations.h"
#include "Platform/Programs.h"
#include "Platform/Trash.h"

using namespace testtree;
using Platform::Program;

namespace {
class CleanerTest : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path home = tmp / "home";
    ScopedEnv homeEnv{"HOME", home.string()};
    ScopedEnv dataEnv{"XDG_DATA_HOME", (home / ".local/share").string()};
    ScopedEnv noEscalation{"QUELTO_OSASCRIPT_NO_ESCALATION", "1"};
    ScopedEnv noCancel{"QUELTO_OSASCRIPT_CANCEL", std::nullopt};
    std::vector<double> progress;

    void SetUp() override { fs::create_directories(home / "Library/Caches"); }
    void TearDown() override { Platform::Programs::resetForTesting(); }

    SafetyGuard gate(std::vector<std::string> protectedPaths = {}) const {
        return SafetyGuard(home, std::move(protectedPaths), {});
    }

    // A finding with a real file of `bytes` bytes behind it (none when bytes < 0).
    CleanItem finding(const fs::path& rel, CleanCategory category, Risk risk = Risk::safe,
                      bool permanent = false, int bytes = 3000) {
        const fs::path p = home / rel;
        if (bytes >= 0) writeFile(p, std::string(size_t(bytes), 'x'));
        return {p, bytes >= 0 ? FileSizer::size(p) : 0, category, risk, "note", permanent, false,
                std::nullopt};
    }
    static CleanItem adminFinding(const fs::path& p, std::optional<std::string> command, int64_t size = 100) {
        return {p, size, CleanCategory::systemData, Risk::safe, "note", false, true, std::move(command)};
    }

    CleanReport clean(const std::vector<CleanItem>& items, bool dryRun = false, bool alwaysTrash = false,
                      const std::vector<std::string>& protectedPaths = {}) {
        return Cleaner().clean(items, "clean", gate(protectedPaths), dryRun, alwaysTrash,
                               [this](double f) { progress.push_back(f); });
    }

    static bool inTrash(const std::string& name) {
        return Platform::FileOps::exists(Platform::Locations::trashFiles() / name);
    }

    // An osascript stand-in that records its arguments, prints `output` and exits with `status`.
    fs::path fakeOsascript(const std::string& output = "", int status = 0) {
        const fs::path script = writeScript(
            tmp / "fake-osascript",
            "printf '%s\\n' \"$#\" \"$1\" \"$2\" > " + shellQuoted((tmp / "osascript-args").string()) +
                "\nprintf '%s' " + shellQuoted(output) + "\nexit " + std::to_string(status) + "\n");
        Platform::Programs::setPathForTesting(Program::osascript, script.string());
        return tmp / "osascript-args";
    }
};
}  // namespace

TEST_F(CleanerTest, WayRules) {
    struct Case {
        const char* name;
        CleanCategory category;
        Risk risk;
        bool permanent;
        bool alwaysTrash;
        bool trashed;
    } cases[] = {
        {"permanent-always-trash", CleanCategory::userCaches, Risk::safe, true, true, false},
        {"permanent-review", CleanCategory::installers, Risk::review, true, false, false},
        {"review-direct", CleanCategory::userCaches, Risk::review, false, false, true},
        {"safe-installers", CleanCategory::installers, Risk::safe, false, false, true},
        {"safe-user-caches", CleanCategory::userCaches, Risk::safe, false, false, false},
        {"safe-projects", CleanCategory::projects, Risk::safe, false, false, false},
        {"always-trash", CleanCategory::userCaches, Risk::safe, false, true, true},
        {"safe-ai-sessions", CleanCategory::aiSessions, Risk::safe, false, false, true},
    };
    for (const auto& c : cases) {
        const auto item = finding(fs::path("Library/Caches") / c.name / "data.bin", c.category, c.risk,
                                  c.permanent, 5000);
        CleanItem whole = item;
        whole.url = home / "Library/Caches" / c.name;
        const auto report = clean({whole}, false, c.alwaysTrash);
        ASSERT_EQ(report.removed.size(), 1u) << c.name;
        EXPECT_TRUE(report.skipped.empty()) << c.name;
        EXPECT_FALSE(fs::exists(whole.url)) << c.name;
        EXPECT_EQ(inTrash(c.name), c.trashed) << c.name;
        EXPECT_EQ(report.freed, whole.size) << c.name;
        EXPECT_EQ(report.trashed, c.trashed ? whole.size : 0) << c.name;
        // The report says where what went to the Trash lies now.
        const std::vector<CleanReport::Moved> moved{{whole.url, Platform::Locations::trashFiles() / c.name}};
        EXPECT_EQ(report.inTrash, c.trashed ? moved : std::vector<CleanReport::Moved>{}) << c.name;
    }
}

TEST_F(CleanerTest, RefusedAndVanishedFindings) {
    const auto system = CleanItem{home / "Library/Caches", 1, CleanCategory::userCaches, Risk::safe, "",
                                  false, false, std::nullopt};
    auto outside = system;
    outside.url = tmp / "elsewhere";
    writeFile(outside.url, "x");
    const auto kept = finding("Projects/keep/build/o.o", CleanCategory::projects);
    const auto gone = finding("Library/Caches/gone", CleanCategory::userCaches, Risk::safe, false, -1);
    const auto ok = finding("Library/Caches/ok", CleanCategory::userCaches);

    const auto report = clean({system, outside, kept, gone, ok}, false, false, {"~/Projects/keep"});
    ASSERT_EQ(report.skipped.size(), 3u);
    EXPECT_EQ(report.skipped[0].item, system);
    EXPECT_EQ(report.skipped[0].reason, "system folder");
    EXPECT_EQ(report.skipped[1].reason, "outside the folders Quelto cleans");
    EXPECT_EQ(report.skipped[2].reason, "protected in Settings");
    EXPECT_EQ(report.removed, std::vector<CleanItem>{ok});
    EXPECT_TRUE(fs::exists(outside.url));
    EXPECT_TRUE(fs::exists(kept.url));
    EXPECT_EQ(progress, (std::vector<double>{0.2, 0.4, 0.6, 0.8, 1.0}));
}

TEST_F(CleanerTest, FailedRemovalIsSkippedWithThePlatformReason) {
    const auto stuck = finding("Library/Caches/stuck/pinned", CleanCategory::userCaches);
    Pinned pin(stuck.url);
    if (!pin.ok()) GTEST_SKIP() << "cannot pin a file on this file system";
    CleanItem folder = stuck;
    folder.url = home / "Library/Caches/stuck";
    const auto after = finding("Library/Caches/after", CleanCategory::userCaches);
    const auto report = clean({folder, after});
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_FALSE(report.skipped[0].reason.empty());
    EXPECT_EQ(report.removed, std::vector<CleanItem>{after});
    EXPECT_EQ(History::entries().at(0).count, 1);
}

// As a user whom permissions stop: a finding behind a folder they may not enter is
// still there, so it is reported with the reason and never taken for gone.
TEST_F(CleanerTest, UnreachableFindingIsSkippedWithTheReasonNotDropped) {
    if (!unprivileged::rerunAsNobody()) return;
    const auto inside = finding("Library/Caches/locked/data.bin", CleanCategory::userCaches);
    const auto behind = finding("Library/Caches/locked/deep/data.bin", CleanCategory::userCaches);
    const auto gone = finding("Library/Caches/gone", CleanCategory::userCaches, Risk::safe, false, -1);
    const fs::path locked = home / "Library/Caches/locked";
    ::chmod(locked.c_str(), 0);
    const auto report = clean({inside, behind, gone});
    ::chmod(locked.c_str(), 0755);
    ASSERT_EQ(report.skipped.size(), 2u);
    for (const auto& [skip, expected] : {std::pair{report.skipped[0], inside}, {report.skipped[1], behind}}) {
        EXPECT_EQ(skip.item, expected);
        EXPECT_EQ(skip.reason, std::strerror(EACCES));
        EXPECT_TRUE(fs::exists(expected.url));
    }
    EXPECT_TRUE(report.removed.empty());
}

TEST_F(CleanerTest, EmptyListReportsNothing) {
    const auto report = clean({});
    EXPECT_EQ(report.freed, 0);
    EXPECT_EQ(report.trashed, 0);
    EXPECT_TRUE(report.removed.empty());
    EXPECT_TRUE(report.skipped.empty());
    EXPECT_TRUE(progress.empty());
    EXPECT_FALSE(fs::exists(History::fileURL()));
}

TEST_F(CleanerTest, DryRunTouchesNothing) {
    const auto args = fakeOsascript();
    const auto toTrash = finding("Library/Caches/setup.dmg", CleanCategory::installers);
    const auto toDelete = finding("Library/Caches/cache.db", CleanCategory::userCaches);
    const auto withCommand = adminFinding("/.quelto-snapshot/2025-01-01-120000", "touch /nonexistent/x", 0);
    const auto allowed = adminFinding("/Library/Caches/com.example", std::nullopt, 700);
    const auto refused = adminFinding("/Library/Caches", std::nullopt, 5);

    const auto report = clean({toTrash, withCommand, toDelete, allowed, refused}, true);
    EXPECT_TRUE(report.dryRun);
    EXPECT_EQ(report.removed, (std::vector<CleanItem>{toTrash, toDelete, withCommand, allowed}));
    EXPECT_EQ(report.freed, toTrash.size + toDelete.size + 700);
    EXPECT_EQ(report.trashed, toTrash.size);
    EXPECT_TRUE(report.inTrash.empty());
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].reason, "system folder");
    EXPECT_TRUE(fs::exists(toTrash.url));
    EXPECT_TRUE(fs::exists(toDelete.url));
    EXPECT_FALSE(fs::exists(Platform::Locations::trash()));
    EXPECT_FALSE(fs::exists(args)) << "no password prompt in a dry run";
    EXPECT_FALSE(fs::exists(History::fileURL()));
}

TEST_F(CleanerTest, ProgressAndHistoryOfAMixedRun) {
    fakeOsascript();
    const auto a = finding("Library/Caches/a", CleanCategory::userCaches);
    const auto b = finding("Library/Caches/b", CleanCategory::installers);
    const auto admin = adminFinding("/Library/Caches/x", std::nullopt, 1000);
    const auto c = finding("Library/Caches/c", CleanCategory::logs);

    const auto report = Cleaner().clean({a, b, admin, c}, "installers", gate(), false, false,
                                        [this](double f) { progress.push_back(f); });
    EXPECT_EQ(progress, (std::vector<double>{0.25, 0.5, 0.75}));
    EXPECT_EQ(report.removed, (std::vector<CleanItem>{a, b, c, admin}));
    EXPECT_EQ(report.freed, a.size + b.size + c.size + 1000);
    EXPECT_EQ(report.trashed, b.size);

    const auto history = History::entries();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].action, "installers");
    EXPECT_EQ(history[0].count, 4);
    EXPECT_EQ(history[0].bytes, report.freed);
    EXPECT_EQ(history[0].paths, (std::vector<std::string>{a.url.string(), b.url.string(),
                                                          c.url.string(), "/Library/Caches/x"}));
}

TEST_F(CleanerTest, AdminScriptQuotesPathsAndEscapesForAppleScript) {
    const auto argsFile = fakeOsascript();
    const auto report = clean({adminFinding("/Library/Caches/a", std::nullopt),
                               adminFinding("/Library/Caches/it's", std::nullopt),
                               adminFinding("/Library/Caches", "echo \"done\" \\ ok")});
    EXPECT_EQ(report.removed.size(), 3u);
    const std::string removeA =
        R"((cd -P -- '/Library/Caches' 2>/dev/null || exit 0; [ \"$(pwd -P)\" = '/Library/Caches' ] || )"
        R"({ echo '/Library/Caches/a: reached through a symbolic link'; exit 1; }; )"
        R"(exec /bin/rm -rf --one-file-system -- 'a'))";
    const std::string args = readFile(argsFile);
    EXPECT_EQ(args.substr(0, args.find("/Library/Caches/it")),
              "2\n-e\n"
              R"(do shell script "status=0; )" + removeA + R"( || status=1; )"
              R"((cd -P -- '/Library/Caches' 2>/dev/null || exit 0; [ \"$(pwd -P)\" = '/Library/Caches' ] || )"
              R"({ echo ')");
    EXPECT_NE(args.find(R"(exec /bin/rm -rf --one-file-system -- 'it'\\''s') || status=1; )"
                        R"(echo \"done\" \\ ok || status=1; exit $status" with administrator privileges)"
                        "\n"),
              std::string::npos)
        << args;
}

TEST_F(CleanerTest, AdminBatchReachesARealShellIntact) {
    const fs::path odd = tmp / "it's \"odd\" \\ $HOME `x`";
    const auto report =
        clean({adminFinding(tmp / "made", "/usr/bin/touch " + shellQuoted(odd.string()))});
    ASSERT_EQ(report.skipped.size(), 0u) << report.skipped[0].reason;
    EXPECT_EQ(report.removed.size(), 1u);
    EXPECT_TRUE(fs::exists(odd));
}

// The batch's rm gets the path the gate judged: a quote survives the real shell, and a
// link written with a trailing "/" is removed itself, its target's contents left alone.
TEST_F(CleanerTest, AdminRemovalTakesThePathTheGateJudged) {
    writeFile(tmp / "outside/keep.txt", "keep");
    writeFile(home / "Library/Caches/it's here/data", "x");
    fs::create_directory_symlink(tmp / "outside", home / "Library/Caches/linked");
    const auto quoted = adminFinding(home / "Library/Caches/it's here", std::nullopt);
    const auto link = adminFinding(home.string() + "/Library/Caches/linked/", std::nullopt);

    const auto report = clean({quoted, link});
    EXPECT_TRUE(report.skipped.empty()) << report.skipped[0].reason;
    EXPECT_EQ(report.removed, (std::vector<CleanItem>{quoted, link}));
    EXPECT_FALSE(Platform::FileOps::exists(quoted.url));
    EXPECT_FALSE(Platform::FileOps::exists(home / "Library/Caches/linked"));
    EXPECT_EQ(readFile(tmp / "outside/keep.txt"), "keep");
}

// Between the gate and the batch (the password prompt can stay up for long), a folder
// above a finding becomes a link: the command refuses to follow it.
TEST_F(CleanerTest, AdminRemovalNeverFollowsAFolderSwappedForALink) {
    writeFile(tmp / "victim/cache/keep.txt", "keep");
    writeFile(home / "Library/Caches/app/cache/mine", "mine");
    const fs::path app = home / "Library/Caches/app";
    const auto swap = adminFinding(tmp / "swap", "mv " + shellQuoted(app.string()) + " " +
                                                     shellQuoted(app.string() + ".real") + " && ln -s " +
                                                     shellQuoted((tmp / "victim").string()) + " " +
                                                     shellQuoted(app.string()));
    const auto finding = adminFinding(app / "cache", std::nullopt);

    const auto report = clean({swap, finding});
    EXPECT_EQ(readFile(tmp / "victim/cache/keep.txt"), "keep");
    EXPECT_EQ(readFile(home / "Library/Caches/app.real/cache/mine"), "mine");
    ASSERT_EQ(report.skipped.size(), 2u);
    EXPECT_EQ(report.skipped[1].item, finding);
    EXPECT_NE(report.skipped[1].reason.find("reached through a symbolic link"), std::string::npos)
        << report.skipped[1].reason;
}

// A batch that says it succeeded while a finding's file is still there does not count it.
TEST_F(CleanerTest, AdminFindingStillThereAfterTheBatchIsNotRemoved) {
    fakeOsascript();
    writeFile(home / "Library/Caches/stays/data", "x");
    const auto stays = adminFinding(home / "Library/Caches/stays", std::nullopt);
    const auto report = clean({stays});
    EXPECT_TRUE(report.removed.empty());
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].reason, Platform::FileOps::kChangedWhileRemoving);
    EXPECT_FALSE(fs::exists(History::fileURL()));
}

TEST_F(CleanerTest, CancelledPromptSkipsQueuedAdminFindingsOnly) {
    ScopedEnv cancel("QUELTO_OSASCRIPT_CANCEL", "1");
    const fs::path marker = tmp / "marker";
    const auto ordinary = finding("Library/Caches/a", CleanCategory::userCaches);
    const auto withCommand = adminFinding(tmp / "cmd", "/usr/bin/touch " + shellQuoted(marker.string()));
    const auto vanished = adminFinding("/Library/Caches/quelto-test-never-there", std::nullopt, 300);

    const auto report = clean({withCommand, ordinary, vanished});
    EXPECT_FALSE(fs::exists(marker));
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].item, withCommand);
    EXPECT_EQ(report.skipped[0].reason, "Password prompt cancelled");
    // Without its own command, a finding whose file is gone counts as removed.
    EXPECT_EQ(report.removed, (std::vector<CleanItem>{ordinary, vanished}));

    const auto history = History::entries();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].count, 2);
    EXPECT_EQ(history[0].paths.at(0), ordinary.url.string());
}

TEST_F(CleanerTest, FailedBatchGivesTheTrimmedOutputAsReason) {
    struct Case {
        std::string output;
        int status;
        std::string reason;
    } cases[] = {
        {"\n  rm: cannot remove: Permission denied  \n", 1, "rm: cannot remove: Permission denied"},
        {"0:12: execution error: User canceled. (-128)\n", 1, "Password prompt cancelled"},
        {"", 1, "The administrator command failed"},
    };
    for (const auto& c : cases) {
        fakeOsascript(c.output, c.status);
        const auto report = clean({adminFinding("/", "true")});
        ASSERT_EQ(report.skipped.size(), 1u);
        EXPECT_EQ(report.skipped[0].reason, c.reason);
        EXPECT_TRUE(report.removed.empty());
    }
    // A program that cannot start: its launch error is the reason.
    Platform::Programs::setPathForTesting(Program::osascript, (tmp / "no-such-osascript").string());
    const auto report = clean({adminFinding("/", "true")});
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_NE(report.skipped[0].reason.find("no-such-osascript"), std::string::npos);
}

TEST_F(CleanerTest, AdminGateUsesSystemRootsAndProtectedPaths) {
    const auto args = fakeOsascript();
    const auto report = clean({adminFinding("/Library/Caches", std::nullopt),
                               adminFinding("/Library/Caches/keep/x", std::nullopt),
                               adminFinding("/etc/passwd", std::nullopt),
                               adminFinding(home / "Library/Caches/mine", std::nullopt)},
                              false, false, {"/Library/Caches/keep"});
    ASSERT_EQ(report.skipped.size(), 3u);
    EXPECT_EQ(report.skipped[0].reason, "system folder");
    EXPECT_EQ(report.skipped[1].reason, "protected in Settings");
    EXPECT_EQ(report.skipped[2].reason, "outside the folders Quelto cleans");
    EXPECT_EQ(report.removed.size(), 1u);
    EXPECT_NE(readFile(args).find(shellQuoted((home / "Library/Caches").string())), std::string::npos);
    EXPECT_NE(readFile(args).find("-- 'mine')"), std::string::npos);
}

TEST_F(CleanerTest, NamesThatAreNotUtf8AreRemovedLikeAnyOther) {
    const auto deleted = finding("Library/Caches/caf\xE9\xFF", CleanCategory::userCaches);
    const auto trashed = finding("Library/Caches/inst\xFE.pkg", CleanCategory::installers);
    ASSERT_GT(deleted.size, 0);
    const auto report = clean({deleted, trashed});
    EXPECT_EQ(report.removed.size(), 2u);
    EXPECT_FALSE(Platform::FileOps::exists(deleted.url));
    EXPECT_TRUE(inTrash("inst\xFE.pkg"));
    EXPECT_EQ(History::entries().at(0).count, 2);
}

TEST_F(CleanerTest, EmptyTrash) {
    EXPECT_EQ(Cleaner::emptyTrash(), Cleaner::TrashEmptied{});  // no Trash folder at all

    writeFile(home / "t/file.bin", std::string(40000, 'f'));
    writeFile(home / "t/folder/inner.bin", std::string(90000, 'g'));
    writeFile(home / "t/.hidden", std::string(5000, 'h'));
    writeFile(home / "t/na\xEFve\xFF", std::string(12000, 'n'));
    int64_t expected = 0;
    for (const char* name : {"file.bin", "folder", ".hidden", "na\xEFve\xFF"}) {
        expected += FileSizer::size(home / "t" / name);
        ASSERT_TRUE(Platform::Trash::moveToTrash(home / "t" / name).ok) << name;
    }
    writeFile(home / "t/stuck/pinned", std::string(30000, 'p'));
    ASSERT_TRUE(Platform::Trash::moveToTrash(home / "t/stuck").ok);
    const int64_t stuckSize = FileSizer::size(Platform::Locations::trashFiles() / "stuck");
    Pinned pin(Platform::Locations::trashFiles() / "stuck/pinned");

    // What cannot be deleted is not counted, and is said to be left.
    const fs::path stuck = Platform::Locations::trashFiles() / "stuck";
    EXPECT_EQ(Cleaner::emptyTrash(),
              (Cleaner::TrashEmptied{expected + (pin.ok() ? 0 : stuckSize), pin.ok() ? 1 : 0,
                                     Platform::Locations::trashFiles(), pin.ok() ? std::vector{stuck} : std::vector<fs::path>{}}));
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(Platform::Locations::trashFiles()))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, pin.ok() ? std::vector<std::string>{"stuck"} : std::vector<std::string>{});
    std::vector<std::string> info;
    for (const auto& e : fs::directory_iterator(Platform::Locations::trashInfo()))
        info.push_back(e.path().filename().string());
    EXPECT_EQ(info, pin.ok() ? std::vector<std::string>{"stuck.trashinfo"} : std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(History::fileURL()));
}

TEST_F(CleanerTest, EmptyingTheTrashDropsInfoWhoseEntryIsAlreadyGone) {
    writeFile(home / "old/deleted.txt", "x");
    ASSERT_TRUE(Platform::Trash::moveToTrash(home / "old/deleted.txt").ok);
    // Deleted from files/ by another tool, its info stays behind; what is no trash info stays.
    fs::remove(Platform::Locations::trashFiles() / "deleted.txt");
    writeFile(Platform::Locations::trashInfo() / "README", "not trash info");
    Cleaner::emptyTrash();
    std::vector<std::string> info;
    for (const auto& e : fs::directory_iterator(Platform::Locations::trashInfo())) info.push_back(e.path().filename());
    EXPECT_EQ(info, std::vector<std::string>{"README"});
}

TEST_F(CleanerTest, DeletingATrashEntryDropsItsInfoFile) {
    writeFile(home / "old/report.pdf", std::string(20000, 'r'));
    ASSERT_TRUE(Platform::Trash::moveToTrash(home / "old/report.pdf").ok);
    const fs::path entry = Platform::Locations::trashFiles() / "report.pdf";
    const CleanItem item{entry, FileSizer::size(entry), CleanCategory::trash, Risk::safe, "Already in the Trash",
                         true, false, std::nullopt};
    const auto report = clean({item});
    ASSERT_EQ(report.removed.size(), 1u);
    EXPECT_FALSE(Platform::FileOps::exists(entry));
    EXPECT_FALSE(Platform::FileOps::exists(Platform::Locations::trashInfo() / "report.pdf.trashinfo"));
}
