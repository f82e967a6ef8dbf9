#include "Models/Status/OptimizeModel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "Core/Clean/History.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Clean/Shockwave.h"
#include "Support/TestTree.h"

using cleantest::drive;
using cleantest::FakeAudio;
using Action = OptimizeModel::Action;
using Outcome = OptimizeModel::Outcome;
using Ids = OptimizeModel::Ids;

namespace {
Action task(const std::string& id, bool admin, bool preselected = true, std::optional<std::string> requires_ = {}) {
    return {id, "Task " + id, "detail", "true", admin, std::move(requires_), preselected};
}

// Runs nothing: answers as told and remembers what it was asked, in order.
struct FakeRunner {
    std::set<std::string> failing;   // ids that fail
    std::set<std::string> unreported;  // administrator ids the batch says nothing of
    std::mutex lock;
    std::vector<std::vector<std::string>> calls;

    OptimizeModel::Runner runner() {
        return {[this](const Action& a) {
                    std::lock_guard g(lock);
                    calls.push_back({a.id});
                    return Outcome{a, !failing.count(a.id), "ran " + a.id};
                },
                [this](const std::vector<Action>& list) {
                    std::lock_guard g(lock);
                    std::vector<std::string> ids;
                    std::vector<Outcome> out;
                    for (const auto& a : list) {
                        ids.push_back(a.id);
                        if (!unreported.count(a.id)) out.push_back({a, !failing.count(a.id), ""});
                    }
                    calls.push_back(ids);
                    return out;
                }};
    }
};

struct OptimizeModelTest : ::testing::Test {
    testtree::TempDir tmp;
    testtree::ScopedEnv data{"XDG_DATA_HOME", (tmp / "data").string()};
    steppedtime::Clocks clocks;
    FakeAudio audio;
    FakeRunner fake;
};
}  // namespace

TEST_F(OptimizeModelTest, PlainTasksRunOneByOneThenTheAdministratorOnesTogether) {
    // The table's order mixes them; the run does the plain ones first.
    OptimizeModel model({task("a1", true), task("p1", false), task("p2", false), task("a2", true),
                         task("p3", false), task("a3", true)},
                        fake.runner());
    fake.failing = {"p2", "a2"};
    fake.unreported = {"a3"};
    // What runs, and how many of the feed's icons the run had got through, as each step starts.
    std::vector<std::pair<Ids, int>> steps;
    std::vector<bool> busy;
    QObject::connect(&model, &OptimizeModel::runningChanged, [&] {
        steps.emplace_back(model.running(), model.feed() ? model.feed()->reachedCount() : -1);
        busy.push_back(model.isBusy());
    });
    model.setSelected({"a1", "p1", "p2", "a2", "p3", "a3", "not-offered"});

    ASSERT_TRUE(drive(clocks, model.runSelected()));
    // Each task stands for two icons (its owner and a folder), so 12 in all: 1/6 of the
    // run per plain task, the rest when the batch returns.
    const std::vector<std::pair<Ids, int>> expected = {
        {{"p1"}, 0}, {{"p2"}, 2}, {{"p3"}, 4}, {{"a1", "a2", "a3"}, 6}, {{}, 12}};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(busy, (std::vector<bool>{true, true, true, true, true})) << "busy while the icons still land";
    EXPECT_EQ(fake.calls, (std::vector<std::vector<std::string>>{{"p1"}, {"p2"}, {"p3"}, {"a1", "a2", "a3"}}));

    std::map<std::string, bool> results;
    for (const auto& [id, o] : model.outcomes()) results[id] = o.ok;
    EXPECT_EQ(results, (std::map<std::string, bool>{{"p1", true}, {"p2", false}, {"p3", true}, {"a1", true}, {"a2", false}}));
    EXPECT_EQ(model.outcomes().at("p1").output, "ran p1");
    EXPECT_EQ(model.feed(), nullptr);
    EXPECT_FALSE(model.isBusy());
    EXPECT_GT(model.grown(), 0.9);

    // The successes, in the order they ran.
    const auto history = History::entries();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].action, "optimize");
    EXPECT_EQ(history[0].count, 3);
    EXPECT_EQ(history[0].bytes, 0);
    EXPECT_EQ(history[0].paths, (std::vector<std::string>{"Task p1", "Task p3", "Task a1"}));
    EXPECT_EQ(audio.played.size(), 1u);
    EXPECT_DOUBLE_EQ(Shockwave::shared().strength(), OptimizeModel::whoompStrength);
}

TEST_F(OptimizeModelTest, ARunWithoutASuccessIsNeitherHeardNorRecorded) {
    struct Case {
        const char* name;
        Ids selected;
        std::set<std::string> failing;
        size_t calls;
    };
    const Case cases[] = {
        {"nothing selected", {}, {}, 0},
        {"only tasks that are not offered", {"gone"}, {}, 0},
        {"every task failed", {"p1", "a1"}, {"p1", "a1"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRunner runner;
        runner.failing = c.failing;
        OptimizeModel model({task("p1", false), task("a1", true), task("gone", false, true, "/nonexistent/quelto")},
                            runner.runner());
        model.setSelected(c.selected);
        bool fed = false;
        QObject::connect(&model, &OptimizeModel::feedChanged, [&] { fed = fed || model.feed(); });
        ASSERT_TRUE(drive(clocks, model.runSelected()));
        EXPECT_TRUE(fed) << "every run animates, even an empty one";
        EXPECT_EQ(runner.calls.size(), c.calls);
        EXPECT_EQ(model.feed(), nullptr);
    }
    EXPECT_TRUE(audio.played.empty());
    EXPECT_TRUE(History::entries().empty());
}

TEST_F(OptimizeModelTest, OffersOnlyWhatThisMachineHasAndPreselectsTheDefaults) {
    testtree::writeScript(tmp / "tool", "exit 0\n");
    OptimizeModel model({task("none", false, true), task("tool", false, false, (tmp / "tool").string()),
                         task("folder", true, true, tmp.path().string()),
                         task("missing", false, true, (tmp / "missing").string())},
                        fake.runner());
    std::vector<std::string> offered;
    for (const auto& a : model.actions()) offered.push_back(a.id);
    EXPECT_EQ(offered, (std::vector<std::string>{"none", "tool", "folder"}));
    EXPECT_EQ(model.selected(), (Ids{"none", "folder"}));
    model.toggle("tool");
    model.toggle("none");
    EXPECT_EQ(model.selected(), (Ids{"folder", "tool"}));
}

TEST_F(OptimizeModelTest, ASecondRunWhileOneIsUnderWayDoesNothing) {
    OptimizeModel model({task("p1", false)}, fake.runner());
    bool firstDone = false;
    cleantest::markDone(model.runSelected(), &firstDone);
    ASSERT_TRUE(model.isBusy());
    ASSERT_TRUE(drive(clocks, model.runSelected()));  // returns at once
    EXPECT_FALSE(firstDone);
    QElapsedTimer timer;
    timer.start();
    while (!firstDone && timer.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        clocks.advance(0.05);
    }
    EXPECT_TRUE(firstDone);
    EXPECT_EQ(fake.calls.size(), 1u);
}
