#include "Views/Window/AppCommands.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include "Models/Window/AppState.h"

AppCommands::AppCommands(AppState& state, std::function<void()> checkForUpdates, QObject* parent)
    : QObject(parent), menu_(std::make_unique<QMenu>()) {
    openQuelto_ = new QAction(tr("Open Quelto"), this);
    connect(openQuelto_, &QAction::triggered, this, [&state] { state.bringUpMainWindow(); });

    settings_ = new QAction(tr("Settings…"), this);
    settings_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settings_->setShortcutContext(Qt::ApplicationShortcut);
    connect(settings_, &QAction::triggered, this, [&state] {
        state.setShowSettings(true);
        state.bringUpMainWindow();  // which also raises and focuses the window
    });

    checkForUpdates_ = new QAction(tr("Check for Updates…"), this);
    connect(checkForUpdates_, &QAction::triggered, this, [check = std::move(checkForUpdates)] {
        if (check) check();
    });

    quit_ = new QAction(tr("Quit Quelto"), this);
    quit_->setShortcut(QKeySequence::Quit);
    quit_->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit_, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);

    menu_->addAction(openQuelto_);
    menu_->addAction(settings_);
    menu_->addAction(checkForUpdates_);
    menu_->addSeparator();
    menu_->addAction(quit_);
}

AppCommands::~AppCommands() = default;
