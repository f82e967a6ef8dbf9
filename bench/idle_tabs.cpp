// What each tab of the main window costs at rest, measured as a user would see it:
// the built program on a private X server with a window manager (openbox) and a
// StatusNotifierItem tray, over a fresh home. It starts at login into the tray, is
// launched again to show its window, and each tab is clicked through the window and
// left alone. Reports the process's CPU time over each span as a share of one core,
// one line per tab (the Status tab's `top` runs on their own), then the window
// minimised and closed to the tray.
//
//   idle_tabs [--seconds N]     (default 20)
#include <QCoreApplication>
#include <QPoint>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "QueltoInTray.h"

namespace th = trayharness;

namespace {
class Desktop {
public:
    explicit Desktop(std::string display) : display_(std::move(display)) {}
    std::optional<std::string> xdotool(std::vector<std::string> args) const {
        args.insert(args.begin(), {"env", "DISPLAY=" + display_, "xdotool"});
        return th::run(args);
    }
    // The main window's id, once it shows.
    std::string window() const {
        std::string id;
        th::waitFor([&] {
            id = xdotool({"search", "--onlyvisible", "--name", "^Quelto$"}).value_or("");
            return !id.empty();
        }, 20);
        return id.substr(0, id.find('\n'));
    }
    int width(const std::string& window) const {
        const std::string g = xdotool({"getwindowgeometry", "--shell", window}).value_or("");
        const size_t at = g.find("WIDTH=");
        return at == std::string::npos ? 0 : std::atoi(g.c_str() + at + 6);
    }
    bool click(const std::string& window, QPoint at) const {
        return xdotool({"mousemove", "--window", window, std::to_string(at.x()), std::to_string(at.y()), "click", "1"})
            .has_value();
    }

private:
    std::string display_;
};

struct Span {
    double own, children;
};

Span measure(pid_t pid, double seconds) {
    const auto a = bench::cpuWithChildren(pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const auto b = bench::cpuWithChildren(pid);
    return {b.first - a.first, b.second - a.second};
}
}  // namespace

int main(int argc, char** argv) {
    const double seconds = bench::secondsOption(argc, argv, 20);
    QCoreApplication app(argc, argv);
    bench::QueltoInTray desktop("idle_tabs", {"openbox", "xdotool"});
    if (!desktop.ok()) return 1;
    th::Child wm({"openbox"}, {{"DISPLAY", desktop.x.display()}}, (desktop.home / "openbox.log").string());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    // A second launch shows the running program's window, as the desktop's launcher would.
    th::launchQuelto(desktop.x.display(), desktop.home.path(), {}, desktop.bus.address(),
                     (desktop.home / "reopen.log").string())
        .exitCode(20);
    const Desktop x(desktop.x.display());
    const std::string window = x.window();
    if (window.empty()) {
        std::printf("idle_tabs: the second launch showed no window\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const int w = x.width(window);
    const pid_t pid = desktop.quelto.pid();
    std::printf("idle_tabs: Quelto under Xvfb (1280x800) with openbox and a notifier tray, window %d px wide; "
                "%.0f s a tab after 3 s to settle; load average %s\n",
                w, seconds, bench::loadAverage().c_str());

    // The tab bar is centred at the top of the window.
    const struct {
        const char* name;
        int x;
    } tabs[] = {{"Clean", -148}, {"Apps", -78}, {"Optimize", 0}, {"Analyze", 97}, {"Status", 182}, {"Clean", -148}};
    bool ok = true;
    for (const auto& tab : tabs) {
        if (!x.click(window, {w / 2 + tab.x, 32})) {
            std::printf("idle_tabs: could not click the %s tab\n", tab.name);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const Span s = measure(pid, seconds);
        const double share = 100 * s.own / seconds;
        std::printf("idle_tabs: %-9s %.2f%% of one core (%.2f CPU s)", tab.name, share, s.own);
        if (s.children > 0) std::printf(", its `top` runs %.2f CPU s more", s.children);
        std::printf("\n");
        std::fflush(stdout);
        ok &= share <= 1.5 || std::string(tab.name) == "Status";
    }

    x.xdotool({"windowminimize", "--sync", window});
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const Span minimised = measure(pid, seconds / 2);
    std::printf("idle_tabs: minimised %.2f%% of one core\n", 100 * minimised.own / (seconds / 2));
    x.xdotool({"windowactivate", "--sync", window});
    std::this_thread::sleep_for(std::chrono::seconds(2));
    desktop.x.close(uint32_t(std::stoul(window)));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const Span closed = measure(pid, seconds / 2);
    std::printf("idle_tabs: closed to the tray %.2f%% of one core\n", 100 * closed.own / (seconds / 2));
    std::printf("idle_tabs: load average %s at the end\n", bench::loadAverage().c_str());
    if (!desktop.quelto.running()) {
        std::printf("idle_tabs: Quelto ended early\n");
        return 1;
    }
    return ok ? 0 : 2;
}
