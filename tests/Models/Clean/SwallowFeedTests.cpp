#include "Models/Clean/SwallowFeed.h"

#include <gtest/gtest.h>

#include <QCoroTask>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "Core/Clean/FileIcons.h"
#include "Support/SteppedTime.h"
#include "Support/TestTree.h"

using Platform::IconRef;
using steppedtime::Clocks;

namespace {
std::vector<CleanItem> items(const std::vector<int64_t>& sizes, const std::string& root = "/nowhere") {
    std::vector<CleanItem> out;
    for (size_t i = 0; i < sizes.size(); ++i) {
        CleanItem item;
        item.url = root + "/item" + std::to_string(i) + ".log";
        item.size = sizes[i];
        out.push_back(item);
    }
    return out;
}

struct Release {
    double at;
    int id;
    int64_t bytes;
    double angle;
};

// Runs a feed and records what it does, in monotonic seconds.
struct Recorder {
    Clocks& clocks;
    SwallowFeed& feed;
    std::vector<Release> releases;
    int64_t lowestRemaining = std::numeric_limits<int64_t>::max();
    std::optional<double> ended;

    Recorder(Clocks& c, SwallowFeed& f, double minimum) : clocks(c), feed(f) {
        QObject::connect(&feed, &SwallowFeed::eventsChanged, [this] {
            const auto& e = feed.events().back();
            if (releases.empty() || releases.back().id != e.id)
                releases.push_back({clocks.t(), e.id, e.bytes, e.angle});
        });
        QObject::connect(&feed, &SwallowFeed::remainingChanged,
                         [this](qint64 v) { lowestRemaining = std::min<int64_t>(lowestRemaining, v); });
        [](Recorder* r, double minimum) -> QCoro::Task<> {
            co_await r->feed.run(minimum);
            r->ended = r->clocks.t();
        }(this, minimum);
    }
    void finishAt(double t) {
        clocks.advanceTo(t);
        feed.setFinished(true);
        feed.setReachedCount(feed.itemCount());
    }
};

struct NoApps {
    NoApps() { FileIcons::resetForTesting(FileIcons::Places{}); }
    ~NoApps() { FileIcons::resetForTesting(); }
};
}  // namespace

