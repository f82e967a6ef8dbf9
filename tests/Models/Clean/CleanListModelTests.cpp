#include "Models/Clean/CleanListModel.h"

#include <sys/stat.h>

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "Core/Clean/FakeHome.h"
#include "Core/Clean/FileSizer.h"
#include "Core/Clean/History.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Clean/Shockwave.h"
#include "Models/Kit/Sleep.h"
#include "Models/Settings/Preferences.h"
#include "Platform/Locations.h"
#include "Platform/Programs.h"
#include "Support/Unprivileged.h"

using cleantest::drive;
using cleantest::FakeAudio;
using fakehome::FakeHome;
using steppedtime::Clocks;
namespace fs = std::filesystem;
using Selection = CleanListModel::Selection;
using Kind = CleanListModel::Phase::Kind;

namespace {
CleanItem finding(const FakeHome& h, const fs::path& rel, CleanCategory category = CleanCategory::userCaches,
                  Risk risk = Risk::safe) {
    const fs::path p = h.file(rel, 1);
    return {p, fakehome::kBlock, category, risk, "note", false, false, std::nullopt};
}

CleanListModel::Finder returning(std::vector<CleanItem> items, int* calls = nullptr) {
    return [items, calls](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> {
        if (calls) ++*calls;
        co_return items;
    };
}

Selection ids(const std::vector<CleanItem>& items) {
    Selection s;
    for (const auto& item : items) s.insert(item.id());
    return s;
}

// Every entry below the folder with its size and date.
std::map<std::string, std::pair<off_t, long>> tree(const fs::path& root) {
    std::map<std::string, std::pair<off_t, long>> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        struct stat st;
        if (::lstat(it->path().c_str(), &st) == 0) out[it->path().string()] = {st.st_size, st.st_mtim.tv_nsec};
    }
    return out;
}

struct AdminOutcome {
    const char* name;
    std::string output;
    int status;
    bool removed;
};
}  // namespace

class CleanListRoundTrip : public ::testing::TestWithParam<AdminOutcome> {};

// Through the real remover, as a user whom permissions stop.
TEST_P(CleanListRoundTrip, DropsWhatIsGoneAndKeepsWhatFailed) {
    if (!unprivileged::rerunAsNobody()) return;
    const auto& outcome = GetParam();
    FakeHome h;
    Clocks clocks(h.now());
    FakeAudio audio;
    Platform::Programs::setPathForTesting(
        Platform::Program::osascript,
        testtree::writeScript(h.root() / "osascript", "printf '%s' " + testtree::shellQuoted(outcome.output) +
                                                          "\nexit " + std::to_string(outcome.status) + "\n")
            .string());

    const CleanItem safe = finding(h, "Library/Caches/app/cache.db");
    const CleanItem review = finding(h, "Downloads/old.zip", CleanCategory::downloads, Risk::review);
    const CleanItem stuck = finding(h, "Library/Caches/stuck/pinned");
    ::chmod((h / "Library/Caches/stuck").c_str(), 0555);
    const CleanItem locked = finding(h, "Library/Caches/locked/data.db");
    const CleanItem vanished = finding(h, "Library/Caches/gone.db");
    const CleanItem admin{"/.quelto-snapshot/2025-01-01-120000", 100, CleanCategory::systemData, Risk::safe,
                          "note", false, true, "true"};

    CleanListModel list("clean", returning({admin, safe, review, stuck, locked, vanished}));
    ASSERT_TRUE(drive(clocks, list.scan()));
    EXPECT_EQ(list.phase().kind, Kind::ready);
    EXPECT_EQ(list.selection(), ids({safe, stuck, locked, vanished, admin}));

    fs::remove(vanished.url);
    // What lies behind a folder the user may not enter is still there: it stays listed.
    ::chmod((h / "Library/Caches/locked").c_str(), 0);
    ASSERT_TRUE(drive(clocks, list.clean()));
    ::chmod((h / "Library/Caches/stuck").c_str(), 0755);
    ::chmod((h / "Library/Caches/locked").c_str(), 0755);

    std::vector<CleanItem> left{review, stuck, locked};
    Selection selected{stuck.id(), locked.id()};
    if (!outcome.removed) {
        left.insert(left.begin(), admin);
        selected.insert(admin.id());
    }
    EXPECT_EQ(list.items(), left);
    EXPECT_EQ(list.selection(), selected);
    EXPECT_FALSE(fs::exists(safe.url));
    ASSERT_EQ(list.phase().kind, Kind::done);
    const CleanReport& report = list.phase().report;
    EXPECT_EQ(report.skipped.size(), outcome.removed ? 2u : 3u);
    EXPECT_EQ(report.freed, safe.size + (outcome.removed ? admin.size : 0));
    ASSERT_EQ(History::entries().size(), 1u);
    EXPECT_EQ(History::entries()[0].action, "clean");
    EXPECT_EQ(audio.played.size(), 1u);
    EXPECT_DOUBLE_EQ(Shockwave::shared().strength(), CleanListModel::whoompStrength(report.freed));
    ASSERT_TRUE(list.feed());
    EXPECT_EQ(list.feed()->remaining(), 0);
    Platform::Programs::resetForTesting();
}

