// A fresh size service measuring every child of a tree's root, as the analyzer does,
// against du, gdu and ncdu on the same warm tree, taking turns. Fails when the total
// differs from du's.
//
//   size_service_vs_peers [rounds] [folder to keep the tree in between runs]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <future>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "Core/Disk/SizeService.h"

namespace fs = std::filesystem;

namespace {
constexpr int kFiles = 400000;
constexpr int kTops = 10;
constexpr int kFilesPerFolder = 14;
constexpr int kHardLinks = 1000;
constexpr int kLinks = 51;
const char* const kRecipe = "skewed-400k-v2";

// Share of the files in each top folder: top0 holds about 40 %.
constexpr double kShare[kTops] = {0.40, 0.17, 0.11, 0.08, 0.06, 0.05, 0.04, 0.04, 0.03, 0.02};

// Allocates `bytes` without writing them: the walk reads status records only.
bool allocate(int folder, const std::string& name, off_t bytes) {
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = bytes == 0 || ::posix_fallocate(fd, 0, bytes) == 0;
    ::close(fd);
    return ok;
}

// Folders of 14 files, three levels under each top folder; a few hard-linked pairs and
// links inside each top folder (so the per-child sum is du's total), and one folder of
// 6,000 names in the largest top folder.
bool buildTree(const fs::path& root) {
    std::vector<std::thread> workers;
    std::atomic<bool> ok{true};
    for (int top = 0; top < kTops; ++top) {
        workers.emplace_back([&, top] {
            std::mt19937 random(static_cast<unsigned>(top) * 7919u + 1u);
            const int files = static_cast<int>(kFiles * kShare[top]) - (top == 0 ? 6000 : 0);
            const int folders = files / kFilesPerFolder;
            const fs::path topPath = root / ("top" + std::to_string(top));
            std::vector<std::string> made;
            for (int f = 0; f < folders && ok; ++f) {
                const fs::path folder = topPath / ("a" + std::to_string(f % 17)) / ("b" + std::to_string(f % 131)) /
                                        ("c" + std::to_string(f));
                std::error_code ec;
                fs::create_directories(folder, ec);
                const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (ec || dir < 0) {
                    ok = false;
                    break;
                }
                for (int i = 0; i < kFilesPerFolder; ++i) {
                    const std::string name = "file" + std::to_string(i) + ".dat";
                    // Mostly small files, now and then a large one.
                    const off_t bytes = random() % 1000 == 0 ? off_t(random() % (4 << 20)) : off_t(random() % 12000);
                    if (!allocate(dir, name, bytes)) ok = false;
                }
                ::close(dir);
                made.push_back((folder / "file0.dat").string());
            }
            const int pairs = kHardLinks * kShare[top] + 1;
            for (int i = 0; i < pairs && i + 1 < int(made.size()); ++i)
                if (::link(made[size_t(i) * 7 % made.size()].c_str(), (topPath / ("hard" + std::to_string(i))).c_str()) != 0)
                    ok = false;
            const int links = kLinks * kShare[top] + 1;
            for (int i = 0; i < links; ++i) {
                const fs::path target = i % 2 ? topPath / "a0" : root / "nowhere";
                if (::symlink(target.c_str(), (topPath / ("link" + std::to_string(i))).c_str()) != 0) ok = false;
            }
            if (top == 0 && !bench::writeFiles(topPath / "flat", 6000, 100)) ok = false;
        });
    }
    for (auto& w : workers) w.join();
    return ok;
}

int64_t measuredByTheService(const fs::path& root) {
    SizeService service;  // fresh: nothing known yet
    std::vector<std::string> children;
    for (const auto& entry : fs::directory_iterator(root)) children.push_back(entry.path().string());
    std::vector<std::promise<DiskIndex::Info>> done(children.size());
    for (size_t i = 0; i < children.size(); ++i)
        service.info(children[i], [&done, i](DiskIndex::Info info) { done[i].set_value(info); });
    struct stat st {};
    ::lstat(root.c_str(), &st);
    int64_t total = static_cast<int64_t>(st.st_blocks) * 512;
    for (auto& d : done) total += d.get_future().get().size;
    return total;
}

double timeOf(const std::string& command) {
    return bench::secondsOf([&] { Shell::run("/bin/sh", {"-c", command + " >/dev/null 2>&1"}, 600); });
}
}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::optional<testtree::TempDir> scratch;
    fs::path tree;
    if (argc > 2) {
        tree = argv[2];
    } else {
        scratch.emplace();
        tree = scratch->path() / "tree";
    }
    const fs::path stamp = tree.parent_path() / (tree.filename().string() + ".recipe");
    if (testtree::readFile(stamp) != kRecipe) {
        std::printf("building %d files under %s\n", kFiles, tree.c_str());
        std::error_code ec;
        fs::remove_all(tree, ec);
        if (!buildTree(tree)) {
            std::fprintf(stderr, "cannot build the tree\n");
            return 1;
        }
        testtree::writeFile(stamp, kRecipe);
    }
    const std::string quoted = testtree::shellQuoted(tree.string());
    const std::string du = "/usr/bin/du -sx -B1 " + quoted;
    const std::string gdu = "/usr/bin/gdu -n -x -s -p --no-prefix " + quoted;
    const std::string ncdu = "/usr/bin/ncdu -x -0 -o /dev/null " + quoted;

    // Warm every cache once, and check the totals.
    int64_t ours = measuredByTheService(tree);
    const auto duRun = Shell::run("/bin/sh", {"-c", du}, 600);
    if (duRun.status != 0) {
        std::fprintf(stderr, "du failed: %s\n", duRun.output.c_str());
        return 1;
    }
    const int64_t duBytes = std::stoll(duRun.output);
    timeOf(gdu);
    timeOf(ncdu);

    std::vector<double> oursTimes, duTimes, gduTimes, ncduTimes;
    for (int i = 0; i < rounds; ++i) {
        // Each takes its turn at going first.
        std::vector<std::function<void()>> runs = {
            [&] { oursTimes.push_back(bench::secondsOf([&] { ours = measuredByTheService(tree); })); },
            [&] { duTimes.push_back(timeOf(du)); },
            [&] { gduTimes.push_back(timeOf(gdu)); },
            [&] { ncduTimes.push_back(timeOf(ncdu)); },
        };
        for (size_t k = 0; k < runs.size(); ++k) runs[(k + size_t(i)) % runs.size()]();
    }
    const double a = bench::median(oursTimes), d = bench::median(duTimes), g = bench::median(gduTimes),
                 n = bench::median(ncduTimes);
    std::printf("tree: %d files, hard links and symbolic links, skewed (%s), warm cache, %d rounds\n", kFiles,
                tree.c_str(), rounds);
    std::printf("SizeService (every child of the root): %.1f ms, %lld bytes\n", a * 1000, static_cast<long long>(ours));
    std::printf("du -sx -B1: %.1f ms, %lld bytes\n", d * 1000, static_cast<long long>(duBytes));
    std::printf("gdu -n -x -s -p: %.1f ms\n", g * 1000);
    std::printf("ncdu -x -0 -o /dev/null: %.1f ms\n", n * 1000);
    std::printf("SizeService/du = %.2f\n", d > 0 ? a / d : 0.0);
    std::printf("SizeService/gdu = %.2f\n", g > 0 ? a / g : 0.0);
    std::printf("SizeService/ncdu = %.2f\n", n > 0 ? a / n : 0.0);
    if (ours != duBytes) {
        std::fprintf(stderr, "total %lld differs from du's %lld\n", static_cast<long long>(ours),
                     static_cast<long long>(duBytes));
        return 1;
    }
    return 0;
}
