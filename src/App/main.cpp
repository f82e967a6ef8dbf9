#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QTimer>

#include <chrono>

#include "App/Reopen.h"
#include "Platform/Gui/AudioPlayer.h"
#include "Platform/Gui/StatusButton.h"
#include "Models/Kit/Localization.h"
#include "Models/Kit/MotionPause.h"
#include "Platform/DesktopSettings.h"
#include "Platform/Memory.h"
#include "Models/Window/AppState.h"
#include "Models/Window/QuietStart.h"
#include "Models/Settings/LaunchAtLogin.h"
#include "Models/Settings/Preferences.h"
#include "Updates/UpdateController.h"
#include "Views/MenuBar/StatusItemController.h"
#include "Views/Window/AppCommands.h"
#include "Views/Window/MainWindow.h"
#include "Views/Kit/QueltoMark.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

namespace {
// How long a quiet start waits for the desktop's tray (which often comes up after the
// applications started at login) before it shows its window.
constexpr std::chrono::seconds trayWait{10};
}  // namespace

int main(int argc, char** argv) {
    Platform::Memory::giveBackAsFreed();
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Quelto"));
    app.setApplicationDisplayName(QStringLiteral("Quelto"));
    app.setDesktopFileName(QStringLiteral("quelto"));
    // Closing the window never quits while anything could bring it back (below).
    app.setQuitOnLastWindowClosed(false);
    Localization::install();
    Theme::applyApplicationLook(app);
    QIcon icon;
    for (int size : {16, 32, 64, 128, 256, 512}) icon.addPixmap(QPixmap::fromImage(QueltoMark::applicationIconImage(size)));
    app.setWindowIcon(icon);

    // Decided before anything shows: a login launch, or the relaunch after an update
    // installed while the user was away, starts with no window.
    const bool startsQuietly = QuietStart::decide();

    // The updater exists once, from the start.
    UpdateController& updates = UpdateController::shared();
    updates.startUpdater();

    // Sounds and icons go through our platform layer; the symbol drawings are what
    // an icon falls back to when the themes have nothing.
    Platform::AudioPlayer audio;
    Platform::setAudioOutput(&audio);
    Symbols::installAsIconFallback();

    // The desktop's animations switch, read again whenever the app comes to the front
    // (it may have been switched meanwhile).
    const auto readMotion = [] { MotionPause::shared().setReduceMotion(Platform::DesktopSettings::animationsOff()); };
    readMotion();
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, &app, [readMotion](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive) readMotion();
    });

    AppState& state = AppState::shared();
    Preferences& prefs = Preferences::shared();
    MainWindow window(state, prefs);

    // Until the window has shown once, opening it means showing it.
    state.openMainWindow = [&window] { bringToFront(&window); };

    AppCommands commands(state, [&updates] { updates.checkForUpdates(); });
    window.addAction(commands.settings());
    window.addAction(commands.quit());

    state.makeStatusItem = [&commands, &updates](AppState& s, Preferences& p) -> QObject* {
        auto* item = new StatusItemController(s, p);
        item->setMenu(commands.menu());
        QObject::connect(&updates, &UpdateController::note, item,
                         [item](const QString& text) { item->button().showMessage(QObject::tr("Quelto"), text); });
        return item;
    };

    ReopenService reopen([&commands] { commands.openQuelto()->trigger(); });
    const ReopenService::Role role = reopen.claim();
    if (role == ReopenService::Role::forwarded) return 0;

    LaunchAtLogin::enableOnFirstLaunch();
    state.ensureStatusItem(prefs);
    auto& statusItem = *static_cast<StatusItemController*>(state.statusItem());

    // Only the tray's icon can bring a closed window back (a relaunch aside, which a
    // user with no icon to look at would not think of): with none, closing the window
    // ends the run. A session bus says nothing about a tray; a stock GNOME session has one
    // without the other.
    const auto policy = [&app, &statusItem] { app.setQuitOnLastWindowClosed(!statusItem.button().isAvailable()); };
    QObject::connect(&statusItem.button(), &Platform::StatusButton::availableChanged, &app, policy);
    policy();
    // And a quiet start that no tray comes up for would run unseen for the whole session.
    if (startsQuietly) {
        QTimer::singleShot(trayWait, &window, [&statusItem, &commands] {
            if (!statusItem.button().isAvailable()) commands.openQuelto()->trigger();
        });
    }

    if (!startsQuietly) window.show();
    const int status = app.exec();
    Platform::setAudioOutput(nullptr);
    return status;
}
