#include "Updates/StandInUpdater.h"

#include <QCoreApplication>

StandInUpdater::StandInUpdater(std::function<void(const QString&)> tell) : tell_(std::move(tell)) {}

QString StandInUpdater::noUpdateText() {
    return QCoreApplication::translate("StandInUpdater", "No update is available for this build.");
}

void StandInUpdater::checkForUpdates() {
    if (tell_) tell_(noUpdateText());
}
