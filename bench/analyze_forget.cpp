// The Analyze tab's main-thread cost of "select all, Move to Trash" in a large folder,
// past the removal itself: a folder of N small files shown and all of it chosen, every
// file moved to the Trash (off the clock), then the size service told what such a
// removal's report names (each file where it was and where it lies now) on the main
// thread, as the tab does. Timed from that call until the model has published its rows,
// split into the service's own forgetting and the model's reaction. Target: the whole
// at most about 100 ms for 80,000 rows.
//
//   analyze_forget [--rounds N]     (default 3)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>
#include <cstring>

#include "BenchSupport.h"
#include "Core/Clean/CleanTypes.h"
#include "Core/Disk/SizeService.h"
#include "Models/Analyze/AnalyzeModel.h"
#include "Platform/Locations.h"

namespace {
namespace fs = std::filesystem;

template <class Done>
bool until(Done done, double seconds = 120) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < seconds * 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

bool settled(const AnalyzeModel& m) { return !m.listing() && m.pending() == 0 && !m.removing(); }

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

    SizeService sizes;
    // Listened to before the model: told first, when the service's own part is done.
    QElapsedTimer clock;
    double told = 0;
    const int listener = sizes.listen([&](const std::vector<std::string>&) { told = clock.nsecsElapsed() / 1e9; });
    bool ok = true;
    {
        AnalyzeModel model(sizes);
        for (const int n : {20000, 40000, 80000}) {
            const fs::path folder = home / ("folder-" + std::to_string(n));
            if (!bench::writeFiles(folder, n, 1)) return 1;
            std::vector<double> whole, service;
            size_t paths = 0;
            for (int r = 0; r < rounds; ++r) {
                model.navigate(folder);
                if (!until([&] { return settled(model) && model.entries().size() == size_t(n); })) {
                    std::printf("analyze_forget: the folder of %d files was not listed\n", n);
                    return 1;
                }
                AnalyzeModel::Selection all;
                for (const auto& e : model.entries()) all.insert(e.id());
                model.setSelection(std::move(all));
                CleanReport report;
                for (const auto& e : model.entries()) {
                    const fs::path to = Platform::Locations::trashFiles() / e.url.filename();
                    if (::rename(e.url.c_str(), to.c_str()) != 0) return 1;
                    report.removed.push_back({e.url, 4096, CleanCategory::userCaches, Risk::review, "", false, false, std::nullopt});
                    report.inTrash.push_back({e.url, to});
                }
                const auto touched = report.touched();
                paths = touched.size();
                clock.start();
                sizes.forget(touched);
                const bool gone = until([&] { return model.entries().empty() && model.selection().empty(); });
                whole.push_back(clock.nsecsElapsed() / 1e9);
                service.push_back(told);
                ok &= gone;
                for (const auto& moved : report.inTrash) ::rename(moved.to.c_str(), moved.from.c_str());
            }
            const double w = bench::median(whole), s = bench::median(service);
            std::printf("analyze_forget: forgetting %d shown rows (%zu paths) takes %.1f ms on the main thread: "
                        "the size service %.1f ms, the model %.1f ms (medians of %d rounds)\n",
                        n, paths, w * 1e3, s * 1e3, (w - s) * 1e3, rounds);
            if (n == 80000) ok &= w <= 0.1;
        }
    }
    sizes.unlisten(listener);
    std::printf("analyze_forget: %s (target: at most 100 ms for 80,000 rows)\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
