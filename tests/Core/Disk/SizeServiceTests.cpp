// Sharing, slots and the cache of the size service, driven by a hook that holds each
// walk at its start until the test lets it go: no test waits on time.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <algorithm>
#include <map>
#include <set>
#include <mutex>

#include "Core/Disk/SizeService.h"
#include "Support/TestTree.h"
#include "Support/WalkLatch.h"

using namespace testtree;
using Info = DiskIndex::Info;

namespace {
// Collects what the service answers, by path.
class Answers {
public:
    std::function<void(Info)> to(const std::string& path) {
        return [this, path](Info info) {
            std::lock_guard lock(mutex_);
            got_.emplace(path, info);
            changed_.notify_all();
        };
    }
    std::vector<Info> wait(const std::string& path, size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return got_.count(path) >= count; });
        std::vector<Info> out;
        for (auto [it, end] = got_.equal_range(path); it != end; ++it) out.push_back(it->second);
        return out;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::multimap<std::string, Info> got_;
};

class SizeServiceTest : public ::testing::Test {
protected:
    TempDir tmp{TempDir::inMemory};
    testsupport::WalkLatch latch;
    Answers answers;
    SizeService service{{4, 16, [this](const std::string& path) { latch.arrive(path); }}};
    ~SizeServiceTest() override { latch.releaseAll(); }  // no walk may be left held

    std::string folder(const std::string& rel, int blocks = 1) {
        const fs::path p = tmp / rel;
        writeFile(p / "data", std::string(size_t(blocks) * 4096, 'x'));
        return p.string();
    }
    Info measure(const std::string& path) {
        latch.release(path);
        service.info(path, answers.to(path));
        return answers.wait(path, 1).back();
    }
    std::vector<std::string> cachedKeys(const std::vector<std::string>& paths) {
        std::vector<std::string> out;
        const auto infos = service.cached(paths);
        for (size_t i = 0; i < paths.size(); ++i)
            if (infos[i]) out.push_back(paths[i]);
        return out;
    }
};
}  // namespace

TEST_F(SizeServiceTest, RequestsForOneFolderShareOneWalk) {
    const auto a = folder("a", 3);
    for (int i = 0; i < 10; ++i) service.info(a, answers.to(a));
    EXPECT_EQ(latch.started(1), std::vector<std::string>{a});
    latch.release(a);
    const auto got = answers.wait(a, 10);
    for (const auto& info : got) EXPECT_EQ(info, got.front());
    EXPECT_EQ(latch.started(1).size(), 1u);
    // Known now: answered at once, without a walk.
    service.info(a, answers.to(a));
    EXPECT_EQ(answers.wait(a, 11).size(), 11u);
    EXPECT_EQ(latch.started(1).size(), 1u);
}

TEST_F(SizeServiceTest, FourWalksAtOnceAndTheLastParkedGoesFirst) {
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) paths.push_back(folder("f" + std::to_string(i)));
    for (const auto& p : paths) service.info(p, answers.to(p));
    auto first = latch.started(4);
    std::sort(first.begin(), first.end());
    EXPECT_EQ(first, (std::vector<std::string>{paths[0], paths[1], paths[2], paths[3]}));

    latch.release(paths[1]);
    answers.wait(paths[1], 1);
    EXPECT_EQ(latch.started(5).back(), paths[5]);
    latch.release(paths[5]);
    answers.wait(paths[5], 1);
    EXPECT_EQ(latch.started(6).back(), paths[4]);
    for (const auto& p : paths) latch.release(p);
    for (const auto& p : paths) answers.wait(p, 1);

    // A large-file search takes a slot like a measurement.
    std::vector<std::string> held;
    for (int i = 0; i < 4; ++i) held.push_back(folder("held" + std::to_string(i)));
    for (const auto& p : held) service.info(p, answers.to(p));
    latch.started(10);
    const auto searched = folder("searched");
    latch.release(searched);
    service.largeFiles(searched, 0, 10, [](auto) {});
    latch.release(held[2]);
    answers.wait(held[2], 1);
    EXPECT_EQ(latch.started(11).back(), searched);
    for (const auto& p : held) latch.release(p);
}

// Two levels are recorded with a walk; a later walk overwrites its root, never a
// recorded folder already known.
TEST_F(SizeServiceTest, RecordedFoldersAndTheirOrder) {
    const auto a = (tmp / "a").string();
    folder("a/big", 4);
    folder("a/big/inner", 2);
    folder("a/big/inner/deeper", 1);
    folder("a/twin1", 1);
    folder("a/twin2", 1);
    const Info big = measure(a + "/big");
    writeFile(tmp / "a/big/more", std::string(8192, 'm'));
    measure(a);
    EXPECT_EQ(service.cached(a + "/big"), big);
    EXPECT_TRUE(service.cached(a + "/big/inner"));

    std::vector<std::string> order;
    for (const auto& [path, info] : service.children(a)) order.push_back(path);
    EXPECT_EQ(order, (std::vector<std::string>{a + "/big", a + "/twin1", a + "/twin2"}));
    EXPECT_TRUE(service.children(a + "/twin1").empty());
    EXPECT_TRUE(service.children(tmp / "never").empty());
}

