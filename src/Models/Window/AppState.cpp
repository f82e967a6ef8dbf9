#include "Models/Window/AppState.h"

#include "Core/Permissions.h"
#include "Models/Kit/AssignIfChanged.h"

AppState& AppState::shared() {
    // Never released: models hold timers and watchers for the whole run.
    static AppState* instance = new AppState;
    return *instance;
}

AppState::AppState(QObject* parent)
    : QObject(parent), hasFullDiskAccess_(Permissions::hasFullDiskAccess()), monitor_(new Monitor({}, this)) {}

void AppState::setTab(AppTab value) {
    if (assignIfChanged(tab_, value)) emit tabChanged(value);
}

void AppState::setCleanMode(CleanMode value) {
    if (assignIfChanged(cleanMode_, value)) emit cleanModeChanged(value);
}

void AppState::setShowHistory(bool value) {
    if (assignIfChanged(showHistory_, value)) emit showHistoryChanged(value);
}

void AppState::setShowSettings(bool value) {
    if (assignIfChanged(showSettings_, value)) emit showSettingsChanged(value);
}

void AppState::setHasFullDiskAccess(bool value) {
    if (assignIfChanged(hasFullDiskAccess_, value)) emit hasFullDiskAccessChanged(value);
}

void AppState::setAppsMode(AppsMode value) {
    if (assignIfChanged(appsMode_, value)) emit appsModeChanged(value);
}

bool AppState::isBusy(AppTab) const {
    // No feature model runs work yet on any tab.
    return false;
}
