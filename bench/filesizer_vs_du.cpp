// Our allocated-size measure against du and gdu on the same warm tree, taking turns.
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
    bench::settle(tree);

    int64_t ours = 0;
    Shell::Result du, gdu;
    auto runOurs = [&] { ours = FileSizer::size(tree); };
    auto runDu = [&] { du = bench::du(tree); };
    auto runGdu = [&] { gdu = bench::gdu(tree); };
    // Warm the caches once for all.
    runOurs();
    runDu();
    runGdu();
    if (du.status != 0 || gdu.status != 0) {
        std::fprintf(stderr, "du or gdu failed: %s%s\n", du.output.c_str(), gdu.output.c_str());
        return 1;
    }

    const auto t = bench::inTurns(rounds, {runOurs, runDu, runGdu});
    std::printf("FileSizer: %.1f ms (%lld bytes in files)\n", t[0] * 1000, static_cast<long long>(ours));
    std::printf("du -s -B1: %.1f ms (%lld bytes, folders included)\n", t[1] * 1000, std::stoll(du.output));
    std::printf("gdu: %.1f ms\n", t[2] * 1000);
    std::printf("FileSizer/du = %.2f, FileSizer/gdu = %.2f (load average %s)\n", t[1] > 0 ? t[0] / t[1] : 0.0,
                t[2] > 0 ? t[0] / t[2] : 0.0, bench::loadAverage().c_str());
    return 0;
}
