#pragma once
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "Updates/Updater.h"

class IdleUpdateInstaller;

// The one owner of the update framework's updater, and its delegate: an update
// waiting for Quelto to quit goes to the idle installer. Main thread only.
class UpdateController : public QObject, public UpdaterDelegate {
    Q_OBJECT
public:
    using MakeUpdater = std::function<std::unique_ptr<Updater>(UpdateController&)>;

    // The process's controller, with this build's stand-in updater, made on first use.
    static UpdateController& shared();

    // `makeUpdater` is asked for the updater when one is first needed; its idle
    // installer asks `AppState::shared()` and the standard defaults.
    explicit UpdateController(MakeUpdater makeUpdater, QObject* parent = nullptr);
    ~UpdateController() override;

    // Makes and starts the updater unless there is one; an existing one is never replaced.
    void startUpdater();
    // The "Check for Updates…" command.
    void checkForUpdates();
    Updater* controller() const { return controller_.get(); }
    IdleUpdateInstaller& idleInstaller();
    // Set in place of the one made on first use (tests).
    void setIdleInstaller(IdleUpdateInstaller* installer);

    // Hands `install` to the idle installer, one event-loop turn later, and takes it on.
    bool willInstallUpdateOnQuit(std::function<void()> install) override;

signals:
    // A short note for the user about updates.
    void note(const QString& text);

private:
    MakeUpdater makeUpdater_;
    std::unique_ptr<Updater> controller_;
    IdleUpdateInstaller* idleInstaller_ = nullptr;
};
