#include "Updates/UpdateController.h"

#include "Models/Window/AppState.h"
#include "Platform/UserDefaults.h"
#include "Updates/IdleUpdateInstaller.h"
#include "Updates/StandInUpdater.h"

UpdateController& UpdateController::shared() {
    // Never released, like the state it reads.
    static UpdateController* instance = new UpdateController([](UpdateController& controller) {
        return std::make_unique<StandInUpdater>([&controller](const QString& text) { emit controller.note(text); });
    });
    return *instance;
}

UpdateController::UpdateController(MakeUpdater makeUpdater, QObject* parent)
    : QObject(parent), makeUpdater_(std::move(makeUpdater)) {}

UpdateController::~UpdateController() = default;

void UpdateController::startUpdater() {
    if (!controller_ && makeUpdater_) controller_ = makeUpdater_(*this);
}

void UpdateController::checkForUpdates() {
    startUpdater();
    if (controller_) controller_->checkForUpdates();
}

IdleUpdateInstaller& UpdateController::idleInstaller() {
    if (!idleInstaller_)
        idleInstaller_ = new IdleUpdateInstaller(AppState::shared(), Platform::UserDefaults::standard(), this);
    return *idleInstaller_;
}

void UpdateController::setIdleInstaller(IdleUpdateInstaller* installer) {
    if (idleInstaller_ && idleInstaller_ != installer) delete idleInstaller_;
    idleInstaller_ = installer;
    if (installer) installer->setParent(this);
}

bool UpdateController::willInstallUpdateOnQuit(std::function<void()> install) {
    // The framework may call from any thread; the installer lives on this one.
    QMetaObject::invokeMethod(
        this, [this, install = std::move(install)]() mutable { idleInstaller().arm(std::move(install)); },
        Qt::QueuedConnection);
    return true;
}
