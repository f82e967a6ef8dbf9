// Our allocated-size walk against du on the same warm tree, alternating runs.
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Core/Clean/FileSizer.h"

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    constexpr int kFolders = 2000, kFilesPerFolder = 100;

    testtree::TempDir scratch;
    const auto tree = scratch.path() / "tree";
    std::printf("building %d files in %d folders under %s\n", kFolders * kFilesPerFolder, kFolders,
                tree.c_str());
    if (!bench::buildTree(tree, kFolders, kFilesPerFolder)) {
        std::fprintf(stderr, "cannot build the tree\n");
        return 1;
    }

    int64_t ours = 0;
    Shell::Result du;
    auto runOurs = [&] { ours = FileSizer::size(tree); };
    auto runDu = [&] { du = bench::du(tree); };
    // Warm the caches once for both.
    runOurs();
    runDu();
    if (du.status != 0) {
        std::fprintf(stderr, "du failed: %s\n", du.output.c_str());
        return 1;
    }

    const auto [a, b] = bench::alternately(rounds, runOurs, runDu);
    std::printf("FileSizer: %.1f ms (%lld bytes in files)\n", a * 1000, static_cast<long long>(ours));
    std::printf("du -s -B1: %.1f ms (%lld bytes, folders included)\n", b * 1000,
                std::stoll(du.output));
    std::printf("FileSizer/du = %.2f\n", b > 0 ? a / b : 0.0);
    return 0;
}
