// A fresh size service measuring every child of a tree's root, as the analyzer does,
// against du, gdu and ncdu on the same warm trees, taking turns: wall time and processor
// time (user + system) of each. Two trees: a broad one (a copy of /usr/share and
// /usr/lib, many small folders) and a skewed one (one top folder holds 40 % of 400,000
// files). Both are made once and kept. Fails when a total differs from du's.
//
//   size_service_vs_peers [rounds] [folder the trees are kept in] [broad|skewed]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <future>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "PeerMonitors.h"
#include "Core/Disk/SizeService.h"

namespace fs = std::filesystem;

namespace {
constexpr int kFiles = 400000;
constexpr int kTops = 10;
constexpr int kFilesPerFolder = 14;
constexpr int kHardLinks = 1000;
constexpr int kLinks = 51;
const char* const kSkewedRecipe = "skewed-400k-v2";
const char* const kBroadRecipe = "broad-usr-share-lib-v1";
const char* const kKeptIn = "/var/tmp/quelto-bench";

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
bool buildSkewed(const fs::path& root) {
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

// The system's own folders, copied as they are: the shape of most real disks.
bool buildBroad(const fs::path& root) {
    std::error_code ec;
    fs::create_directories(root, ec);
    for (const char* from : {"/usr/share", "/usr/lib"}) {
        const auto copy = Shell::run("/bin/cp", {"-a", from, (root / fs::path(from).filename()).string()}, 3600);
        if (copy.status != 0) {
            std::fprintf(stderr, "cp -a %s: %s\n", from, copy.output.c_str());
            return false;
        }
    }
    return true;
}

// Makes the tree unless the stamp beside it says it is already there.
bool ensure(const fs::path& tree, const char* recipe, bool (*build)(const fs::path&)) {
    const fs::path stamp = tree.parent_path() / (tree.filename().string() + ".recipe");
    if (testtree::readFile(stamp) == recipe) return true;
    std::printf("building %s (kept for later runs)\n", tree.c_str());
    std::fflush(stdout);
    std::error_code ec;
    fs::remove_all(tree, ec);
    fs::remove(stamp, ec);
    if (!build(tree)) return false;
    testtree::writeFile(stamp, recipe);
    return true;
}

struct Times {
    std::vector<double> wall, cpu;
};

// Runs `work`, adding its wall time and the processor time `cpu` counts (this process's,
// or that of the children it waited for) to `times`.
void timed(Times& times, double (*cpu)(), const std::function<void()>& work) {
    const double before = cpu();
    times.wall.push_back(bench::secondsOf(work));
    times.cpu.push_back(cpu() - before);
}

DiskIndex::Info measuredByTheService(const fs::path& root) {
    SizeService service;  // fresh: nothing known yet
    std::vector<std::string> children;
    for (const auto& entry : fs::directory_iterator(root)) children.push_back(entry.path().string());
    std::vector<std::promise<DiskIndex::Info>> done(children.size());
    for (size_t i = 0; i < children.size(); ++i)
        service.info(children[i], [&done, i](DiskIndex::Info info) { done[i].set_value(info); });
    struct stat st {};
    ::lstat(root.c_str(), &st);
    DiskIndex::Info total{static_cast<int64_t>(st.st_blocks) * 512, 0};
    for (auto& d : done) {
        const auto info = d.get_future().get();
        total.size += info.size;
        total.files += info.files;
    }
    return total;
}

struct Peer {
    const char* name;
    std::string program;
    std::vector<std::string> arguments;
};

// One tree: every tool once to warm the caches and check the total, then `rounds`
// rounds in which each takes its turn at going first. False when the totals differ.
bool compare(const char* label, const fs::path& tree, int rounds) {
    const std::string at = tree.string();
    const std::vector<Peer> peers = {
        {"du", "/usr/bin/du", {"-sx", "-B1", at}},
        {"gdu", "/usr/bin/gdu", {"-n", "-x", "-s", "-p", "--no-prefix", at}},
        {"ncdu", "/usr/bin/ncdu", {"-x", "-0", "-o", "/dev/null", at}},
    };
    DiskIndex::Info ours = measuredByTheService(tree);
    const auto duRun = Shell::run(peers[0].program, peers[0].arguments, 600);
    if (duRun.status != 0) {
        std::fprintf(stderr, "du failed on %s: %s\n", at.c_str(), duRun.output.c_str());
        return false;
    }
    const int64_t duBytes = std::stoll(duRun.output);
    for (size_t p = 1; p < peers.size(); ++p) Shell::run(peers[p].program, peers[p].arguments, 600);

    Times oursTimes;
    std::vector<Times> peerTimes(peers.size());
    for (int i = 0; i < rounds; ++i) {
        const size_t turns = peers.size() + 1;
        for (size_t k = 0; k < turns; ++k) {
            const size_t who = (k + size_t(i)) % turns;
            if (who == 0) {
                timed(oursTimes, bench::selfCpu, [&] { ours = measuredByTheService(tree); });
            } else {
                const Peer& peer = peers[who - 1];
                timed(peerTimes[who - 1], bench::childrenCpu, [&] { Shell::run(peer.program, peer.arguments, 600); });
            }
        }
    }
    const double oursWall = bench::median(oursTimes.wall), oursCpu = bench::median(oursTimes.cpu);
    std::printf("%s tree %s: %lld bytes (du: %lld), %lld files, warm, %d rounds\n", label, at.c_str(),
                static_cast<long long>(ours.size), static_cast<long long>(duBytes), static_cast<long long>(ours.files),
                rounds);
    for (size_t p = 0; p < peers.size(); ++p) {
        const double wall = bench::median(peerTimes[p].wall), cpu = bench::median(peerTimes[p].cpu);
        std::printf("%-6s wall service/%-4s = %.2f  (%.1f ms vs %.1f ms)\n", label, peers[p].name,
                    wall > 0 ? oursWall / wall : 0.0, oursWall * 1000, wall * 1000);
        std::printf("%-6s cpu  service/%-4s = %.2f  (%.1f ms vs %.1f ms)\n", label, peers[p].name,
                    cpu > 0 ? oursCpu / cpu : 0.0, oursCpu * 1000, cpu * 1000);
    }
    std::fflush(stdout);
    if (ours.size != duBytes) {
        std::fprintf(stderr, "%s: total %lld differs from du's %lld\n", label, static_cast<long long>(ours.size),
                     static_cast<long long>(duBytes));
        return false;
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const fs::path keep = argc > 2 ? fs::path(argv[2]) : fs::path(kKeptIn);
    const std::string only = argc > 3 ? argv[3] : "";
    bool ok = true;
    if (only.empty() || only == "broad") {
        const fs::path broad = keep / "broad";
        ok = ensure(broad, kBroadRecipe, buildBroad) && compare("broad", broad, rounds) && ok;
    }
    if (only.empty() || only == "skewed") {
        const fs::path skewed = keep / "skewed";
        ok = ensure(skewed, kSkewedRecipe, buildSkewed) && compare("skewed", skewed, rounds) && ok;
    }
    return ok ? 0 : 1;
}
