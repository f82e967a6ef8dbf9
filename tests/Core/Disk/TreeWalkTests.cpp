#include <gtest/gtest.h>
#include <unistd.h>

#include <future>

#include "Core/Disk/TreeWalk.h"
#include "Support/TestTree.h"

using namespace testtree;

namespace {
// A tree with a folder of many names (its listing spans several reads), hard links
// inside one folder and across folders, and links that must not be followed.
fs::path buildMixedTree(const TempDir& tmp) {
    const fs::path root = tmp / "tree";
    for (int d = 0; d < 6; ++d)
        for (int f = 0; f < 20; ++f)
            writeFile(root / ("d" + std::to_string(d)) / ("s" + std::to_string(f % 3)) / ("f" + std::to_string(f)),
                      std::string(size_t(f * 1000 + d), 'x'));
    for (int i = 0; i < 5000; ++i) writeFile(root / "flat" / ("entry-with-a-long-name-" + std::to_string(i)), "y");
    writeFile(root / "d0/s0/big", std::string(300000, 'b'));
    ::link((root / "d0/s0/big").c_str(), (root / "d0/s0/big-again").c_str());
    ::link((root / "d0/s0/big").c_str(), (root / "d5/s1/big-elsewhere").c_str());
    fs::create_directory_symlink(tmp.path(), root / "d1/up");
    return root;
}
}  // namespace

// Spread over threads, a walk gives exactly what it gives on one thread.
TEST(TreeWalk, APoolGivesWhatOneThreadGives) {
    TempDir tmp(TempDir::inMemory);
    const fs::path root = buildMixedTree(tmp);
    TreeWalk::Options options;
    options.folderBlocks = options.linksAsFiles = options.hardLinksOnce = options.oneDevice = true;
    options.recordDepth = 2;
    options.largeMinimum = 10000;
    const auto serial = TreeWalk::run(root, options);

    TreeWalk::Pool pool(8);
    for (int round = 0; round < 5; ++round) {
        std::promise<TreeWalk::Result> promise;
        pool.start(root, options, [&](TreeWalk::Result r) { promise.set_value(std::move(r)); });
        const auto pooled = promise.get_future().get();
        EXPECT_EQ(pooled.root, serial.root);
        EXPECT_EQ(pooled.recorded, serial.recorded);
        EXPECT_EQ(pooled.large, serial.large);
        EXPECT_TRUE(pooled.complete);
    }
    EXPECT_GT(serial.root.files, 5000);
}

// Callers that wait for their walk take part in it, several at once, beside a walk of
// the pool's own: each gets the serial walk's totals.
TEST(TreeWalk, CallersWalkingAlongWithThePoolGetWhatOneThreadGets) {
    TempDir tmp(TempDir::inMemory);
    const fs::path root = buildMixedTree(tmp);
    TreeWalk::Options options;
    options.hardLinksOnce = true;
    const auto serial = TreeWalk::run(root, options);
    const auto file = TreeWalk::run(root / "d0/s0/big", options);

    TreeWalk::Pool pool(4);
    std::promise<TreeWalk::Result> own;
    pool.start(root, options, [&](TreeWalk::Result r) { own.set_value(std::move(r)); });
    std::vector<std::future<TreeWalk::Result>> callers;
    for (int i = 0; i < 6; ++i)
        callers.push_back(std::async(std::launch::async, [&, i] {
            return pool.walk(i % 3 ? root : root / "d0/s0/big", options);
        }));
    for (size_t i = 0; i < callers.size(); ++i) EXPECT_EQ(callers[i].get().root, i % 3 ? serial.root : file.root) << i;
    EXPECT_EQ(own.get_future().get().root, serial.root);
}

// Chains deep enough that their folders waiting for a sibling outnumber the descriptors
// a walk keeps: several threads close and reopen folders at once, under a low limit of
// open files, and still give the serial walk's totals.
TEST(TreeWalk, APoolReopensFoldersWithinFewDescriptors) {
    TempDir tmp(TempDir::inMemory);
    const fs::path root = tmp / "chains";
    for (int c = 0; c < 8; ++c) buildDeepTree(root / ("c" + std::to_string(c)), 1500);
    TreeWalk::Options options;
    options.folderBlocks = options.linksAsFiles = options.hardLinksOnce = options.oneDevice = true;
    options.recordDepth = 2;
    const auto serial = TreeWalk::run(root, options);

    OpenFileLimit limit(200);
    TreeWalk::Pool pool(8);
    for (int round = 0; round < 3; ++round) {
        std::promise<TreeWalk::Result> promise;
        pool.start(root, options, [&](TreeWalk::Result r) { promise.set_value(std::move(r)); });
        const auto pooled = promise.get_future().get();
        EXPECT_EQ(pooled.root, serial.root);
        EXPECT_EQ(pooled.recorded, serial.recorded);
    }
}

// Asked for from inside a walk on the pool's only thread, walks of one tree and of many
// still end, each with the serial walk's totals, in the order asked.
TEST(TreeWalk, WalksAskedForOnAPoolThreadEnd) {
    TempDir tmp(TempDir::inMemory);
    const fs::path root = buildMixedTree(tmp);
    TreeWalk::Options options;
    options.hardLinksOnce = true;
    const std::vector<std::string> paths = {root / "d0", (tmp / "missing").string(), root / "d0/s0/big", root};
    std::vector<TreeWalk::Totals> serial;
    for (const auto& p : paths) serial.push_back(TreeWalk::run(p, options).root);

    auto* pool = new TreeWalk::Pool(1);  // left behind, not joined, should a walk hang
    std::promise<std::vector<TreeWalk::Totals>> promise;
    pool->start(root / "d1", options, [&](TreeWalk::Result) {
        std::vector<TreeWalk::Totals> got;
        for (const auto& r : pool->walkAll(paths, options)) got.push_back(r.root);
        got.push_back(pool->walk(root, options).root);
        promise.set_value(std::move(got));
    });
    auto future = promise.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    serial.push_back(serial.back());
    EXPECT_EQ(future.get(), serial);
    delete pool;
}
