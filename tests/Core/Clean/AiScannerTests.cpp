#include <gtest/gtest.h>

#include "Core/Clean/FakeHome.h"
#include "Core/Clean/ScanExpectations.h"
#include "Core/Clean/SpecialScanners.h"

using namespace fakehome;
using namespace scanexpect;
using C = CleanCategory;

namespace {
constexpr int sessionDays = 90;

class AiScannerTest : public ::testing::Test {
protected:
    FakeHome h;
    std::vector<CleanItem> scan() { return SpecialScanners::ai(h.home(), h.guard(), sessionDays); }
};

TEST_F(AiScannerTest, EmptyHomeGivesNothing) { EXPECT_TRUE(scan().empty()); }

TEST_F(AiScannerTest, EveryLocationWithItsCategoryRiskNoteAndLargestFirst) {
    const auto old = h.daysAgo(200);
    h.file(".claude/projects/-Users-me-code-api/a.jsonl", 21, old);
    h.file(".claude/projects/-Users-me-code-api/fresh.jsonl", 40);         // too recent
    h.file(".claude/projects/-Users-me-code-api/notes.txt", 40, old);      // not a transcript
    h.file(".claude/projects/-Users-me-code-api/UPPER.JSONL", 40, old);    // extension compared exactly
    h.file(".claude/projects/---/b.jsonl", 20, old);                        // dashes only: whole name
    h.file(".codex/sessions/2025/01/15/rollout.jsonl", 19, old);
    h.dateTree(".codex/sessions/2025/01", old);
    h.file(".claude/worktrees/feature/src/main.c", 18, old);
    h.dateTree(".claude/worktrees/feature", old);
    h.file(".codex/worktrees/w1/f", 17, old);
    h.dateTree(".codex/worktrees/w1", old);
    h.file(".claude/debug/log.txt", 16);
    h.file(".claude/shell-snapshots/s", 15);
    h.file(".codex/log/codex.log", 14);
    h.file(".codex/.tmp/t", 13);
    h.file(".cache/codex-runtimes/node/bin", 12);
    h.file(".gemini/tmp/x", 11);
    h.file(".local/share/claude/versions/1.9.9", 2, h.daysAgo(3));
    h.file(".local/share/claude/versions/1.10.0", 2, h.daysAgo(1));
    h.file(".local/share/cursor-agent/versions/2025.01/agent", 9);
    h.dateTree(".local/share/cursor-agent/versions/2025.01", h.daysAgo(9));
    h.file(".local/share/cursor-agent/versions/2025.02/agent", 9);
    h.file(".lmstudio/models/acme/tiny-7b/w.gguf", 10);
    h.file(".cache/lm-studio/models/other/m/w.gguf", 8);
    h.file(".lmstudio/models/loose.gguf", 40);  // a file beside the publishers is no model
    h.file(".cache/huggingface/hub/models--org--bert/blob", 7);
    h.file(".cache/huggingface/hub/datasets--org--set/blob", 6);
    h.file(".cache/huggingface/hub/version.txt", 30);
    h.file(".cache/huggingface/hub/.locks/lock", 30);
    h.file(".ollama/models/blobs/sha", 16);  // same size as debug logs: scan order kept

    const std::string older = " · older version; the newest stays";
    const std::vector<Finding> expected = {
        {".claude/projects/-Users-me-code-api/a.jsonl", 21 * kBlock, C::aiSessions, Risk::safe, "Claude Code · api"},
        {".claude/projects/---/b.jsonl", 20 * kBlock, C::aiSessions, Risk::safe, "Claude Code · ---"},
        {".codex/sessions/2025/01", 19 * kBlock, C::aiSessions, Risk::safe, "Codex · sessions from 2025-01"},
        {".claude/worktrees/feature", 18 * kBlock, C::aiSessions, Risk::review,
         "Agent worktree untouched for 30+ days; uncommitted work in it goes too"},
        {".codex/worktrees/w1", 17 * kBlock, C::aiSessions, Risk::review,
         "Agent worktree untouched for 30+ days; uncommitted work in it goes too"},
        {".claude/debug", 16 * kBlock, C::aiCaches, Risk::safe, "Claude Code debug logs"},
        {".ollama/models", 16 * kBlock, C::aiModels, Risk::review,
         "Ollama · all models (remove single ones with `ollama rm`)"},
        {".claude/shell-snapshots", 15 * kBlock, C::aiCaches, Risk::safe, "Claude Code shell snapshots"},
        {".codex/log", 14 * kBlock, C::aiCaches, Risk::safe, "Codex logs"},
        {".codex/.tmp", 13 * kBlock, C::aiCaches, Risk::safe, "Codex temp files"},
        {".cache/codex-runtimes", 12 * kBlock, C::aiCaches, Risk::safe, "Codex runtimes; re-downloaded when needed"},
        {".gemini/tmp", 11 * kBlock, C::aiCaches, Risk::safe, "Gemini CLI temp files"},
        {".lmstudio/models/acme/tiny-7b", 10 * kBlock, C::aiModels, Risk::review, "LM Studio · acme"},
        {".local/share/cursor-agent/versions/2025.01", 9 * kBlock, C::aiCaches, Risk::safe, "Cursor Agent" + older},
        {".cache/lm-studio/models/other/m", 8 * kBlock, C::aiModels, Risk::review, "LM Studio · other"},
        {".cache/huggingface/hub/models--org--bert", 7 * kBlock, C::aiModels, Risk::review, "Hugging Face"},
        {".cache/huggingface/hub/datasets--org--set", 6 * kBlock, C::aiModels, Risk::review, "Hugging Face"},
        {".local/share/claude/versions/1.9.9", 2 * kBlock, C::aiCaches, Risk::safe, "Claude Code" + older},
    };
    const auto found = scan();
    EXPECT_EQ(rows(found, h.home()), expected);
    EXPECT_TRUE(plainFlags(found));
}

struct SessionCase {
    const char* name;
    std::chrono::nanoseconds offsetFromCutoff;
    int64_t blocks;
    int64_t shortBy;
    bool found;
};

TEST(AiScanner, TranscriptAgeAndMinimumSizeBoundaries) {
    using std::chrono::nanoseconds;
    const SessionCase cases[] = {
        {"one nanosecond before the cut-off", nanoseconds(-1), 4, 0, true},
        {"exactly at the cut-off", nanoseconds(0), 4, 0, false},
        {"after the cut-off", std::chrono::hours(1), 4, 0, false},
        {"three blocks", std::chrono::hours(-1), 3, 0, false},
        {"16,383 bytes still take four blocks", std::chrono::hours(-1), 4, 1, true},
        {"empty", std::chrono::hours(-1), 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHome home;
        const fs::path rel = ".claude/projects/-p/s.jsonl";
        home.bytes(rel, static_cast<size_t>(c.blocks * kBlock - c.shortBy));
        home.setDate(rel, home.now() - std::chrono::hours(24 * sessionDays) + c.offsetFromCutoff);
        const auto found = SpecialScanners::ai(home.home(), home.guard(), sessionDays);
        EXPECT_EQ(found.size(), c.found ? 1u : 0u);
    }
}

TEST_F(AiScannerTest, SessionAgeFollowsTheGivenDays) {
    h.file(".claude/projects/-p/s.jsonl", 4, h.daysAgo(10));
    EXPECT_TRUE(SpecialScanners::ai(h.home(), h.guard(), 11).empty());
    EXPECT_EQ(SpecialScanners::ai(h.home(), h.guard(), 9).size(), 1u);
}

struct TreeCase {
    const char* name;
    const char* changed;  // relative to the candidate folder; "" is the folder itself
    bool found;
};

// The newest date looked at is bounded by depth and skips hidden entries.
TEST(AiScanner, WorktreeAgeLooksTwoLevelsDownAndPastHiddenEntries) {
    const TreeCase cases[] = {
        {"nothing changed", nullptr, true},
        {"the worktree folder itself", "", false},
        {"a file at depth 1", "a", false},
        {"a file at depth 2", "d1/b", false},
        {"a file at depth 3 does not count", "d1/d2/c", true},
        {"a hidden file at depth 1 does not count", ".git", true},
        {"inside a hidden folder does not count", ".cache/x", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHome home;
        for (const char* f : {"a", "d1/b", "d1/d2/c", ".git", ".cache/x"}) home.file(fs::path(".codex/worktrees/w") / f, 2);
        home.dateTree(".codex/worktrees/w", home.now() - std::chrono::seconds(2592000) - std::chrono::nanoseconds(1));
        if (c.changed) home.setDate(fs::path(".codex/worktrees/w") / c.changed, home.now() - std::chrono::hours(24 * 29));
        const auto found = SpecialScanners::ai(home.home(), home.guard(), sessionDays);
        EXPECT_EQ(found.size(), c.found ? 1u : 0u);
    }
}

TEST(AiScanner, CodexSessionAgeLooksThreeLevelsDown) {
    const TreeCase cases[] = {
        {"all old", nullptr, true},
        {"a change at depth 3 keeps it", "15/x/r.jsonl", false},
        {"a change at depth 4 does not", "15/x/y/deep.jsonl", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHome home;
        home.file(".codex/sessions/2024/12/15/x/r.jsonl", 4);
        home.file(".codex/sessions/2024/12/15/x/y/deep.jsonl", 4);
        home.dateTree(".codex/sessions/2024/12", home.daysAgo(100));
        if (c.changed) home.setDate(fs::path(".codex/sessions/2024/12") / c.changed, home.now());
        const auto found = SpecialScanners::ai(home.home(), home.guard(), sessionDays);
        EXPECT_EQ(paths(found, home.home()), c.found ? std::vector<std::string>{".codex/sessions/2024/12"}
                                                   : std::vector<std::string>{});
    }
}

struct VersionCase {
    const char* name;
    std::vector<std::pair<const char*, int>> versions;  // name, days ago
    std::vector<std::string> offered;
};

TEST(AiScanner, SupersededVersionsKeepTheNewest) {
    const VersionCase cases[] = {
        {"older by date goes", {{"2.0.0", 5}, {"2.0.1", 1}}, {"2.0.0"}},
        {"the date decides, not the name", {{"3.0.0", 5}, {"2.9.0", 1}}, {"3.0.0"}},
        {"one version stays", {{"1.0.0", 50}}, {}},
        {"three versions", {{"0.1.2", 30}, {"0.1.10", 20}, {"0.1.11", 10}}, {"0.1.10", "0.1.2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHome home;
        int blocks = 1;  // tiny: superseded versions have no minimum size
        for (const auto& [name, days] : c.versions)
            home.file(fs::path(".local/share/claude/versions") / name, blocks++, home.daysAgo(days));
        home.file(".local/share/claude/versions/.lock", 1, home.daysAgo(400));
        auto found = SpecialScanners::ai(home.home(), home.guard(), sessionDays);
        std::vector<std::string> offered;
        for (const auto& f : found) offered.push_back(f.url.filename().string());
        std::sort(offered.begin(), offered.end());
        std::vector<std::string> expected = c.offered;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(offered, expected);
        for (const auto& f : found) EXPECT_EQ(f.note, "Claude Code · older version; the newest stays");
    }
}

// Which of two names a folder lists first is the file system's choice, so several
// pairs are tried and at least one must list the lower version first.
TEST(AiScanner, EqualDatesKeepTheHigherVersionNumerically) {
    const std::pair<const char*, const char*> pairs[] = {
        {"1.9.9", "1.10.0"}, {"2.9.0", "2.10.0"}, {"0.9.1", "0.10.1"}, {"1.0.9", "1.0.10"},
        {"3.2", "3.10"},     {"9", "10"},         {"1.2.3-beta", "1.2.10-beta"}, {"v8.1", "v10.1"},
    };
    bool lowerListedFirst = false;
    for (const auto& [lower, higher] : pairs) {
        SCOPED_TRACE(std::string(lower) + " vs " + higher);
        FakeHome home;
        const auto when = home.daysAgo(2);
        home.file(fs::path(".local/share/cursor-agent/versions") / higher, 1, when);
        home.file(fs::path(".local/share/cursor-agent/versions") / lower, 1, when);
        const auto first = fs::directory_iterator(home.home() / ".local/share/cursor-agent/versions")->path();
        lowerListedFirst = lowerListedFirst || first.filename() == lower;
        const auto found = SpecialScanners::ai(home.home(), home.guard(), sessionDays);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].url.filename().string(), lower);
        EXPECT_EQ(found[0].note, "Cursor Agent · older version; the newest stays");
    }
    EXPECT_TRUE(lowerListedFirst);
}

}  // namespace
