#include "Models/Status/OptimizeModel.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>

#include "Core/Clean/History.h"
#include "Core/Disk/SizeService.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Clean/Shockwave.h"
#include "Support/TestTree.h"

using cleantest::drive;
using Action = OptimizeModel::Action;
using Outcome = OptimizeModel::Outcome;
using Ids = OptimizeModel::Ids;

namespace {
Action task(const std::string& id, bool admin) { return {id, "Task " + id, "detail", "true", admin, {}, true}; }

// Runs nothing: answers as told and remembers what it was asked, in order.
struct FakeRunner {
    std::set<std::string> failing;
    std::set<std::string> unreported;  // administrator ids the batch says nothing of
    std::mutex lock;
    std::vector<std::vector<std::string>> calls;

    OptimizeModel::Runner runner() {
        const auto batch = [this](const std::vector<Action>& list) {
            std::lock_guard g(lock);
            calls.emplace_back();
            std::vector<Outcome> out;
            for (const auto& a : list) {
                calls.back().push_back(a.id);
                if (!unreported.count(a.id)) out.push_back({a, !failing.count(a.id), "ran " + a.id});
            }
            return out;
        };
        return {[batch](const Action& a) { return batch({a}).at(0); }, batch};
    }
};

struct OptimizeModelTest : ::testing::Test {
    testtree::TempDir tmp;
    testtree::ScopedEnv data{"XDG_DATA_HOME", (tmp / "data").string()};
    steppedtime::Clocks clocks;
    cleantest::FakeAudio audio;
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
    // What runs, how many of the feed's icons the run had got through, and whether it
    // counts as busy, as each step starts.
    std::vector<std::tuple<Ids, int, bool>> steps;
    QObject::connect(&model, &OptimizeModel::runningChanged, [&] {
        steps.emplace_back(model.running(), model.feed() ? model.feed()->reachedCount() : -1, model.isBusy());
    });
    model.setSelected({"a1", "p1", "p2", "a2", "p3", "a3", "not-offered"});

    ASSERT_TRUE(drive(clocks, model.runSelected()));
    // Each task stands for two icons (its owner and a folder), so 12 in all: 1/6 of the
    // run per plain task, the rest when the batch returns; busy while the icons still land.
    const std::vector<std::tuple<Ids, int, bool>> expected = {
        {{"p1"}, 0, true}, {{"p2"}, 2, true}, {{"p3"}, 4, true}, {{"a1", "a2", "a3"}, 6, true}, {{}, 12, true}};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(fake.calls, (std::vector<std::vector<std::string>>{{"p1"}, {"p2"}, {"p3"}, {"a1", "a2", "a3"}}));

    std::map<std::string, bool> results;
    for (const auto& [id, o] : model.outcomes()) results[id] = o.ok;
    EXPECT_EQ(results, (std::map<std::string, bool>{{"p1", true}, {"p2", false}, {"p3", true}, {"a1", true}, {"a2", false}}));
    EXPECT_FALSE(model.isBusy());
    EXPECT_GT(model.grown(), 0.9);

    // The successes, in the order they ran.
    const auto history = History::entries();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(std::tuple(history[0].action, history[0].count, history[0].bytes), std::tuple(std::string("optimize"), 3, 0));
    EXPECT_EQ(history[0].paths, (std::vector<std::string>{"Task p1", "Task p3", "Task a1"}));
    EXPECT_EQ(audio.played.size(), 1u);
    EXPECT_DOUBLE_EQ(Shockwave::shared().strength(), OptimizeModel::whoompStrength);
}

TEST_F(OptimizeModelTest, ARunWithoutASuccessIsNeitherHeardNorRecorded) {
    OptimizeModel model({task("p1", false), task("a1", true)}, fake.runner());
    fake.failing = {"p1", "a1"};
    ASSERT_TRUE(drive(clocks, model.runSelected()));
    EXPECT_EQ(fake.calls.size(), 2u);
    EXPECT_TRUE(audio.played.empty());
    EXPECT_TRUE(History::entries().empty());
}

// Measured before the run, a task's folders (and what holds them) are measured afresh
// after it, failed or not; a folder no task names keeps its size.
TEST_F(OptimizeModelTest, TheFoldersATaskChangesLoseTheSizesMeasuredBefore) {
    const std::filesystem::path thumbs = tmp / "cache/thumbnails", other = tmp / "other";
    testtree::writeFile(thumbs / "a.png", std::string(4096, 'x'));
    testtree::writeFile(other / "b", "b");
    SizeService& sizes = SizeService::shared();
    for (const auto& folder : {thumbs, other}) {
        std::promise<void> measured;
        sizes.info(folder.native(), [&](SizeService::Info) { measured.set_value(); });
        measured.get_future().wait();
    }
    Action plain = task("p1", false), admin = task("a1", true);
    plain.changes = {thumbs};
    admin.changes = {tmp / "cache"};
    fake.failing = {"a1"};
    OptimizeModel model({plain, admin}, fake.runner());
    ASSERT_TRUE(drive(clocks, model.runSelected()));
    EXPECT_FALSE(sizes.cached(thumbs.native()));
    EXPECT_FALSE(sizes.cached((tmp / "cache").native()));
    EXPECT_TRUE(sizes.cached(other.native()));
}

TEST_F(OptimizeModelTest, ASecondRunWhileOneIsUnderWayDoesNothing) {
    OptimizeModel model({task("p1", false)}, fake.runner());
    QCoro::Task<> first = model.runSelected();
    ASSERT_TRUE(model.isBusy());
    ASSERT_TRUE(drive(clocks, model.runSelected()));  // returns at once
    EXPECT_TRUE(model.isBusy());
    ASSERT_TRUE(drive(clocks, std::move(first)));
    EXPECT_EQ(fake.calls.size(), 1u);
}

// Owners are looked up together: each task still gets the first of its owners that is
// installed, and this application's own icon when none is.
TEST_F(OptimizeModelTest, EachTaskShowsItsFirstInstalledOwner) {
    using Platform::IconRef;
    testtree::ScopedEnv dirs("XDG_DATA_DIRS", (tmp / "none").string());
    const auto apps = tmp / "data/applications";
    for (const char* id : {"org.gnome.Terminal", "com.apple.dt.Xcode", "org.kde.konsole"})
        testtree::writeFile(apps / (std::string(id) + ".desktop"), "[Desktop Entry]\nType=Application\nName=x\n");
    const auto app = [&](const char* id) { return IconRef::application(apps / (std::string(id) + ".desktop")); };
    const auto type = [](const char* t) { return IconRef::ofType(t); };
    const std::vector<IconRef> expected = {
        app("org.gnome.Terminal"), type("tar"), type("gz"), type("folder"),                       // docker
        app("com.apple.dt.Xcode"), app("com.apple.dt.Xcode"), type("folder"), type("folder"),  // simulators
        IconRef::thisApplication(), type("eml"), type("eml"),                                  // mail
    };
    EXPECT_EQ(OptimizeModel::icons({task("docker", false), task("simulators", false), task("mail", false)}), expected);
}
