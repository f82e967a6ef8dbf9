#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <set>

#include "Models/Kit/MotionPause.h"
#include "Support/SteppedAnimations.h"
#include "Views/Kit/Spring.h"
#include "Views/Kit/SubTabs.h"
#include "Views/Kit/TabBar.h"

TEST(Spring, CriticallyDampedRisesWithoutOvershootAndSettles) {
    const Spring s = Spring::tabSelection();
    EXPECT_DOUBLE_EQ(s.value(0), 0.0);
    double last = 0;
    for (double t = 0.001; t < 1.0; t += 0.001) {
        const double v = s.value(t);
        ASSERT_GE(v, last - 1e-12) << t;
        ASSERT_LE(v, 1.0) << t;
        last = v;
    }
    const double settle = s.settlingTime();
    EXPECT_GT(settle, 0.45);
    EXPECT_LT(settle, 0.6);
    EXPECT_GT(1 - s.value(settle), 0);
    EXPECT_LT(1 - s.value(settle), 0.001);
    EXPECT_GT(1 - s.value(settle - 0.05), 0.001);
}

TEST(Spring, UnderdampedOvershootsOnceAndComesBack) {
    const Spring s = Spring::standard();
    double peak = 0;
    for (double t = 0; t < 2; t += 0.001) peak = std::max(peak, s.value(t));
    EXPECT_GT(peak, 1.0);
    EXPECT_LT(peak, 1.05);
    EXPECT_NEAR(s.value(s.settlingTime()), 1.0, 0.001);
    // A longer response is slower.
    const Spring slow{1.0, 1.0}, quick{0.35, 1.0}, overdamped{0.35, 1.5};
    EXPECT_LT(slow.value(0.2), quick.value(0.2));
    // Overdamped springs also end at 1, more slowly and without overshoot.
    EXPECT_NEAR(overdamped.value(3.0), 1.0, 1e-4);
    EXPECT_LT(overdamped.value(0.2), quick.value(0.2));
}

TEST(TabBar, BusyDotBreathesFromDimToBright) {
    struct { double t, opacity, radius; } cases[] = {
        {0.0, 0.5, 1.0}, {0.4, 0.75, 2.5}, {0.8, 1.0, 4.0}, {1.2, 0.75, 2.5}, {1.6, 0.5, 1.0}, {2.4, 1.0, 4.0},
        {-1.0, 0.5, 1.0},
    };
    for (auto c : cases) {
        const auto p = TabBar::busyDotPulse(c.t);
        EXPECT_NEAR(p.opacity, c.opacity, 1e-9) << c.t;
        EXPECT_NEAR(p.shadowRadius, c.radius, 1e-9) << c.t;
    }
}

namespace {
struct PauseReset {
    ~PauseReset() { MotionPause::shared().setHidden(false); }
};
}  // namespace

struct BusyCase {
    const char* name;
    AppTab selection;
    bool showsSelection;
    std::set<AppTab> busy;
    std::set<AppTab> dots;
    bool spinning;
};

class TabBarBusy : public ::testing::TestWithParam<BusyCase> {};

