// A clean of 20,000 small files through a cleaning list against the remover called
// directly on an identical tree and against rm -rf of one, in the same run. The
// list's worker time is from the clean's start until its report reaches the main
// thread; alongside it, the progress hand-overs the main thread received and the
// longest the main thread went without running its 1 ms timer.
//
//   clean_list_vs_remover [rounds]     (default 5)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "BenchSupport.h"
#include "Core/Clean/Cleaner.h"
#include "Core/Clean/FileSizer.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Settings/Preferences.h"

namespace {
constexpr int kFolders = 200, kFilesPerFolder = 100;

std::vector<CleanItem> findings(const bench::fs::path& tree) {
    std::vector<CleanItem> items;
    for (const auto& entry : bench::fs::recursive_directory_iterator(tree))
        if (entry.is_regular_file())
            items.push_back({entry.path(), FileSizer::size(entry.path()), CleanCategory::userCaches, Risk::safe,
                             "bench", false, false, std::nullopt});
    return items;
}

// Counts the queued calls the main thread runs for the application object: the
// progress hand-overs of a clean.
struct HandOvers : QObject {
    int count = 0;
    bool eventFilter(QObject* target, QEvent* event) override {
        if (target == QCoreApplication::instance() && event->type() == QEvent::MetaCall) ++count;
        return false;
    }
};

struct ListRun {
    double worker = 0;     // seconds
    double wholeRun = 0;   // seconds, with the feed's flight
    double longestGap = 0; // seconds the main thread did not get to its timer
    int handOvers = 0;
    size_t removed = 0;
};

ListRun cleanThroughList(const std::vector<CleanItem>& items) {
    CleanListModel list("clean", [items](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> { co_return items; });
    bool scanned = false;
    [](CleanListModel* l, bool* done) -> QCoro::Task<> {
        co_await l->scan();
        *done = true;
    }(&list, &scanned);
    while (!scanned) QCoreApplication::processEvents();

    HandOvers handOvers;
    QCoreApplication::instance()->installEventFilter(&handOvers);
    ListRun run;
    QElapsedTimer clock, gap;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        run.longestGap = std::max(run.longestGap, gap.nsecsElapsed() / 1e9);
        gap.restart();
        if (run.worker == 0 && list.feed() && list.feed()->finished()) run.worker = clock.nsecsElapsed() / 1e9;
    });
    bool done = false;
    clock.start();
    gap.start();
    tick.start();
    [](CleanListModel* l, bool* done) -> QCoro::Task<> {
        co_await l->clean();
        *done = true;
    }(&list, &done);
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // The work after the last tick (dropping what was removed) counts too.
    run.longestGap = std::max(run.longestGap, gap.nsecsElapsed() / 1e9);
    run.wholeRun = clock.nsecsElapsed() / 1e9;
    tick.stop();
    QCoreApplication::instance()->removeEventFilter(&handOvers);
    run.handOvers = handOvers.count;
    run.removed = list.phase().report.removed.size();
    return run;
}
}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    testtree::TempDir scratch;
    const auto home = scratch.path() / "home";
    bench::fs::create_directories(home / "Library/Caches");
    bench::useHome(home);
    QCoreApplication app(argc, argv);
    Preferences::shared().setSounds(false);

    std::vector<double> listTimes, directTimes, rmTimes, gaps, wholeRuns;
    std::vector<int> handOvers;
    int round = 0;
    const auto fresh = [&](const char* who) {
        const auto tree = home / "Library/Caches" / (std::string(who) + std::to_string(round));
        if (!bench::buildTree(tree, kFolders, kFilesPerFolder)) {
            std::fprintf(stderr, "cannot build %s\n", tree.c_str());
            std::exit(1);
        }
        ::sync();
        return tree;
    };
    const auto viaList = [&] {
        const auto items = findings(fresh("list"));
        const ListRun run = cleanThroughList(items);
        if (run.removed != items.size()) std::fprintf(stderr, "the list removed %zu of %zu\n", run.removed, items.size());
        listTimes.push_back(run.worker);
        wholeRuns.push_back(run.wholeRun);
        gaps.push_back(run.longestGap);
        handOvers.push_back(run.handOvers);
    };
    const auto direct = [&] {
        const auto items = findings(fresh("direct"));
        const auto safety = Preferences::shared().safetyGuard();
        directTimes.push_back(bench::secondsOf([&] {
            const auto report = Cleaner().clean(items, "clean", safety, false, false, [](double) {});
            if (report.removed.size() != items.size()) std::fprintf(stderr, "the remover removed too little\n");
        }));
    };
    const auto rm = [&] {
        const auto tree = fresh("rm");
        rmTimes.push_back(bench::secondsOf([&] { Shell::run("/bin/rm", {"-rf", tree.string()}, 600); }));
    };
    for (round = 0; round < rounds; ++round) {
        // Each goes first in turn, so none always runs right after a tree was written.
        if (round % 3 == 0) viaList(), direct(), rm();
        else if (round % 3 == 1) direct(), rm(), viaList();
        else rm(), viaList(), direct();
    }

    const double list = bench::median(listTimes), remover = bench::median(directTimes), rmrf = bench::median(rmTimes);
    std::printf("tree: %d files in %d folders, %d rounds (medians)\n", kFolders * kFilesPerFolder, kFolders, rounds);
    std::printf("list worker: %.1f ms (whole run with the feed's flight %.1f ms)\n", list * 1000,
                bench::median(wholeRuns) * 1000);
    std::printf("Cleaner::clean: %.1f ms\n", remover * 1000);
    std::printf("rm -rf: %.1f ms\n", rmrf * 1000);
    std::printf("list/Cleaner = %.2f\n", remover > 0 ? list / remover : 0.0);
    std::printf("list/rm -rf = %.2f\n", rmrf > 0 ? list / rmrf : 0.0);
    std::printf("progress hand-overs per clean: max %d\n", *std::max_element(handOvers.begin(), handOvers.end()));
    std::printf("longest main-thread gap: %.1f ms\n", *std::max_element(gaps.begin(), gaps.end()) * 1000);
    return 0;
}
