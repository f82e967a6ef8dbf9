#pragma once
#include <QObject>

#include <functional>
#include <memory>

class AppState;
class QAction;
class QMenu;

// The application's commands. With no application menu on this desktop, they are
// the window's shortcuts and the status item's right-click menu.
class AppCommands : public QObject {
    Q_OBJECT
public:
    AppCommands(AppState& state, std::function<void()> checkForUpdates, QObject* parent = nullptr);
    ~AppCommands() override;

    QAction* openQuelto() const { return openQuelto_; }
    // Ctrl+,: the settings screen in the main window.
    QAction* settings() const { return settings_; }
    QAction* checkForUpdates() const { return checkForUpdates_; }
    // Ctrl+Q.
    QAction* quit() const { return quit_; }
    // Open Quelto, Settings…, Check for Updates…, Quit Quelto.
    QMenu* menu() const { return menu_.get(); }

private:
    QAction* openQuelto_;
    QAction* settings_;
    QAction* checkForUpdates_;
    QAction* quit_;
    std::unique_ptr<QMenu> menu_;
};
