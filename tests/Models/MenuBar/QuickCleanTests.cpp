#include "Models/MenuBar/QuickClean.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "Core/Clean/FakeHome.h"
#include "Core/Clean/History.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Kit/Sleep.h"
#include "Models/Settings/Preferences.h"
#include "Support/QtTestSupport.h"

using cleantest::drive;
using Phase = QuickClean::Phase;
using ListKind = CleanListModel::Phase::Kind;

namespace {
// A fake home on stepped clocks, and junk lists over findings in it.
struct Scene {
    fakehome::FakeHome h;
    steppedtime::Clocks clocks{h.now()};
    cleantest::FakeAudio audio;
    QuickClean quick;
    CleanItem finding(const std::string& rel, Risk risk = Risk::safe, bool permanent = false, bool admin = false,
                      std::optional<std::string> command = std::nullopt) {
        return {h.file(rel, 1), 1000, CleanCategory::userCaches, risk, "note", permanent, admin, std::move(command)};
    }
    static std::unique_ptr<CleanListModel> list(std::vector<CleanItem> items) {
        return std::make_unique<CleanListModel>("clean", [items](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> {
            co_return items;
        });
    }
};
}  // namespace

// Every combination of risk, permanence, administrator rights and command: only the
// finding with all four clear qualifies, and a scan selects it alone, or nothing.
TEST(QuickClean, OnlyTheAllClearSafeFindingQualifies) {
    Scene s;
    std::vector<CleanItem> items;
    for (int bits = 0; bits < 16; ++bits)
        items.push_back(s.finding("Library/Caches/f" + std::to_string(bits), bits & 1 ? Risk::review : Risk::safe,
                                  bits & 2, bits & 4, bits & 8 ? std::optional<std::string>("rm -rf x") : std::nullopt));
    for (int bits = 0; bits < 16; ++bits) EXPECT_EQ(QuickClean::qualifies(items[bits]), bits == 0) << bits;
    for (const bool withIt : {true, false}) {
        auto list = Scene::list({items.begin() + (withIt ? 0 : 1), items.end()});
        ASSERT_TRUE(drive(s.clocks, s.quick.scan(*list)));
        EXPECT_EQ(s.quick.phase(), withIt ? Phase::ready(1, 1000) : Phase::nothing());
        EXPECT_EQ(list->selection(), withIt ? CleanListModel::Selection{items[0].id()} : CleanListModel::Selection{});
    }
}

// A preview leaves every file; the clean goes through the list's run with its history entry.
TEST(QuickClean, PreviewsThenCleansTheQualifyingFindings) {
    Scene s;
    const CleanItem a = s.finding("Library/Caches/a"), review = s.finding("Downloads/old.zip", Risk::review);
    auto list = Scene::list({a, review});
    for (const bool preview : {true, false}) {
        Preferences::shared().setDryRun(preview);
        ASSERT_TRUE(drive(s.clocks, s.quick.scan(*list)));
        ASSERT_TRUE(drive(s.clocks, s.quick.clean(*list)));
        ASSERT_EQ(list->phase().kind, ListKind::done);
        EXPECT_EQ(s.quick.phase(), Phase::done(list->phase().report.freed, preview));
        EXPECT_EQ(std::filesystem::exists(a.url), preview);
        EXPECT_TRUE(std::filesystem::exists(review.url));
        EXPECT_EQ(History::entries().size(), preview ? 0u : 1u);
    }
}

// Outside ready a clean does nothing; while the Clean tab's scan runs, a quick scan
// or clean starts nothing.
TEST(QuickClean, RequestsWhileTheListIsBusyOrOutsideReadyDoNothing) {
    Scene s;
    const CleanItem a = s.finding("Library/Caches/a");
    CleanListModel list("clean", [&](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> {
        co_await Pacing::sleepSeconds(10);
        co_return std::vector<CleanItem>{a};
    });
    for (const Phase phase : {Phase::idle(), Phase::nothing(), Phase::scanning(), Phase::done(5, false)}) {
        s.quick.setPhase(phase);
        s.quick.clean(list);
        EXPECT_EQ(s.quick.phase(), phase);
        EXPECT_EQ(list.phase().kind, ListKind::idle);
    }
    bool tabScan = false;
    cleantest::markDone(list.scan(), &tabScan);
    s.quick.setPhase(Phase::idle());
    s.quick.scan(list);
    EXPECT_EQ(s.quick.phase(), Phase::idle());
    s.quick.setPhase(Phase::ready(1, 1000));
    s.quick.clean(list);
    EXPECT_EQ(s.quick.phase(), Phase::ready(1, 1000));
    ASSERT_TRUE(qttest::until([&] {
        if (!tabScan) s.clocks.advance(0.05);
        return tabScan;
    }));
    EXPECT_TRUE(std::filesystem::exists(a.url));
}

// Ready from a quick scan; the same list is cleaned from the Clean tab; then Clean in
// the panel. Nothing qualifying is left: the quick clean says so, runs no clean, and
// does not take the tab's report for its own.
TEST(QuickClean, NeverShowsAnotherRunsReportAsItsOwn) {
    Scene s;
    auto list = Scene::list({s.finding("Library/Caches/a")});
    ASSERT_TRUE(drive(s.clocks, s.quick.scan(*list)));
    ASSERT_EQ(s.quick.phase(), Phase::ready(1, 1000));
    ASSERT_TRUE(drive(s.clocks, list->clean()));
    ASSERT_GT(list->phase().report.freed, 0);

    QSignalSpy listPhases(list.get(), &CleanListModel::phaseChanged);
    ASSERT_TRUE(drive(s.clocks, s.quick.clean(*list)));
    EXPECT_EQ(s.quick.phase(), Phase::nothing());
    EXPECT_EQ(listPhases.count(), 0);
    EXPECT_EQ(History::entries().size(), 1u);
}
