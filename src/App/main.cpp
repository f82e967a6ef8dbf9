#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QPixmap>

#include "App/Reopen.h"
#include "Platform/Gui/AudioPlayer.h"
#include "Models/Window/AppState.h"
#include "Models/Settings/LaunchAtLogin.h"
#include "Models/Settings/Preferences.h"
#include "Views/Window/MainWindow.h"
#include "Views/Kit/QueltoMark.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Quelto"));
    app.setApplicationDisplayName(QStringLiteral("Quelto"));
    app.setDesktopFileName(QStringLiteral("quelto"));
    // Closing the window never quits; the process ends only by an explicit quit.
    app.setQuitOnLastWindowClosed(false);
    Theme::applyApplicationLook(app);
    QIcon icon;
    for (int size : {16, 32, 64, 128, 256, 512}) icon.addPixmap(QPixmap::fromImage(QueltoMark::applicationIconImage(size)));
    app.setWindowIcon(icon);

    // Sounds and icons go through our platform layer; the symbol drawings are what
    // an icon falls back to when the themes have nothing.
    Platform::AudioPlayer audio;
    Platform::setAudioOutput(&audio);
    Symbols::installAsIconFallback();

    // A login launch starts quietly: no window.
    const bool startsQuietly = LaunchAtLogin::launchedAsLoginItem(app.arguments());

    AppState& state = AppState::shared();
    Preferences& prefs = Preferences::shared();
    MainWindow window(state, prefs);

    // Until the window has shown once, opening it means showing it.
    state.openMainWindow = [&window] { bringToFront(&window); };
    // Showing the window installs a new opener while the old one runs: call a copy.
    const auto openMainWindow = [&state] {
        if (auto open = state.openMainWindow) open();
    };

    auto* settings = new QAction(QObject::tr("Settings…"), &window);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settings->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(settings, &QAction::triggered, &window, [&state, openMainWindow] {
        state.setShowSettings(true);
        openMainWindow();  // which also raises and focuses the window
    });
    auto* quit = new QAction(QObject::tr("Quit Quelto"), &window);
    quit->setShortcut(QKeySequence::Quit);
    quit->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(quit, &QAction::triggered, &app, &QApplication::quit);
    window.addAction(settings);
    window.addAction(quit);

    ReopenService reopen(openMainWindow);
    switch (reopen.claim()) {
        case ReopenService::Role::forwarded:
            return 0;
        case ReopenService::Role::alone:
            // Nothing could bring a closed window back, so closing it ends the run.
            app.setQuitOnLastWindowClosed(true);
            break;
        case ReopenService::Role::first:
            break;
    }

    if (!startsQuietly) window.show();
    LaunchAtLogin::enableOnFirstLaunch();
    const int status = app.exec();
    Platform::setAudioOutput(nullptr);
    return status;
}
