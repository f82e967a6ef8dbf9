#include <gtest/gtest.h>

#include "Core/Clean/FakeHome.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Views/Kit/TabBar.h"
#include "Views/TestSupport.h"
#include "Views/Window/ContentView.h"

namespace fs = std::filesystem;
using Kind = CleanListModel::Phase::Kind;

// The junk list through the real scanner and the real remover, watched from
// another tab: the Clean tab's dot is on while it scans and cleans, and off after.
TEST(CleanBusy, JunkListScansAndCleansWithTheCleanTabsDotOn) {
    fakehome::FakeHome h;
    steppedtime::Clocks clocks(h.now());
    cleantest::FakeAudio audio;
    h.folder(".npm/_cacache/index-v5", 20);
    h.folder(".cache/uv/wheels", 18);
    h.folder("Library/pnpm/store/v3", 17);
    h.file("Documents/keep.txt", 1);

    Fixture f;
    ContentView view(*f.state, *f.prefs, *f.login);
    view.resize(1000, 680);
    view.show();
    f.state->setTab(AppTab::analyze);
    CleanListModel& junk = f.state->junk();
    const auto dot = [&] { return view.tabBar()->showsBusyDot(AppTab::clean); };
    EXPECT_FALSE(dot());

    std::vector<bool> dots;
    QObject::connect(&junk, &CleanListModel::phaseChanged, [&] { dots.push_back(dot()); });
    ASSERT_TRUE(cleantest::drive(clocks, junk.scan()));
    std::vector<CleanItem> safe, review;
    for (const auto& item : junk.items()) (item.risk == Risk::safe ? safe : review).push_back(item);
    ASSERT_EQ(safe.size(), 2u);
    ASSERT_EQ(review.size(), 1u);
    EXPECT_EQ(review[0].url, h / "Library/pnpm/store");

    ASSERT_TRUE(cleantest::drive(clocks, junk.clean()));
    EXPECT_EQ(dots, (std::vector<bool>{true, false, true, false}));
    ASSERT_EQ(junk.phase().kind, Kind::done);
    EXPECT_EQ(junk.phase().report.removed, safe);
    for (const auto& item : safe) EXPECT_FALSE(fs::exists(item.url)) << item.url;
    EXPECT_TRUE(fs::exists(h / "Library/pnpm/store/v3/data"));
    EXPECT_TRUE(fs::exists(h / "Documents/keep.txt"));
    EXPECT_EQ(junk.items(), review);
    EXPECT_FALSE(dot());
}