TEST(SwallowFeed, FlightTimeGrowsWithTheLogarithmOfTheBytes) {
    struct Case {
        int64_t bytes;
        double seconds;
    } cases[] = {{-5, 2.0}, {0, 2.0}, {1000, 2.0}, {50'000'000, 2.0 + 2.5 * (std::log10(5e7) - 3) / 7},
                 {10'000'000'000, 4.5}, {std::numeric_limits<int64_t>::max(), 4.5}};
    for (const auto& c : cases) EXPECT_NEAR(SwallowFeed::flightTime(c.bytes), c.seconds, 1e-12) << c.bytes;
    EXPECT_NEAR(SwallowFeed::flightTime(50'000'000), 3.68, 0.01);
}

// A worker that finished at 1 s with 40 items of a 3.6 s run: the rest is spread
// over the ticks left, and a step of the wall clock changes none of it.
class SwallowFeedTrace : public ::testing::TestWithParam<double> {};

TEST_P(SwallowFeedTrace, SpreadsTheRestOverTheTimeLeftAndDrainsAfterTheLastFlight) {
    NoApps noApps;
    Clocks clocks;
    SwallowFeed feed(items(std::vector<int64_t>(40, 1000)), false);
    EXPECT_EQ(feed.remaining(), 40'000);
    Recorder r(clocks, feed, 3.6);
    clocks.advanceTo(0.5);
    clocks.stepWall(GetParam());
    r.finishAt(0.97);
    clocks.advanceTo(20);

    ASSERT_EQ(r.releases.size(), 8u);
    for (size_t k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(r.releases[k].at, 1.0 + 0.3 * static_cast<double>(k), 1e-6);
        EXPECT_EQ(r.releases[k].id, 5 * static_cast<int>(k + 1));
        EXPECT_EQ(r.releases[k].bytes, 5000);
        EXPECT_NEAR(r.releases[k].angle, 0.6 + 2.399963 * static_cast<double>(k), 1e-12);
        EXPECT_NEAR(clocks.wall(feed.events()[k].start), r.releases[k].at + GetParam(), 1e-6);
    }
    ASSERT_TRUE(r.ended);
    EXPECT_NEAR(*r.ended, 3.1 + SwallowFeed::flightTime(5000), 1e-6);
    EXPECT_EQ(feed.remaining(), 0);
    EXPECT_DOUBLE_EQ(feed.swallowed(), 1.0);
    EXPECT_EQ(feed.released(), 8);
    EXPECT_EQ(clocks.pendingWaits(), 0u);
}

INSTANTIATE_TEST_SUITE_P(WallClockSteps, SwallowFeedTrace, ::testing::Values(0.0, -3600.0, 3600.0),
                         [](const auto& info) {
                             return info.param == 0 ? std::string("Steady")
                                                    : info.param < 0 ? std::string("StepBack") : "StepForward";
                         });

TEST(SwallowFeed, EdgeCases) {
    NoApps noApps;
    struct Case {
        const char* name;
        std::function<void(Clocks&)> check;
    } cases[] = {
        {"a heavy batch landing after the end never takes remaining below 0",
         [](Clocks& clocks) {
             SwallowFeed feed(items({10'000'000'000, 500}), false);
             Recorder r(clocks, feed, 3.6);
             feed.reached(0.5);
             r.finishAt(0.2);
             clocks.advanceTo(30);
             ASSERT_TRUE(r.ended);
             EXPECT_GE(r.lowestRemaining, 0);
             EXPECT_EQ(feed.remaining(), 0);
             EXPECT_DOUBLE_EQ(feed.swallowed(), 1.0);
         }},
        {"one pending item goes out alone while the worker runs",
         [](Clocks& clocks) {
             SwallowFeed feed(items(std::vector<int64_t>(10, 1)), false);
             Recorder r(clocks, feed, 3.6);
             feed.reached(0.1);
             clocks.advanceTo(0.05);
             ASSERT_EQ(r.releases.size(), 1u);
             EXPECT_EQ(r.releases[0].id, 1);
             feed.reached(1.0);
             clocks.advanceTo(0.35);
             EXPECT_EQ(r.releases.back().id, 4);  // a quarter of 9, rounded up
         }},
        {"reached only grows, and ignores what is not a fraction",
         [](Clocks&) {
             SwallowFeed feed(items(std::vector<int64_t>(10, 1)), false);
             feed.reached(0.5);
             feed.reached(0.3);
             feed.reached(std::nan(""));
             feed.reached(-1);
             EXPECT_EQ(feed.reachedCount(), 5);
             feed.reached(0.25);  // 2.5 rounds away from zero
             EXPECT_EQ(feed.reachedCount(), 5);
             feed.reached(7);
             EXPECT_EQ(feed.reachedCount(), 10);
         }},
        {"an empty feed ends on the first tick after finishing",
         [](Clocks& clocks) {
             SwallowFeed feed(std::vector<CleanItem>{}, false);
             Recorder r(clocks, feed, 3.6);
             clocks.advanceTo(1.0);
             EXPECT_FALSE(r.ended);
             r.finishAt(1.01);
             clocks.advanceTo(1.05);
             ASSERT_TRUE(r.ended);
             EXPECT_NEAR(*r.ended, 1.05, 1e-6);
             EXPECT_TRUE(feed.events().empty());
             EXPECT_EQ(feed.remaining(), 0);
         }},
        {"a feed over icons starts at 0 and grows a third per landed icon",
         [](Clocks& clocks) {
             const std::vector<IconRef> icons{IconRef::symbol("a"), IconRef::symbol("b"), IconRef::symbol("c")};
             SwallowFeed feed(icons);
             EXPECT_EQ(feed.sizes(), std::vector<int64_t>(3, 50'000'000));
             EXPECT_EQ(feed.remaining(), 0);
             EXPECT_EQ(feed.iconFor(1, 3), icons[1]);
             Recorder r(clocks, feed, 2.5);
             feed.reached(1.0 / 3);
             clocks.advanceTo(0.06 + 0.55 * SwallowFeed::flightTime(50'000'000));
             EXPECT_NEAR(feed.swallowed(), 1.0 / 3, 1e-12);
             EXPECT_EQ(feed.remaining(), 0);
         }},
        {"a dropped feed ends its run and its landings do nothing",
         [](Clocks& clocks) {
             auto feed = std::make_unique<SwallowFeed>(items({1000, 1000}), false);
             bool ended = false;
             [](SwallowFeed* f, bool& ended) -> QCoro::Task<> {
                 co_await f->run(3.6);
                 ended = true;
             }(feed.get(), ended);
             feed->reached(0.5);
             clocks.advanceTo(0.1);
             feed.reset();
             clocks.advanceTo(10);
             EXPECT_TRUE(ended);
             EXPECT_EQ(clocks.pendingWaits(), 0u);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Clocks clocks;
        c.check(clocks);
    }
}

TEST(SwallowFeed, EachOwningAppShowsOnceUnlessEveryItemShowsItsOwnIcon) {
    testtree::TempDir root;
    testtree::writeFile(root / "applications/org.example.Viewer.desktop", "[Desktop Entry]\nType=Application\n");
    FileIcons::resetForTesting(FileIcons::Places{{}, {root / "applications"}});
    const auto app = root / "applications/org.example.Viewer.desktop";
    testtree::writeFile(root / "cache/org.example.Viewer/a.bin", "x");
    testtree::writeFile(root / "cache/org.example.Viewer/b.bin", "x");

    std::vector<CleanItem> list(5);
    list[0].url = root / "cache/org.example.Viewer/a.bin";
    list[1].url = root / "cache/org.example.Viewer/b.bin";
    list[2].url = root / "gone/trace.LOG";
    list[3].url = root / "cache/org.example.Viewer/gone.bin";
    list[4].url = root / "gone/Tool.app";
    for (size_t i = 0; i < list.size(); ++i) list[i].size = 10;

    const std::vector<IconRef> shared{IconRef::application(app), IconRef::file(list[1].url), IconRef::ofType("log"),
                                      IconRef::application(app), IconRef::application(list[4].url)};
    const std::vector<IconRef> own{IconRef::file(list[0].url), IconRef::file(list[1].url), IconRef::ofType("log"),
                                   IconRef::application(app), IconRef::file(list[4].url)};
    for (bool ownIcons : {false, true}) {
        SCOPED_TRACE(ownIcons);
        SwallowFeed feed(list, ownIcons);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(feed.iconFor(i, i + 1), (ownIcons ? own : shared)[i]) << i;
        // A batch shows its largest item, the first of equals.
        EXPECT_EQ(feed.iconFor(1, 4), feed.iconFor(1, 2));
    }
    FileIcons::resetForTesting();
}
