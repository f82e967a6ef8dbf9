#pragma once
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <memory>

#include "Models/Window/AppState.h"
#include "Models/Settings/Preferences.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Kit/PacedSchedule.h"
#include "Platform/Clock.h"
#include "Platform/UserDefaults.h"
#include "Support/QtTestSupport.h"
#include "Support/Screenshots.h"
#include "Views/Window/ContentView.h"

using qttest::FakeLoginItem;

// Fresh settings over their own file, and a login item that answers as told.
struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<Platform::UserDefaults> defaults;
    std::unique_ptr<Preferences> prefs;
    std::unique_ptr<AppState> state;
    std::unique_ptr<FakeLoginItem> login;
    Fixture() {
        defaults = std::make_unique<Platform::UserDefaults>(pathFromQString(dir.path() + "/Quelto.plist"));
        prefs = std::make_unique<Preferences>(*defaults);
        state = std::make_unique<AppState>();
        login = std::make_unique<FakeLoginItem>();
    }
    // A second Preferences over the same file: what the next launch reads.
    std::unique_ptr<Preferences> reread() {
        defaults->reload();
        return std::make_unique<Preferences>(*defaults);
    }
};

// The main window's content over fresh settings, shown at the window's size.
struct ShownContent : Fixture {
    ContentView view;
    ShownContent() : view(*state, *prefs, *login) {
        view.resize(1000, 680);
        view.show();
    }
};

// Installs a stepped clock for one test.
struct ClockScope {
    Platform::SteppedClock clock;
    explicit ClockScope(double referenceSeconds) : clock(Platform::dateFromReferenceSeconds(referenceSeconds)) {
        Platform::setClock(&clock);
    }
    ~ClockScope() { Platform::setClock(nullptr); }
    void advance(double seconds) { clock.advance(std::chrono::duration<double>(seconds)); }
};

// A pixel's luminance, 0 (black) to 1 (white).
inline double luminance(QRgb c) { return (0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c)) / 255.0; }

// Draws the frames of a hero's timeline that fell due on the stepped clock.
inline void deliverDueFrames(PacedTimeline& timeline) {
    const double now = Platform::secondsSinceReferenceDate(Platform::clock().now());
    while (auto due = timeline.pendingTime()) {
        if (*due > now) break;
        timeline.deliverDueFrame();
    }
}
