// The Analyze tab's cost, in one run:
//  - a folder of 10,000 entries listed and painted against one of 100: listing reads
//    every entry, so it grows with them; the table draws only the rows on screen, so a
//    repaint of the table, scrolled or not, costs about the same for both;
//  - the main window idle on the Analyze tab, the orbit chart at rest over a measured
//    home folder: processor share of one core (target below 3 %), and no frames while
//    the window is hidden.
//
//   analyze_view [--rounds N] [--seconds S]     (defaults 20 and 10)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>

#include <cstdio>
#include <cstring>
#include <functional>

#include "Models/Analyze/AnalyzeModel.h"
#include "Models/Kit/MotionPause.h"
#include "Models/Kit/PacedSchedule.h"
#include "Models/Settings/Preferences.h"
#include "Models/Window/AppState.h"
#include "Views/Analyze/AnalyzeView.h"
#include "Views/Analyze/DetailTable.h"
#include "Views/Kit/Theme.h"
#include "Views/Window/MainWindow.h"
#include "BenchSupport.h"
#include "IdleMeasure.h"

namespace {
namespace fs = std::filesystem;

template <class Done>
bool until(Done done, double seconds = 60) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < seconds * 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

bool settled(const AnalyzeModel& m) { return !m.listing() && m.pending() == 0 && !m.removing(); }

// Files of different sizes, each listed with its size (no folder to measure).
void makeFolder(const fs::path& folder, int entries) {
    fs::create_directories(folder);
    for (int i = 0; i < entries; ++i) {
        const fs::path p = folder / ("entry-" + std::to_string(i));
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const std::string body(size_t(1 + (i * 7919) % 20000), 'q');
        (void)!::write(fd, body.data(), body.size());
        ::close(fd);
    }
}

double seconds(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e9;
}

// Shows `folder` on the screen from nothing: listed and the table painted.
double listAndPaint(AnalyzeView& view, AnalyzeModel& model, const fs::path& folder) {
    return seconds([&] {
        model.navigate(folder);
        until([&] { return settled(model); });
        view.table()->list()->viewport()->repaint();
    });
}

// The table scrolled down by a page and drawn, the folder listed already.
double scrollAndPaint(AnalyzeView& view) {
    DetailList* list = view.table()->list();
    return seconds([&] {
        QScrollBar* bar = list->verticalScrollBar();
        bar->setValue(bar->value() + bar->pageStep() > bar->maximum() ? 0 : bar->value() + bar->pageStep());
        list->viewport()->repaint();
    });
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 20;
    double seconds = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testtree::TempDir scratch;
    const fs::path home = scratch.path() / "home";
    bench::useHome(home);
    makeFolder(home / "large", 10000);
    makeFolder(home / "small", 100);
    for (const char* name : {"Library", "Developer", "Documents", "Downloads"})
        bench::buildTree(home / name, 60, 20);

    QApplication app(argc, argv);
    Theme::applyApplicationLook(app);
    bool ok = true;

    {
        AnalyzeModel model;
        Monitor& monitor = AppState::shared().monitor();
        AnalyzeView view(model, monitor);
        view.resize(1000, 640);
        view.show();
        listAndPaint(view, model, home / "small");
        listAndPaint(view, model, home / "large");  // warm: fonts, icons, caches
        std::vector<double> small, large, smallScroll, largeScroll;
        for (int r = 0; r < rounds; ++r) {
            small.push_back(listAndPaint(view, model, home / "small"));
            for (int k = 0; k < 5; ++k) smallScroll.push_back(scrollAndPaint(view));
            large.push_back(listAndPaint(view, model, home / "large"));
            for (int k = 0; k < 5; ++k) largeScroll.push_back(scrollAndPaint(view));
        }
        const int drawn = view.table()->list()->rowsPainted();
        const double s = bench::median(small), l = bench::median(large);
        std::printf("analyze_view: a folder of 10,000 entries listed and painted takes %.2fx one of 100 "
                    "(%.1f ms against %.1f ms, medians of %d rounds)\n",
                    l / s, l * 1e3, s * 1e3, rounds);
        const double ss = bench::median(smallScroll), ls = bench::median(largeScroll);
        std::printf("analyze_view: scrolling the table a page and painting it takes %.2fx with 10,000 rows what it "
                    "takes with 100 (%.2f ms against %.2f ms; %d rows drawn)\n",
                    ls / ss, ls * 1e3, ss * 1e3, drawn);
    }

    AppState& state = AppState::shared();
    state.setTab(AppTab::analyze);
    MainWindow window(state, Preferences::shared());
    window.setGeometry(40, 40, 1000, 680);
    window.show();
    until([&] { return state.analyze().generation() > 0 && settled(state.analyze()); });
    bench::runFor(1.5);  // the chart's sweep, fonts, caches
    const bench::Measure shown = bench::measure(seconds);
    std::printf("analyze_view: window idle on the Analyze tab over %zu entries for %.1f s: CPU %.2f%% of one core "
                "(target below 3%%), %lld frames scheduled\n",
                state.analyze().entries().size(), shown.wall, shown.share(), shown.frames);
    ok &= shown.share() < 3.0;

    window.hide();
    bench::settle([] { return MotionPause::shared().hidden(); });
    const bench::Measure hidden = bench::measure(std::min(seconds, 3.0));
    std::printf("analyze_view: window hidden for %.1f s: %lld frames scheduled (must be 0), CPU %.2f%% of one core\n",
                hidden.wall, hidden.frames, hidden.share());
    ok &= hidden.frames == 0;

    std::printf("analyze_view: %s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
