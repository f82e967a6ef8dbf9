#include "Models/Kit/ProgressHop.h"
#include "Models/Kit/Sleep.h"

#include <QCoroTask>
#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <vector>

using namespace std::chrono_literals;

namespace {
struct SteppedMonotonic {
    Platform::SteppedMonotonicClock clock;
    SteppedMonotonic() { Platform::setMonotonicClock(&clock); }
    ~SteppedMonotonic() { Platform::setMonotonicClock(nullptr); }
};
}  // namespace

TEST(Pacing, SleepsWakeAtTheirDeadlineInOrderOnlyWhenTheClockMoves) {
    SteppedMonotonic stepped;
    std::vector<int> woke;
    auto sleeper = [&](int id, double seconds) -> QCoro::Task<> {
        co_await Pacing::sleepSeconds(seconds);
        woke.push_back(id);
        // A wait scheduled from a wake that is due within the same advance still runs.
        if (id == 1) {
            co_await Pacing::sleepSeconds(0.5);
            woke.push_back(10);
        }
    };
    sleeper(2, 2.0);
    sleeper(1, 1.0);
    sleeper(0, 0.0);
    EXPECT_EQ(woke, (std::vector<int>{0}));
    stepped.clock.advance(999ms);
    EXPECT_EQ(woke, (std::vector<int>{0}));
    stepped.clock.advance(2s);
    EXPECT_EQ(woke, (std::vector<int>{0, 1, 10, 2}));
    EXPECT_EQ(stepped.clock.pending(), 0u);
}

TEST(Pacing, RealClockSleepWaitsAtLeastItsSpan) {
    const auto start = std::chrono::steady_clock::now();
    bool done = false;
    // What it sets is handed in: a coroutine's parameters live in its frame, a
    // temporary lambda's captures end with the statement.
    [](bool* finished) -> QCoro::Task<> {
        co_await Pacing::sleepFor(20ms);
        *finished = true;
    }(&done);
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
}

TEST(ProgressHop, CoalescesToTheNewestValueAndStopsWithItsOwner) {
    auto owner = std::make_unique<QObject>();
    std::vector<double> seen;
    ProgressHop<double> hop(owner.get(), [&](const double& v) { seen.push_back(v); });

    QThread* worker = QThread::create([post = hop.poster()] {
        for (int i = 1; i <= 10000; ++i) post(i / 10000.0);
    });
    worker->start();
    worker->wait();
    delete worker;
    QCoreApplication::processEvents();
    ASSERT_FALSE(seen.empty());
    EXPECT_LE(seen.size(), 2u);  // at most one in flight plus none left behind
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);

    seen.clear();
    hop.post(0.5);
    owner.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(seen.empty());
}
