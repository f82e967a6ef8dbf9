#pragma once
// Quelto sitting in a desktop's tray, for the benches: a fresh home, an X server, a
// private session bus with a StatusNotifierItem watcher, and the built program
// started at login (its window closed) until its item is in the tray.
#include <QSize>
#include <QString>

#include <cstdio>
#include <initializer_list>
#include <vector>

#include "Support/QtTestSupport.h"
#include "Support/TrayHarness.h"

namespace bench {

struct QueltoInTray {
    qttest::TempHome home;
    trayharness::XServer x;
    trayharness::SessionBus bus;
    trayharness::SniTray tray{bus};
    trayharness::Child quelto;
    QString item;  // empty until Quelto's item is in the tray

    // `bench` names the bench in what it prints; `programs` are what it runs besides.
    QueltoInTray(const char* bench, std::initializer_list<const char*> programs, QSize screen = {1280, 800})
        : x(screen) {
        std::vector<const char*> needed{"Xvfb", "dbus-daemon", "status-notifier-watcher"};
        needed.insert(needed.end(), programs);
        for (const char* program : needed) {
            if (trayharness::onPath(program)) continue;
            std::printf("%s: %s is missing (see .ci/packages.txt)\n", bench, program);
            return;
        }
        if (!x.ok() || !tray.ok()) {
            std::printf("%s: no X server or no notifier watcher\n", bench);
            return;
        }
        quelto = trayharness::launchQuelto(x.display(), home.path(), {"--login-item"}, bus.address(),
                                           (home / "quelto.log").string());
        if (!trayharness::waitFor([this] { return !tray.items().isEmpty(); }, 20)) {
            std::printf("%s: Quelto's item never appeared in the tray\n", bench);
            return;
        }
        item = tray.items().first();
    }
    bool ok() const { return !item.isEmpty(); }
};

}  // namespace bench
