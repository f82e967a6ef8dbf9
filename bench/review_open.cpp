// Opening a category on the review sheet: a card of 10,000 findings against one of
// 100, in one run. The sheet draws only the rows on screen, so the two should cost
// about the same.
//
//   review_open [--rounds N]     (default 30)
#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Models/Clean/CleanListModel.h"
#include "Models/Settings/Preferences.h"
#include "Views/Clean/ReviewList.h"
#include "Views/Clean/ReviewPanel.h"
#include "Views/Kit/Theme.h"
#include "BenchSupport.h"

namespace {
std::vector<CleanItem> findings(int count) {
    std::vector<CleanItem> out;
    for (int i = 0; i < count; ++i) {
        CleanItem item;
        item.url = "/home/someone/.cache/tool/entry-" + std::to_string(i) + ".bin";
        item.size = 4096 + i;
        item.category = CleanCategory::userCaches;
        item.note = "Regenerated on demand";
        out.push_back(item);
    }
    // A second, small category keeps the big one closed until it is opened.
    CleanItem log;
    log.url = "/home/someone/.cache/old.log";
    log.size = 100;
    log.category = CleanCategory::logs;
    out.push_back(log);
    return out;
}

struct Sheet {
    CleanListModel model;
    ReviewPanel panel;
    int rowsDrawn = 0;
    explicit Sheet(int count)
        : model("clean", [items = findings(count)](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> {
              co_return items;
          }),
          panel(model, Preferences::shared(), "System junk", "", "Clean", [] {}) {
        QCoro::waitFor(model.scan());
        panel.resize(900, 600);
        panel.show();
        panel.grab();
    }
    // Opens the big card and draws it; returns the seconds taken.
    double open() {
        QElapsedTimer t;
        t.start();
        panel.list()->toggleExpanded(CleanCategory::userCaches, false);
        panel.list()->viewport()->grab();
        const double s = t.nsecsElapsed() / 1e9;
        rowsDrawn = panel.list()->rowsPainted();
        panel.list()->toggleExpanded(CleanCategory::userCaches, false);
        panel.list()->viewport()->grab();
        return s;
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    int rounds = 30;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testtree::TempDir home;
    bench::useHome(home.path());
    QApplication app(argc, argv);
    Theme::applyApplicationLook(app);

    Sheet small(100), large(10000);
    small.open();
    large.open();  // warm: fonts, icons
    std::vector<double> smallTimes, largeTimes;
    for (int r = 0; r < rounds; ++r) {
        smallTimes.push_back(small.open());
        largeTimes.push_back(large.open());
    }
    const double s = median(smallTimes), l = median(largeTimes);
    std::printf("review_open: opening a category of 10,000 findings takes %.2fx one of 100 "
                "(%.2f ms against %.2f ms, medians of %d rounds, %d rows drawn of 10,000)\n",
                l / s, l * 1e3, s * 1e3, rounds, large.rowsDrawn);
    return 0;
}