TEST_P(TabBarBusy, DotsAndRingFollowTheBusyTabs) {
    const auto& c = GetParam();
    TabBar bar;
    bar.setSelection(c.selection);
    bar.setShowsSelection(c.showsSelection);
    int asked = 0;
    bar.setBusyTest([&](AppTab t) { ++asked; return c.busy.count(t) > 0; });
    bar.show();
    EXPECT_GE(asked, 5);
    for (AppTab t : AppTabs::allCases) EXPECT_EQ(bar.showsBusyDot(t), c.dots.count(t) > 0) << c.name << " " << rawValue(t).toStdString();
    EXPECT_EQ(bar.isMarkSpinning(), c.spinning) << c.name;
    EXPECT_EQ(bar.markTimeline().isScheduled(), c.spinning) << c.name;
    if (!c.spinning) {
        EXPECT_EQ(bar.markPhase(), 0.0);
    }
    EXPECT_EQ(bar.pillRect().isEmpty(), !c.showsSelection) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    BusySets, TabBarBusy,
    ::testing::Values(
        BusyCase{"nothingBusy", AppTab::clean, true, {}, {}, false},
        BusyCase{"selectedBusyHasNoDot", AppTab::clean, true, {AppTab::clean}, {}, true},
        BusyCase{"otherBusyShowsItsDot", AppTab::clean, true, {AppTab::clean, AppTab::apps}, {AppTab::apps}, true},
        BusyCase{"noSelectionShowsEveryBusyDot", AppTab::optimize, false, {AppTab::optimize, AppTab::analyze},
                 {AppTab::optimize, AppTab::analyze}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TabBar, HiddenWindowSchedulesNoRingFrames) {
    PauseReset reset;
    TabBar bar;
    bar.setBusyTest([](AppTab t) { return t == AppTab::analyze; });
    bar.show();
    ASSERT_TRUE(bar.markTimeline().isScheduled());
    MotionPause::shared().setHidden(true);
    EXPECT_TRUE(bar.isMarkSpinning());
    EXPECT_FALSE(bar.markTimeline().isScheduled());
    MotionPause::shared().setHidden(false);
    EXPECT_TRUE(bar.markTimeline().isScheduled());
}

TEST(TabBar, BusyChangesShowOnRefresh) {
    bool busy = false;
    TabBar bar;
    bar.setSelection(AppTab::clean);
    bar.setBusyTest([&](AppTab t) { return busy && t == AppTab::status; });
    bar.show();
    EXPECT_FALSE(bar.showsBusyDot(AppTab::status));
    busy = true;
    bar.refreshBusy();
    EXPECT_TRUE(bar.showsBusyDot(AppTab::status));
    busy = false;
    bar.refreshBusy();
    EXPECT_FALSE(bar.showsBusyDot(AppTab::status));
    EXPECT_FALSE(bar.markTimeline().isScheduled());
}

TEST(TabBar, ClickingATabAsksForIt) {
    TabBar bar;
    bar.show();
    QSignalSpy clicked(&bar, &TabBar::tabClicked);
    for (AppTab t : AppTabs::allCases) QTest::mouseClick(&bar, Qt::LeftButton, {}, bar.tabRect(t).center().toPoint());
    ASSERT_EQ(clicked.count(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(clicked.at(i).at(0).value<AppTab>(), AppTabs::allCases[i]);
    // The mark and the gaps are not buttons; the bar itself never changes the selection.
    QTest::mouseClick(&bar, Qt::LeftButton, {}, bar.markRect().center().toPoint());
    EXPECT_EQ(clicked.count(), 5);
    EXPECT_EQ(bar.selection(), AppTab::clean);
}

TEST(TabBar, PillSlidesToTheNewTab) {
    qttest::SteppedAnimations animations;
    TabBar bar;
    bar.show();
    const QRectF from = bar.pillRect();
    EXPECT_EQ(from, bar.tabRect(AppTab::clean));
    bar.setSelection(AppTab::analyze);
    ASSERT_TRUE(bar.isSliding());
    EXPECT_EQ(bar.pillRect(), from);  // starts where it was
    animations.step(120);
    const QRectF mid = bar.pillRect();
    EXPECT_GT(mid.left(), from.left());
    EXPECT_LT(mid.left(), bar.tabRect(AppTab::analyze).left());
    animations.step(1500);
    EXPECT_FALSE(bar.isSliding());
    EXPECT_EQ(bar.pillRect(), bar.tabRect(AppTab::analyze));
}

TEST(SubTabs, HighlightsOnlyAMatchingItem) {
    SubTabs tabs({{"system", "System"}, {"ai", "AI"}});
    EXPECT_EQ(tabs.highlightedIndex(), -1);
    tabs.setSelection("ai");
    EXPECT_EQ(tabs.highlightedIndex(), 1);
    tabs.setSelection("nothing");
    EXPECT_EQ(tabs.highlightedIndex(), -1);
    tabs.show();
    QSignalSpy asked(&tabs, &SubTabs::selectionRequested);
    QTest::mouseClick(&tabs, Qt::LeftButton, {}, tabs.itemRect(0).center().toPoint());
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.at(0).at(0).toString(), "system");
    EXPECT_EQ(tabs.selection(), "nothing");  // the owner decides
}