INSTANTIATE_TEST_SUITE_P(AdminScript, CleanListRoundTrip,
                         ::testing::Values(AdminOutcome{"succeeds", "", 0, true},
                                           AdminOutcome{"cancelled", "execution error: User canceled. (-128)", 1, false},
                                           AdminOutcome{"fails", "rm: cannot remove", 1, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// As a user whom permissions stop: a folder deleted outright stops at what will not go,
// while one moved to the Trash goes whole, whatever it holds.
TEST(CleanListModel, PartialRemovalCountsWhatWentAndListsWhatIsLeft) {
    if (!unprivileged::rerunAsNobody()) return;
    FakeHome h;
    Clocks clocks(h.now());
    FakeAudio audio;
    const auto folder = [&](const char* rel, CleanCategory category, std::vector<std::pair<const char*, int>> files) {
        for (const auto& [name, blocks] : files) h.file(fs::path(rel) / name, blocks);
        return CleanItem{h / rel, FileSizer::size(h / rel), category, Risk::safe, "note", false, false, std::nullopt};
    };
    const CleanItem partial = folder("Library/Caches/app", CleanCategory::userCaches,
                                     {{"a", 2}, {"b", 1}, {"kept/c", 1}, {"locked/d", 3}});
    const CleanItem whole = folder("Library/Caches/setup", CleanCategory::installers, {{"x", 1}, {"locked/y", 1}});
    const fs::path moved = Platform::Locations::trashFiles() / "setup";
    const std::vector<fs::path> locked = {partial.url / "kept", partial.url / "locked", moved / "locked"};
    ::chmod(locked[0].c_str(), 0555);
    ::chmod(locked[1].c_str(), 0);
    ::chmod((whole.url / "locked").c_str(), 0);

    CleanListModel list("clean", returning({partial, whole}));
    ASSERT_TRUE(drive(clocks, list.scan()));
    ASSERT_TRUE(drive(clocks, list.clean()));
    for (const auto& p : locked) ::chmod(p.c_str(), 0755);

    const CleanReport& report = list.phase().report;
    EXPECT_EQ(report.removed, std::vector<CleanItem>{whole});
    EXPECT_EQ(report.trashed, whole.size);
    EXPECT_EQ(report.freed, whole.size + 3 * fakehome::kBlock);  // a and b
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].reason, std::strerror(EACCES));
    EXPECT_EQ(report.skipped[0].left, fakehome::kBlock);  // c; d cannot be seen
    CleanItem rest = partial;
    rest.size = fakehome::kBlock;
    EXPECT_EQ(list.items(), std::vector<CleanItem>{rest});
    EXPECT_EQ(list.selection(), ids({partial}));
    EXPECT_TRUE(fs::exists(partial.url / "kept/c") && fs::exists(partial.url / "locked/d"));
    EXPECT_FALSE(fs::exists(partial.url / "a"));
    EXPECT_TRUE(fs::exists(moved / "locked/y"));
    ASSERT_EQ(History::entries().size(), 1u);
    EXPECT_EQ(History::entries()[0].bytes, report.freed);
    // The finding cleaned partly counts, and is named, with the one removed whole.
    EXPECT_EQ(History::entries()[0].count, 2);
    EXPECT_EQ(History::entries()[0].paths, (std::vector<std::string>{partial.url.string(), whole.url.string()}));
}

TEST(CleanListModel, RequestsWhileBusyChangeNothing) {
    FakeHome h;
    Clocks clocks(h.now());
    FakeAudio audio;
    int calls = 0;
    const CleanItem a = finding(h, "Library/Caches/a"), b = finding(h, "Library/Caches/b");
    CleanListModel list("clean", [&](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> {
        ++calls;
        co_await Pacing::sleepSeconds(100);
        co_return std::vector<CleanItem>{a, b};
    });

    list.setReviewing(true);
    list.clean();  // nothing selected
    EXPECT_TRUE(list.reviewing());
    EXPECT_EQ(list.phase().kind, Kind::idle);

    bool scanned = false;
    cleantest::markDone(list.scan(), &scanned);
    QSignalSpy phases(&list, &CleanListModel::phaseChanged);
    list.scan();
    list.setSelection({a.id()});
    list.clean();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(list.phase().kind, Kind::scanning);
    EXPECT_EQ(list.phase().text, "Scanning");
    EXPECT_EQ(phases.count(), 0);
    list.toggle({b.id()});  // the user may still pick findings
    EXPECT_EQ(list.selection(), (Selection{a.id(), b.id()}));
    clocks.advance(100);
    ASSERT_TRUE(scanned);
    EXPECT_EQ(list.selection(), (Selection{a.id(), b.id()}));  // the scan's own preselection
    EXPECT_FALSE(list.reviewing());

    bool cleaned = false;
    cleantest::markDone(list.clean(), &cleaned);
    EXPECT_EQ(list.phase().kind, Kind::cleaning);
    list.scan();
    list.clean();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(list.items().size(), 2u);
    ASSERT_TRUE(drive(clocks, [](bool* done) -> QCoro::Task<> {
        while (!*done) co_await Pacing::sleepSeconds(0.05);
    }(&cleaned)));
    EXPECT_TRUE(list.items().empty());
}

// What the user picks while a clean runs outlives it: only the run's own findings
// leave the list and the selection.
TEST(CleanListModel, PicksDuringACleanOutliveIt) {
    FakeHome h;
    Clocks clocks(h.now());
    FakeAudio audio;
    const CleanItem a = finding(h, "Library/Caches/a"), b = finding(h, "Library/Caches/b"),
                    c = finding(h, "Library/Caches/c");
    CleanListModel list("clean", returning({a, b, c}));
    ASSERT_TRUE(drive(clocks, list.scan()));
    list.setSelection({a.id(), b.id()});
    bool cleaned = false;
    cleantest::markDone(list.clean(), &cleaned);
    list.toggle({b.id()});  // b leaves the selection, though the run still takes it
    list.toggle({c.id()});
    ASSERT_TRUE(drive(clocks, [](bool* done) -> QCoro::Task<> {
        while (!*done) co_await Pacing::sleepSeconds(0.05);
    }(&cleaned)));
    EXPECT_EQ(list.phase().report.removed, (std::vector<CleanItem>{a, b}));
    EXPECT_EQ(list.items(), std::vector<CleanItem>{c});
    EXPECT_EQ(list.selection(), ids({c}));
}

TEST(CleanListModel, PreviewTouchesNothingButStillSounds) {
    FakeHome h;
    Clocks clocks(h.now());
    FakeAudio audio;
    const CleanItem a = finding(h, "Library/Caches/a"), b = finding(h, "Library/Caches/b/c");
    const auto before = tree(h / "Library");
    Preferences::shared().setDryRun(true);
    CleanListModel list("clean", returning({a, b}));
    ASSERT_TRUE(drive(clocks, list.scan()));
    ASSERT_TRUE(drive(clocks, list.clean()));
    EXPECT_EQ(tree(h / "Library"), before);
    EXPECT_EQ(list.items(), (std::vector<CleanItem>{a, b}));
    EXPECT_EQ(list.selection(), ids({a, b}));
    ASSERT_EQ(list.phase().kind, Kind::done);
    EXPECT_TRUE(list.phase().report.dryRun);
    EXPECT_EQ(list.phase().report.removed.size(), 2u);
    EXPECT_EQ(audio.played.size(), 1u);
    EXPECT_TRUE(History::entries().empty());
    Preferences::shared().setDryRun(false);
}

TEST(CleanListModel, SelectionIsByTheExactBytesOfEachPath) {
    FakeHome h;
    Clocks clocks(h.now());
    FakeAudio audio;
    const CleanItem ff = finding(h, "Library/Caches/a\xff"), fe = finding(h, "Library/Caches/a\xfe");
    CleanListModel list("clean", returning({ff, fe}));
    ASSERT_TRUE(drive(clocks, list.scan()));
    list.setSelection({ff.id()});
    EXPECT_EQ(list.selectedItems(), std::vector<CleanItem>{ff});
    ASSERT_TRUE(drive(clocks, list.clean()));
    EXPECT_FALSE(fs::exists(ff.url));
    EXPECT_TRUE(fs::exists(fe.url));
    EXPECT_EQ(list.items(), std::vector<CleanItem>{fe});
    EXPECT_TRUE(list.selection().empty());
}

TEST(CleanListModel, ToggleGroupsAndStrength) {
    const auto item = [](const char* path, CleanCategory c) {
        return CleanItem{path, 1, c, Risk::safe, "", false, false, std::nullopt};
    };
    const CleanItem x = item("/x", CleanCategory::trash), y = item("/y", CleanCategory::userCaches),
                    z = item("/z", CleanCategory::trash);
    CleanListModel list("clean", returning({x, y, z}));
    bool done = false;
    cleantest::markDone(list.scan(), &done);
    ASSERT_TRUE(done);

    list.setSelection({});
    list.toggle({x.id(), z.id()});
    list.toggle({y.id(), z.id()});  // some selected: selects all
    EXPECT_EQ(list.selection(), ids({x, y, z}));
    list.toggle({y.id(), z.id()});
    EXPECT_EQ(list.selection(), ids({x}));
    QSignalSpy changes(&list, &CleanListModel::selectionChanged);
    list.toggle({});
    EXPECT_EQ(changes.count(), 0);

    const auto groups = list.grouped();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].category, CleanCategory::userCaches);
    EXPECT_EQ(groups[0].items, std::vector<CleanItem>{y});
    EXPECT_EQ(groups[1].category, CleanCategory::trash);
    EXPECT_EQ(groups[1].items, (std::vector<CleanItem>{x, z}));

    const std::pair<int64_t, double> strengths[] = {{0, 0.12},        {50'000'000, 0.12},       {1'000'000'000, 0.5185},
                                                    {10'000'000'000, 0.8889}, {100'000'000, 0.1481}, {20'000'000'000, 1.0}};
    for (const auto& [freed, strength] : strengths)
        EXPECT_NEAR(CleanListModel::whoompStrength(freed), strength, 1e-4) << freed;
}
