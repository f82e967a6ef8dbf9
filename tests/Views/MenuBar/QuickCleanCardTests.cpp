#include <gtest/gtest.h>

#include <QSignalSpy>

#include <limits>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/History.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/MenuBar/QuickClean.h"
#include "Support/SteppedAnimations.h"
#include "Support/TestTree.h"
#include "Views/MenuBar/CleaningTotals.h"
#include "Views/MenuBar/QuickCleanCard.h"
#include "Views/TestSupport.h"

using Phase = QuickClean::Phase;

namespace {
QString bytes(int64_t n) { return toQString(formattedBytes(n)); }

History::Entry entry(const char* action, int64_t bytes) { return {History::newIdentifier(), {}, action, 1, bytes, {}}; }
}  // namespace

TEST(QuickCleanCard, EachPhaseHasItsTitleAndDetail) {
    CleanListModel list("clean", {});  // no clean has run: no feed
    struct Row {
        Phase phase;
        QString title, detail;
    };
    const Row rows[] = {
        {Phase::idle(), "Safe caches", "Nothing you'd miss"},
        {Phase::scanning(), "Looking for caches…", "Only what's safe to remove"},
        {Phase::ready(3, 3500), bytes(3500) + " to clean", "3 safe caches"},
        {Phase::nothing(), "Nothing to clean", "No safe caches right now"},
        {Phase::cleaning(), "Cleaning…", "Crossing the event horizon"},
        {Phase::done(2'000'000, false), bytes(2'000'000) + " freed", "Done"},
        {Phase::done(2'000'000, true), bytes(2'000'000) + " would go", "Preview, nothing touched"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(QuickCleanCard::title(r.phase, list), r.title);
        EXPECT_EQ(QuickCleanCard::detail(r.phase), r.detail);
    }
}

// Which buttons each phase offers, the spring between two phases' texts, and that
// "Details" leaves the card idle before the window opens on the junk list's report.
TEST(QuickCleanCard, OffersTheButtonsOfItsPhase) {
    qttest::SteppedAnimations animations;
    Fixture f;
    QStringList calls;
    QuickCleanCard card(*f.state, *f.prefs, [&](std::optional<AppTab> tab) {
        calls << QStringLiteral("open %1 in phase %2")
                     .arg(tab ? rawValue(*tab) : QString())
                     .arg(int(f.state->quickClean().phase().kind));
    });
    card.show();
    QuickClean& quick = f.state->quickClean();
    const auto shown = [&card] {
        QStringList v;
        if (card.quickCleanButton()->isVisible()) v << "quick";
        if (card.spinner()->isVisible()) v << "spinner";
        if (card.cancelButton()->isVisible()) v << "cancel";
        if (card.cleanButton()->isVisible()) v << card.cleanButton()->text();
        if (card.detailsButton()->isVisible()) v << "details";
        if (card.doneButton()->isVisible()) v << "done";
        return v.join(' ');
    };
    EXPECT_EQ(shown(), "quick");
    quick.setPhase(Phase::ready(1, 10));
    EXPECT_EQ(shown(), "cancel Clean");
    EXPECT_EQ(card.shownTitle(), bytes(10) + " to clean");
    EXPECT_LT(card.transition(), 0.5);
    animations.step(1000);
    EXPECT_EQ(card.transition(), 1.0);
    f.prefs->setDryRun(true);
    EXPECT_EQ(shown(), "cancel Preview");
    f.prefs->setDryRun(false);
    card.cancelButton()->click();
    EXPECT_EQ(quick.phase(), Phase::idle());
    quick.setPhase(Phase::cleaning());
    EXPECT_EQ(shown(), "spinner");
    quick.setPhase(Phase::nothing());
    EXPECT_EQ(shown(), "quick");
    quick.setPhase(Phase::done(5, false));
    EXPECT_EQ(shown(), "details done");
    card.doneButton()->click();
    EXPECT_EQ(quick.phase(), Phase::idle());

    f.state->setCleanMode(CleanMode::ai);
    quick.setPhase(Phase::done(5, false));
    card.detailsButton()->click();
    EXPECT_EQ(calls, QStringList{"open clean in phase 0"});
    EXPECT_EQ(f.state->cleanMode(), CleanMode::system);
}

TEST(CleaningTotals, SumsTheHistoryByKind) {
    constexpr int64_t big = std::numeric_limits<int64_t>::max();
    struct Row {
        const char* name;
        std::vector<History::Entry> entries;
        CleaningTotals::Totals expected;
    };
    const Row rows[] = {
        {"none", {}, {0, 0, 0}},
        {"mixed",
         {entry("clean", 100), entry("optimize", 7000), entry("uninstall", 20), entry("ai", 3), entry("optimize", 0),
          entry("analyze", 4), entry("purge", 5), entry("installers", 6)},
         {138, 1, 2}},
        {"saturates", {entry("clean", big), entry("uninstall", big), entry("clean", 1)}, {big, 1, 0}},
        {"negativeAddsNothing", {entry("clean", -50), entry("clean", 80)}, {80, 0, 0}},
    };
    for (const Row& r : rows) EXPECT_EQ(CleaningTotals::sum(r.entries), r.expected) << r.name;
}

// A history file that is missing or cannot be read shows nothing cleaned.
TEST(CleaningTotals, AFileThatCannotBeReadCountsNothing) {
    testtree::TempDir tmp;
    testtree::ScopedEnv data("XDG_DATA_HOME", (tmp / "data").string());
    for (const char* body : {"", "not json"}) {
        if (*body) testtree::writeFile(History::fileURL(), body);
        CleaningTotals card;
        card.show();
        ASSERT_TRUE(qttest::until([&card] { return card.isLoaded(); }));
        EXPECT_EQ(card.totals(), (CleaningTotals::Totals{0, 0, 0}));
        EXPECT_EQ(card.shownText(0), bytes(0));
    }
}
