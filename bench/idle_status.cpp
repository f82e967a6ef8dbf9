// The Status tab at rest: the main window shown on it over this machine's live
// readings, the monitor ticking every two seconds and the process list taken every
// eight, against htop refreshing every two seconds in the same run. Then the window
// hidden and minimised: nothing may be drawn and no process list taken.
//
//   idle_status [--seconds N]     (default 20)
//
// Offscreen by default; under an X server (xvfb-run) it draws to that server.
#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Models/Kit/MotionPause.h"
#include "Models/Settings/Preferences.h"
#include "Models/Window/AppState.h"
#include "Views/Kit/Theme.h"
#include "Views/Window/MainWindow.h"
#include "BenchSupport.h"
#include "IdleMeasure.h"
#include "PeerMonitors.h"

namespace {

// Counts the paint events delivered to the widgets of one window.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
    long long count = 0;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint && o->isWidgetType() && static_cast<QWidget*>(o)->window() == window_) ++count;
        return false;
    }

private:
    QWidget* window_;
};

struct Idle {
    double wall = 0, self = 0, children = 0, htop = 0;
    long long paints = 0, frames = 0;
    int watchers = 0;
    double share(double cpu) const { return wall > 0 ? 100.0 * cpu / wall : 0; }
};

Idle measure(double seconds, const PaintCounter& paints, const bench::Peer& htop, const Monitor& monitor) {
    Idle m;
    const double self0 = bench::selfCpu(), children0 = bench::childrenCpu(), htop0 = bench::cpuOf(htop.pid);
    const long long paints0 = paints.count, frames0 = PacedTimeline::totalScheduledFrames();
    QElapsedTimer wall;
    wall.start();
    bench::runFor(seconds);
    m.wall = wall.nsecsElapsed() / 1e9;
    m.self = bench::selfCpu() - self0;
    m.children = bench::childrenCpu() - children0;
    m.htop = bench::cpuOf(htop.pid) - htop0;
    m.paints = paints.count - paints0;
    m.frames = PacedTimeline::totalScheduledFrames() - frames0;
    m.watchers = monitor.processWatchers();
    return m;
}

bool reportResting(const char* what, const Idle& m) {
    std::printf("idle_status: %s for %.1f s: %lld paints and %lld frames (must be 0), %d watchers (must be 0), "
                "process list runs %.3f%%, window %.2f%% of one core (target below 1%%)\n",
                what, m.wall, m.paints, m.frames, m.watchers, m.share(m.children), m.share(m.self));
    return m.paints == 0 && m.frames == 0 && m.watchers == 0 && m.children == 0 && m.share(m.self) < 1.0;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = bench::secondsOption(argc, argv, 20);
    bench::offscreenWithoutDisplay();
    testtree::TempDir home;
    bench::useHome(home.path());
    const bench::Peer htop = bench::startPeer("htop", {"htop", "-d", "20"});

    QApplication app(argc, argv);
    Theme::applyApplicationLook(app);
    std::printf("idle_status: platform %s, %ld processors\n", qPrintable(QGuiApplication::platformName()),
                sysconf(_SC_NPROCESSORS_ONLN));
    AppState& state = AppState::shared();
    const Monitor& monitor = state.monitor();
    state.setTab(AppTab::status);
    MainWindow window(state, Preferences::shared());
    window.setGeometry(40, 40, 1000, 680);
    PaintCounter paints(&window);
    window.show();
    bench::runFor(4.0);  // first paint, the first process list, htop's first screens
    bool ok = true;

    const Idle shown = measure(seconds, paints, htop, monitor);
    const double ours = shown.self + shown.children;
    std::printf("idle_status: Status tab shown for %.1f s: window %.2f%% of one core (target below 3%%), its process "
                "list runs %.2f%%; htop -d 20 %.2f%%; ratio (window + runs) / htop %.2f; %lld paints, %lld frames\n",
                shown.wall, shown.share(shown.self), shown.share(shown.children), shown.share(shown.htop),
                shown.htop > 0 ? ours / shown.htop : 0.0, shown.paints, shown.frames);
    ok &= shown.share(shown.self) < 3.0 && shown.watchers == 1;

    window.hide();
    bench::settle([&] { return monitor.processWatchers() == 0 && !monitor.samplingProcesses(); });
    bench::runFor(0.5);
    ok &= reportResting("window hidden", measure(std::min(seconds, 10.0), paints, htop, monitor));

    window.show();
    bench::settle([&] { return monitor.processWatchers() == 1; });
    window.showMinimized();
    bench::settle([&] { return monitor.processWatchers() == 0 && !monitor.samplingProcesses(); });
    bench::runFor(0.5);
    ok &= reportResting("window minimised", measure(std::min(seconds, 10.0), paints, htop, monitor));

    bench::stop(htop);
    std::printf("idle_status: %s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
