// The Analyze tab's cost on the window's thread when "select all, Move to Trash" takes
// every row of a large folder: a folder of N small files shown and all of it chosen.
//  - forgetting: every file moved to the Trash (off the clock), then the size service
//    told on a worker, as the removal does, what its report names (each file where it
//    was and where it lies now); the window's thread's processor time until the model
//    has published its rows. Target: at most about 100 ms for 80,000 rows.
//  - the whole removal through the tab's model (the remover's own work on its worker
//    included in the wall time only): the window's thread's processor time from the
//    click until the rows are gone and the removal reported.
//
//   analyze_forget [--rounds N]     (default 3)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <time.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "BenchSupport.h"
#include "Core/Clean/CleanTypes.h"
#include "Core/Disk/SizeService.h"
#include "Models/Analyze/AnalyzeModel.h"
#include "Platform/Locations.h"

namespace {
namespace fs = std::filesystem;

using bench::threadSeconds;

// Runs the window's event loop, idle in between, until `done` holds after a change.
template <class Done>
bool waitFor(const AnalyzeModel& m, Done done, int seconds = 300) {
    if (done()) return true;
    QEventLoop loop;
    const auto check = [&] {
        if (done()) loop.quit();
    };
    for (auto signal : {&AnalyzeModel::entriesChanged, &AnalyzeModel::busyChanged, &AnalyzeModel::lastRemovalChanged,
                        &AnalyzeModel::selectionChanged})
        QObject::connect(&m, signal, &loop, check);
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

bool settled(const AnalyzeModel& m) { return !m.listing() && m.pending() == 0 && !m.removing(); }

bool showAndChooseAll(AnalyzeModel& model, const fs::path& folder, int n) {
    model.navigate(folder);
    if (!waitFor(model, [&] { return settled(model) && model.entries().size() == size_t(n); })) return false;
    AnalyzeModel::Selection all;
    for (const auto& e : model.entries()) all.insert(e.id());
    model.setSelection(std::move(all));
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
    testtree::TempDir scratch;
    const fs::path home = scratch.path() / "home";
    bench::useHome(home);
    fs::create_directories(Platform::Locations::trashFiles());
    QCoreApplication app(argc, argv);

    bool ok = true;
    AnalyzeModel model;
    for (const int n : {20000, 40000, 80000}) {
        const fs::path folder = home / ("folder-" + std::to_string(n));
        if (!bench::writeFiles(folder, n, 1)) return 1;
        std::vector<double> forgetting, whole, wholeWall;
        size_t paths = 0;
        for (int r = 0; r < rounds; ++r) {
            if (!showAndChooseAll(model, folder, n)) {
                std::printf("analyze_forget: the folder of %d files was not listed\n", n);
                return 1;
            }
            CleanReport report;
            for (const auto& e : model.entries()) {
                const fs::path from = e.url, to = Platform::Locations::trashFiles() / e.url.filename();
                if (::rename(from.c_str(), to.c_str()) != 0) return 1;
                report.removed.push_back({from, 4096, CleanCategory::userCaches, Risk::review, "", false, false,
                                          std::nullopt});
                report.inTrash.push_back({from, to});
            }
            const auto touched = report.touched();
            paths = touched.size();
            const double before = threadSeconds();
            std::thread worker([&] { model.sizes().forget(touched); });
            ok &= waitFor(model, [&] { return model.entries().empty() && model.selection().empty(); });
            forgetting.push_back(threadSeconds() - before);
            worker.join();
            for (const auto& moved : report.inTrash) ::rename(moved.to.c_str(), moved.from.c_str());

            // The same through the model, the remover moving every file.
            if (!showAndChooseAll(model, folder, n)) return 1;
            QElapsedTimer wall;
            wall.start();
            const double start = threadSeconds();
            model.trashSelected();
            ok &= waitFor(model, [&] { return model.entries().empty() && model.lastRemoval() && !model.removing(); });
            whole.push_back(threadSeconds() - start);
            wholeWall.push_back(wall.nsecsElapsed() / 1e9);
            ok &= model.lastRemoval()->removed.size() == size_t(n);
            for (const auto& moved : model.lastRemoval()->inTrash) ::rename(moved.to.c_str(), moved.from.c_str());
        }
        const double f = bench::median(forgetting);
        std::printf("analyze_forget: forgetting %d shown rows (%zu paths) costs the window's thread %.1f ms; "
                    "the whole removal %.1f ms of it (%.2f s in all) (medians of %d rounds)\n",
                    n, paths, f * 1e3, bench::median(whole) * 1e3, bench::median(wholeWall), rounds);
        if (n == 80000) ok &= f <= 0.1;
    }
    std::printf("analyze_forget: %s (target: forgetting 80,000 rows at most 100 ms)\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
