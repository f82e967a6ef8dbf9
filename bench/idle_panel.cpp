// What the glass panel costs while it stays open: the built program on a private X
// server and session bus with a StatusNotifierItem watcher, its window closed, the
// panel opened from the tray item and left open, its cards ticking every two
// seconds and the process list taken every eight. Over the same seconds htop
// refreshes every two seconds on a terminal of its own, as a peer that shows the
// same kind of readings. Then the panel closed again for as long. Reports Quelto's
// processor time (its own and the `top` runs it waited for), htop's, their ratio,
// and the share of one core; the open panel must stay under 3 %.
//
//   idle_panel [--seconds N]     (default 30)
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "PeerMonitors.h"
#include "QueltoInTray.h"

namespace th = trayharness;

namespace {
bool panelShown(const th::XServer& x) {
    for (const th::Window& w : x.mapped("Quelto"))
        if (!w.embedded && w.frame.width() == 340) return true;
    return false;
}

struct Span {
    double quelto, children, htop;
};

Span measure(pid_t quelto, pid_t htop, double seconds) {
    const auto q0 = bench::cpuWithChildren(quelto);
    const double h0 = bench::cpuOf(htop);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const auto q1 = bench::cpuWithChildren(quelto);
    return {q1.first - q0.first, q1.second - q0.second, bench::cpuOf(htop) - h0};
}
}  // namespace

int main(int argc, char** argv) {
    const double seconds = bench::secondsOption(argc, argv, 30);
    QCoreApplication app(argc, argv);
    bench::QueltoInTray desktop("idle_panel", {"htop"}, {1280, 1024});
    if (!desktop.ok()) return 1;
    const th::XServer& x = desktop.x;
    const th::SniTray& tray = desktop.tray;
    const QString& item = desktop.item;
    th::Child& quelto = desktop.quelto;
    if (!tray.activate(item) || !th::waitFor([&] { return panelShown(x); }, 10)) {
        std::printf("idle_panel: activating the item opened no panel\n");
        return 1;
    }
    const bench::Peer htop = bench::startPeer("htop", {"htop", "-d", "20"});

    // Let both settle, then measure the same span with the panel open, then closed.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const Span open = measure(quelto.pid(), htop.pid, seconds);
    if (!panelShown(x) || !tray.activate(item) || !th::waitFor([&] { return !panelShown(x); }, 10)) {
        std::printf("idle_panel: the panel did not stay open, or did not close on a second activation\n");
        bench::stop(htop);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const Span closed = measure(quelto.pid(), htop.pid, seconds);
    bench::stop(htop);
    if (!quelto.running()) {
        std::printf("idle_panel: Quelto ended early\n");
        return 1;
    }

    const auto report = [seconds](const char* state, const Span& s) {
        const double total = s.quelto + s.children;
        std::printf("idle_panel: panel %s, %.0f s: Quelto %.2f CPU s (%.2f%% of one core; %.2f s of it in `top` runs), "
                    "htop %.2f CPU s: ratio %.2f\n",
                    state, seconds, total, 100 * total / seconds, s.children, s.htop, s.htop > 0 ? total / s.htop : 0.0);
    };
    std::printf("idle_panel: Quelto in a notifier tray under Xvfb (1280x1024), its window closed; htop -d 20 on a pty\n");
    report("open", open);
    report("closed", closed);
    return 100 * (open.quelto + open.children) / seconds < 3 ? 0 : 2;
}
