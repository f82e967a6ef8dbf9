#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Core/Clean/FileSizer.h"
#include "Core/Clean/Shell.h"
#include "Platform/PlatformTestSupport.h"
#include "Support/TestTree.h"
#include "Support/Unprivileged.h"

using namespace testtree;

namespace {
// Folders add nothing themselves; du counts their blocks too.
int64_t folderBlocks(const fs::path& root) {
    int64_t total = allocated(root);
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        if (it->is_directory() && !it->is_symlink()) total += allocated(it->path());
    return total;
}

int64_t filesAllocated(std::initializer_list<fs::path> files) {
    int64_t total = 0;
    for (const auto& f : files) total += allocated(f);
    return total;
}
}  // namespace

TEST(FileSizer, ItemsThatMeasureNothing) {
    TempDir tmp;
    writeFile(tmp / "big/a.bin", std::string(300000, 'a'));
    fs::create_symlink(tmp / "big", tmp / "link-to-big");
    fs::create_directories(tmp / "empty");
    writeFile(tmp / "empty-file", "");
    fs::create_symlink(tmp / "nowhere", tmp / "dangling");
    ASSERT_GT(FileSizer::size(tmp / "big"), 0);
    for (const char* name : {"link-to-big", "missing", "empty", "empty-file", "dangling"})
        EXPECT_EQ(FileSizer::size(tmp / name), 0) << name;
    EXPECT_EQ(FileSizer::size(""), 0);
}

TEST(FileSizer, CountsAllocatedBytesOfFilesOnly) {
    TempDir tmp;
    const fs::path root = tmp / "tree";
    writeFile(root / "a.txt", "hello");
    writeFile(root / "sub/b.bin", std::string(200000, 'b'));
    writeFile(root / ".hidden/c", std::string(5000, 'c'));
    writeFile(tmp / "outside.bin", std::string(400000, 'o'));
    // Links inside the tree count neither themselves nor their targets.
    fs::create_symlink(tmp / "outside.bin", root / "file-link");
    fs::create_symlink(tmp.path(), root / "sub/folder-link");
    // A name that is not valid UTF-8 is measured like any other.
    writeFile(root / "sub/caf\xE9\xFF.bin", std::string(70000, 'x'));
    // A file of two names in the tree is freed once.
    fs::create_hard_link(root / "sub/b.bin", root / "b-again.bin");

    const int64_t expected = filesAllocated({root / "a.txt", root / "sub/b.bin", root / ".hidden/c",
                                             root / "sub/caf\xE9\xFF.bin"});
    EXPECT_EQ(FileSizer::size(root), expected);
    EXPECT_EQ(FileSizer::size(root / "sub/b.bin"), allocated(root / "sub/b.bin"));
    EXPECT_EQ(FileSizer::size(root / "sub/caf\xE9\xFF.bin"), allocated(root / "sub/caf\xE9\xFF.bin"));
}

// Many items at once, more than walk side by side, among them what measures nothing:
// each as it measures on its own, in the order given.
TEST(FileSizer, SeveralAtOnceMeasureAsEachAlone) {
    TempDir tmp;
    std::vector<fs::path> items = {tmp / "missing", tmp / "file.bin", tmp / "link", tmp / "empty"};
    writeFile(tmp / "file.bin", std::string(9000, 'f'));
    fs::create_symlink(tmp / "file.bin", tmp / "link");
    fs::create_directories(tmp / "empty");
    for (int i = 0; i < 40; ++i) {
        const fs::path folder = tmp / ("f" + std::to_string(i));
        for (int k = 0; k <= i % 7; ++k)
            writeFile(folder / ("s" + std::to_string(k)) / "x", std::string(size_t(i * 700), 'x'));
        items.push_back(folder);
    }
    items.push_back(tmp / "f3");  // twice
    std::vector<int64_t> alone;
    for (const auto& item : items) alone.push_back(FileSizer::size(item));
    EXPECT_EQ(FileSizer::sizes(items), alone);
    EXPECT_GT(alone.back(), 0);
    EXPECT_TRUE(FileSizer::sizes({}).empty());
}

TEST(FileSizer, SparseFileMeasuresItsAllocationNotItsLength) {
    TempDir tmp;
    writeFile(tmp / "sparse", "x");
    fs::resize_file(tmp / "sparse", 64 << 20);
    EXPECT_EQ(FileSizer::size(tmp / "sparse"), allocated(tmp / "sparse"));
    EXPECT_LT(FileSizer::size(tmp / "sparse"), 1 << 20);
}

TEST(FileSizer, UnreadableSubfolderIsPassedOver) {
    if (!unprivileged::rerunAsNobody()) return;
    TempDir tmp;
    writeFile(tmp / "t/ok.bin", std::string(50000, 'k'));
    writeFile(tmp / "t/locked/x.bin", std::string(50000, 'l'));
    ::chmod((tmp / "t/locked").c_str(), 0);
    EXPECT_EQ(FileSizer::size(tmp / "t"), allocated(tmp / "t/ok.bin"));
    ::chmod((tmp / "t/locked").c_str(), 0755);
}

static int64_t duBytes(const fs::path& root) {
    const auto du = Shell::run("/usr/bin/du", {"-s", "-B1", root.string()}, 120);
    EXPECT_EQ(du.status, 0) << du.output;
    return du.status == 0 ? std::stoll(du.output) : -1;
}

// du -s -B1 counts every folder's own blocks as well; on a tree without hard links
// or symbolic links, FileSizer plus those blocks is exactly what du reports.
TEST(FileSizer, AgreesWithDuOnATreeWithoutLinks) {
    TempDir tmp;
    const fs::path root = tmp / "tree";
    for (int d = 0; d < 12; ++d) {
        const fs::path folder = root / ("d" + std::to_string(d)) / (d % 3 ? "deeper" : "");
        for (int f = 0; f < 15; ++f)
            writeFile(folder / ("f" + std::to_string(f)), std::string(size_t(f * 977 + d * 4099), 'z'));
    }
    writeFile(root / "top.bin", std::string(1 << 20, 't'));

    EXPECT_EQ(FileSizer::size(root) + folderBlocks(root), duBytes(root));
}

// Depth costs neither stack nor descriptors: the whole tree is measured under the
// common limit of 1,024 open files.
TEST(FileSizer, TreesOfAnyDepthAreMeasuredWhole) {
    for (const int depth : {3000, 100000}) {
        SCOPED_TRACE(depth);
        TempDir tmp(TempDir::inMemory);
        const platformtest::TmpfsMount own(tmp / "deep", "64m");  // where it can be had
        const auto tree = buildDeepTree(tmp / "deep", depth);
        int64_t measured = 0;
        {
            OpenFileLimit limit(1024);
            measured = FileSizer::size(tmp / "deep");
        }
        EXPECT_EQ(measured, tree.fileBytes);
        // du confirms the tree's own count once; on the deepest tree it would take seconds.
        if (depth == 3000) {
            EXPECT_EQ(measured + tree.folderBytes, duBytes(tmp / "deep"));
        }
    }
}
