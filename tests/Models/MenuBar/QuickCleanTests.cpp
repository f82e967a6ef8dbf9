#include "Models/MenuBar/QuickClean.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "Core/Clean/FakeHome.h"
#include "Core/Clean/History.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Kit/Sleep.h"
#include "Models/Settings/Preferences.h"

using cleantest::drive;
using fakehome::FakeHome;
using steppedtime::Clocks;
namespace fs = std::filesystem;
using Phase = QuickClean::Phase;
using ListKind = CleanListModel::Phase::Kind;

namespace {
CleanItem finding(const FakeHome& h, const fs::path& rel, int64_t size, Risk risk = Risk::safe, bool permanent = false,
                  bool admin = false, std::optional<std::string> command = std::nullopt) {
    return {h.file(rel, 1), size, CleanCategory::userCaches, risk, "note", permanent, admin, std::move(command)};
}

CleanListModel::Finder returning(std::vector<CleanItem> items) {
    return [items](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> { co_return items; };
}

// A fake home with a junk list over the given findings, on stepped clocks.
struct Scene {
    FakeHome h;
    Clocks clocks{h.now()};
    cleantest::FakeAudio audio;
    QuickClean quick;
};
}  // namespace

// Every combination of the four flags: only the finding with all four clear qualifies.
TEST(QuickClean, OnlyTheAllClearSafeFindingQualifies) {
    Scene s;
    std::vector<CleanItem> items;
    for (int bits = 0; bits < 16; ++bits)
        items.push_back(finding(s.h, "Library/Caches/f" + std::to_string(bits), 1000 + bits,
                                bits & 1 ? Risk::review : Risk::safe, bits & 2, bits & 4,
                                bits & 8 ? std::optional<std::string>("rm -rf x") : std::nullopt));
    for (int bits = 0; bits < 16; ++bits) EXPECT_EQ(QuickClean::qualifies(items[bits]), bits == 0) << bits;

    CleanListModel list("clean", returning(items));
    ASSERT_TRUE(drive(s.clocks, s.quick.scan(list)));
    EXPECT_EQ(s.quick.phase(), Phase::ready(1, 1000));
    EXPECT_EQ(list.selection(), CleanListModel::Selection{items[0].id()});

    // Without it, nothing: and nothing selected on the list either.
    items.erase(items.begin());
    CleanListModel none("clean", returning(items));
    ASSERT_TRUE(drive(s.clocks, s.quick.scan(none)));
    EXPECT_EQ(s.quick.phase(), Phase::nothing());
    EXPECT_TRUE(none.selection().empty());
}

// Two qualifying findings among others: counted, selected alone, previewed with
// every file left, then cleaned through the list's run with its history entry.
TEST(QuickClean, SelectsTheQualifyingFindingsPreviewsAndCleansThem) {
    Scene s;
    const CleanItem a = finding(s.h, "Library/Caches/a", 1000), b = finding(s.h, "Library/Caches/b", 2500);
    const CleanItem review = finding(s.h, "Downloads/old.zip", 9000, Risk::review);
    CleanListModel list("clean", returning({a, review, b}));
    for (const bool preview : {true, false}) {
        Preferences::shared().setDryRun(preview);
        ASSERT_TRUE(drive(s.clocks, s.quick.scan(list)));
        EXPECT_EQ(s.quick.phase(), Phase::ready(2, 3500));
        EXPECT_EQ(list.selection(), (CleanListModel::Selection{a.id(), b.id()}));
        ASSERT_TRUE(drive(s.clocks, s.quick.clean(list)));
        ASSERT_EQ(list.phase().kind, ListKind::done);
        EXPECT_GT(list.phase().report.freed, 0);
        EXPECT_EQ(s.quick.phase(), Phase::done(list.phase().report.freed, preview));
        EXPECT_EQ(fs::exists(a.url), preview);
        EXPECT_EQ(fs::exists(b.url), preview);
        EXPECT_TRUE(fs::exists(review.url));
        EXPECT_EQ(History::entries().size(), preview ? 0u : 1u);
    }
}

// Requests the list cannot take now leave the quick clean where it was.
TEST(QuickClean, RequestsWhileTheListIsBusyOrOutsideReadyDoNothing) {
    Scene s;
    const CleanItem a = finding(s.h, "Library/Caches/a", 1000);
    int scans = 0;
    CleanListModel list("clean", [&](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> {
        ++scans;
        co_await Pacing::sleepSeconds(10);
        co_return std::vector<CleanItem>{a};
    });

    // Outside ready a clean does nothing.
    for (const Phase phase : {Phase::idle(), Phase::nothing(), Phase::scanning(), Phase::done(5, false)}) {
        s.quick.setPhase(phase);
        s.quick.clean(list);
        EXPECT_EQ(s.quick.phase(), phase);
        EXPECT_EQ(list.phase().kind, ListKind::idle);
    }
    // While the Clean tab's scan runs, a quick scan or clean starts nothing.
    s.quick.setPhase(Phase::idle());
    bool tabScan = false;
    cleantest::markDone(list.scan(), &tabScan);
    s.quick.scan(list);
    EXPECT_EQ(s.quick.phase(), Phase::idle());
    EXPECT_EQ(scans, 1);
    s.quick.setPhase(Phase::ready(1, 1000));
    s.quick.clean(list);
    EXPECT_EQ(s.quick.phase(), Phase::ready(1, 1000));
    EXPECT_EQ(list.phase().kind, ListKind::scanning);
    ASSERT_TRUE(drive(s.clocks, [](bool* done) -> QCoro::Task<> {
        while (!*done) co_await Pacing::sleepSeconds(0.05);
    }(&tabScan)));
    EXPECT_TRUE(fs::exists(a.url));
}

// Ready from a quick scan; the same list is cleaned from the Clean tab; then Clean
// in the panel. Nothing qualifying is left: the quick clean says so and does not
// take the tab's report for its own.
TEST(QuickClean, NeverShowsAnotherRunsReportAsItsOwn) {
    Scene s;
    const CleanItem a = finding(s.h, "Library/Caches/a", 1000);
    CleanListModel list("clean", returning({a}));
    ASSERT_TRUE(drive(s.clocks, s.quick.scan(list)));
    ASSERT_EQ(s.quick.phase(), Phase::ready(1, 1000));

    ASSERT_TRUE(drive(s.clocks, list.clean()));
    ASSERT_EQ(list.phase().kind, ListKind::done);
    const int64_t tabFreed = list.phase().report.freed;
    ASSERT_GT(tabFreed, 0);

    QSignalSpy listPhases(&list, &CleanListModel::phaseChanged);
    ASSERT_TRUE(drive(s.clocks, s.quick.clean(list)));
    EXPECT_EQ(s.quick.phase(), Phase::nothing());
    EXPECT_EQ(listPhases.count(), 0);  // no clean ran
    EXPECT_EQ(History::entries().size(), 1u);
}