TEST_F(SizeServiceTest, InvalidateForgetsThePathWhatIsBelowAndWhatIsAbove) {
    const auto a = (tmp / "a").string(), x = folder("x");
    folder("a/b/c/d");
    folder("a/bc");
    measure(a);
    measure(x);
    const std::vector<std::string> all = {a, a + "/b", a + "/b/c", a + "/bc", x};
    ASSERT_EQ(cachedKeys(all), all);
    EXPECT_FALSE(service.cached(a + "/b/c/d"));  // three levels down: not recorded
    service.invalidate(a + "/b");
    EXPECT_EQ(cachedKeys(all), (std::vector<std::string>{a + "/bc", x}));
    ASSERT_EQ(service.children(a).size(), 1u);
    EXPECT_EQ(service.children(a)[0].first, a + "/bc");
    service.reset();
    EXPECT_TRUE(cachedKeys(all).empty());
}

// A change names paths as its caller reached them, perhaps through a link: the cache,
// keyed by resolved paths, forgets them either way, and the listeners hear of it.
TEST_F(SizeServiceTest, ForgetTakesChangedPathsAsGivenAndThroughLinks) {
    const auto a = (tmp / "a").string();
    folder("a/b/c");
    folder("a/bc/gone/deeper");
    folder("a/x");
    fs::create_directory_symlink(tmp / "a", tmp / "via");
    const std::vector<std::string> all = {a, a + "/b", a + "/b/c", a + "/bc", a + "/bc/gone", a + "/x"};
    struct Case {
        const char* name;
        std::vector<fs::path> changed;
        std::vector<std::string> kept;
    } const cases[] = {
        {"as given", {a + "/b"}, {a + "/bc", a + "/bc/gone", a + "/x"}},
        {"through a link", {tmp / "via/b/c"}, {a + "/bc", a + "/bc/gone", a + "/x"}},
        {"beyond what exists", {tmp / "via/bc/gone/never/more"}, {a + "/b", a + "/b/c", a + "/x"}},
        {"several at once", {tmp / "via/b", a + "/x/", "relative/x"}, {a + "/bc", a + "/bc/gone"}},
    };
    std::vector<std::string> told;
    const int id = service.listen([&](const std::vector<std::string>& forgotten) { told = forgotten; });
    latch.release(a);
    size_t walks = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        service.reset();
        service.info(a, answers.to(a));
        answers.wait(a, ++walks);
        ASSERT_EQ(cachedKeys(all), all);
        service.forget(c.changed);
        EXPECT_EQ(cachedKeys(all), c.kept);
        EXPECT_TRUE(std::any_of(told.begin(), told.end(), [&](const std::string& p) { return p.rfind(a, 0) == 0; }));
    }
    service.unlisten(id);
}

// A removal names every file it moved, far down and through a link: the links on the
// way are resolved once for the folder, not once a file, and the keys above are forgotten.
TEST_F(SizeServiceTest, ForgettingManyFilesOfOneFolderResolvesItsWayOnce) {
    std::string deep = "a";
    for (int i = 0; i < 40; ++i) deep += "/d";
    folder(deep);
    fs::create_directory_symlink(tmp / "a", tmp / "via");
    const auto a = (tmp / "a").string();
    measure(a);
    ASSERT_TRUE(service.cached(a + "/d/d"));
    std::vector<fs::path> files;
    for (int i = 0; i < 20000; ++i) files.push_back(tmp / "via" / deep.substr(2) / ("f" + std::to_string(i)));
    const auto start = std::chrono::steady_clock::now();
    service.forget(files);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), 0.25);  // 0.8 s when each file was resolved
    EXPECT_TRUE(cachedKeys({a, a + "/d", a + "/d/d"}).empty());
}

// A walk that ends after its sizes were forgotten answers, but puts nothing back: a
// removed folder must not come back with its old size.
TEST_F(SizeServiceTest, AWalkOvertakenByInvalidateOrResetKeepsNothing) {
    const auto a = (tmp / "a").string();
    folder("a/b");
    folder("a/other");
    service.info(a, answers.to(a));
    latch.started(1);
    service.invalidate(a + "/b");
    latch.release(a);
    answers.wait(a, 1);
    EXPECT_TRUE(cachedKeys({a, a + "/b", a + "/other"}).empty());
    EXPECT_TRUE(service.children(a).empty());

    // After a reset a request does not join the walk from before it.
    const auto r = folder("r");
    service.info(r, answers.to(r));
    latch.started(2);
    service.reset();
    service.info(r, answers.to(r));
    EXPECT_EQ(latch.started(3), (std::vector<std::string>{a, r, r}));
    latch.release(r);
    latch.release(r);
    answers.wait(r, 2);
    EXPECT_TRUE(service.cached(r));  // the second walk started after the reset
}

TEST_F(SizeServiceTest, IdenticalSearchesShareOneWalk) {
    const auto a = folder("a", 3);
    std::mutex m;
    std::condition_variable cv;
    std::vector<DiskIndex::LargeFiles> results;
    for (int i = 0; i < 2; ++i)
        service.largeFiles(a, 4096, 5, [&](DiskIndex::LargeFiles files) {
            std::lock_guard lock(m);
            results.push_back(std::move(files));
            cv.notify_all();
        });
    service.largeFiles(a, 4096, 6, [](auto) {});  // another limit: a walk of its own
    latch.started(2);
    latch.release(a);
    latch.release(a);
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return results.size() == 2; });
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], (DiskIndex::LargeFiles{{{a + "/data", 3 * 4096}}}));
    EXPECT_EQ(latch.started(2).size(), 2u);
}
