// What Quelto costs while it only sits in the tray: the built program on a private X
// server and session bus with a StatusNotifierItem watcher, its window closed, the
// tray item showing CPU and memory. Over the same seconds conky prints the same two
// readings every 2 s to a log, as a lightweight peer. Reports both CPU times, their
// ratio, and what the item sent over the bus: icon updates (which must be 0 while
// nothing runs) and tool-tip updates.
//
//   idle_tray [--seconds N]     (default 60)
#include <QCoreApplication>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "QueltoInTray.h"

namespace th = trayharness;

namespace {
int countLines(const std::string& file, const std::string& text) {
    std::ifstream in(file);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) n += line.find(text) != std::string::npos;
    return n;
}
}  // namespace

int main(int argc, char** argv) {
    const double seconds = bench::secondsOption(argc, argv, 60);
    QCoreApplication app(argc, argv);
    bench::QueltoInTray desktop("idle_tray", {"dbus-monitor", "conky"});
    if (!desktop.ok()) return 1;
    const auto& home = desktop.home;

    const std::string busLog = (home / "busLog.log").string();
    th::Child monitor({"dbus-monitor", "--address", desktop.bus.address(),
                       "type='signal',interface='org.kde.StatusNotifierItem'"},
                      {}, busLog);
    const std::string conkyConfig = (home / "conky.conf").string();
    std::ofstream(conkyConfig) << "conky.config = { out_to_console = true, out_to_x = false, update_interval = 2, "
                                  "total_run_times = 0, background = false }\n"
                                  "conky.text = [[${cpu} ${memperc}]]\n";
    th::Child conky({"conky", "-c", conkyConfig}, {}, (home / "conky.log").string());

    // Let both settle, then measure the same span.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const int icons0 = countLines(busLog, "member=NewIcon"), tips0 = countLines(busLog, "member=NewToolTip");
    const double quelto0 = bench::cpuOf(desktop.quelto.pid()), conky0 = bench::cpuOf(conky.pid());
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double quelto1 = bench::cpuOf(desktop.quelto.pid()) - quelto0, conky1 = bench::cpuOf(conky.pid()) - conky0;
    const int icons = countLines(busLog, "member=NewIcon") - icons0;
    const int tips = countLines(busLog, "member=NewToolTip") - tips0;
    if (!desktop.quelto.running() || !conky.running()) {
        std::printf("idle_tray: a process ended early\n");
        return 1;
    }

    std::printf("idle_tray: window closed, tray item showing cpu and memory, %.0f s on a notifier watcher under Xvfb\n",
                seconds);
    std::printf("idle_tray: Quelto %.2f CPU s (%.3f%% of one core), conky %.2f CPU s: ratio %.2f\n", quelto1,
                100 * quelto1 / seconds, conky1, conky1 > 0 ? quelto1 / conky1 : 0.0);
    std::printf("idle_tray: icon updates while idle %d (must be 0), tool-tip updates %d\n", icons, tips);
    return icons == 0 ? 0 : 2;
}
