// The live monitor's CPU cost against the terminal monitors people run instead,
// measured in one run over the same seconds: htop and btop refreshing every 2 s
// (each on a pseudo-terminal of its own), and the monitor over this machine's real
// /proc and /sys, first with nobody watching, then watched (process list included).
//
//   monitor_vs_htop [--seconds N]     (default 60 per phase)
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "Models/Status/Monitor.h"
#include "BenchSupport.h"
#include "PeerMonitors.h"

namespace {
using bench::cpuOf;
using bench::Peer;
using bench::startPeer;
using bench::stop;

// This process and the children it has waited for (the process-list runs).
double ownCpu() { return bench::selfCpu() + bench::childrenCpu(); }

void runFor(double s) {
    QEventLoop loop;
    QTimer::singleShot(int(s * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Phase {
    double wall = 0, monitor = 0, htop = 0, btop = 0;
    int ticks = 0;
    double share(double cpu) const { return wall > 0 ? 100.0 * cpu / wall : 0; }
};

Phase measure(Monitor& monitor, const Peer& htop, const Peer& btop, double s) {
    int ticks = 0;
    const auto counter = QObject::connect(&monitor, &Monitor::cpuHistoryChanged, [&] { ++ticks; });
    const double own0 = ownCpu(), htop0 = bench::cpuOf(htop.pid), btop0 = bench::cpuOf(btop.pid);
    QElapsedTimer wall;
    wall.start();
    runFor(s);
    Phase p;
    p.wall = wall.nsecsElapsed() / 1e9;
    p.monitor = ownCpu() - own0;
    p.htop = bench::cpuOf(htop.pid) - htop0;
    p.btop = bench::cpuOf(btop.pid) - btop0;
    p.ticks = ticks;
    QObject::disconnect(counter);
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    double phaseSeconds = 60;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) phaseSeconds = std::atof(argv[i + 1]);

    // A scratch home: the peers' settings and the monitor's disk are never the user's.
    testtree::TempDir home;
    bench::useHome(home.path());
    const std::string root = home.path().string();
    std::system(("mkdir -p '" + root + "/.config/btop'").c_str());
    std::ofstream(root + "/.config/btop/btop.conf") << "update_ms = 2000\n";

    const Peer htop = startPeer("htop", {"htop", "-d", "20"});
    const Peer btop = startPeer("btop", {"btop", "--utf-force"});

    QCoreApplication app(argc, argv);
    Monitor monitor;
    runFor(4.0);  // the peers draw their first screens; the monitor's first disk measurement ends

    const Phase unwatched = measure(monitor, htop, btop, phaseSeconds);
    monitor.setProcessWatchers(1);
    const Phase watched = measure(monitor, htop, btop, phaseSeconds);
    monitor.setProcessWatchers(0);
    const bool peersRan = bench::cpuOf(htop.pid) > 0 && bench::cpuOf(btop.pid) > 0;
    stop(htop);
    stop(btop);

    const auto perTick = [](double cpu, int ticks) { return ticks ? 1e6 * cpu / ticks : 0.0; };
    std::printf("monitor_vs_htop: %.0f s per phase on %ld processors; peers htop -d 20 and btop (update_ms 2000)\n",
                phaseSeconds, sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("monitor_vs_htop: unwatched: monitor %.4f%% of one core (%.0f us per tick, %d ticks; target below 0.05%%); "
                "htop %.3f%%, btop %.3f%%; ratio monitor/htop %.3f\n",
                unwatched.share(unwatched.monitor), perTick(unwatched.monitor, unwatched.ticks), unwatched.ticks,
                unwatched.share(unwatched.htop), unwatched.share(unwatched.btop),
                unwatched.htop > 0 ? unwatched.monitor / unwatched.htop : 0.0);
    std::printf("monitor_vs_htop: watched (process list every 8 s): monitor %.3f%% of one core (%.0f us per tick, %d ticks); "
                "htop %.3f%% (%.0f us per 2 s); btop %.3f%%; ratio monitor/htop %.2f (target at most 1), monitor/btop %.2f\n",
                watched.share(watched.monitor), perTick(watched.monitor, watched.ticks), watched.ticks,
                watched.share(watched.htop), perTick(watched.htop, watched.ticks), watched.share(watched.btop),
                watched.htop > 0 ? watched.monitor / watched.htop : 0.0,
                watched.btop > 0 ? watched.monitor / watched.btop : 0.0);
    const bool ok = peersRan && unwatched.share(unwatched.monitor) < 0.05 && watched.monitor <= watched.htop;
    std::printf("monitor_vs_htop: %s%s\n", ok ? "PASS" : "FAIL", peersRan ? "" : " (a peer did not run)");
    return ok ? 0 : 1;
}
