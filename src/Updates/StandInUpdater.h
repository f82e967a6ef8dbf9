#pragma once
#include <QString>

#include <functional>

#include "Updates/Updater.h"

// The updater of this build, which has no update feed: a check finds nothing, and
// says so; nothing is ever downloaded or installed.
class StandInUpdater : public Updater {
public:
    // `tell` shows a short note to the user.
    explicit StandInUpdater(std::function<void(const QString&)> tell);
    void checkForUpdates() override;

    static QString noUpdateText();

private:
    std::function<void(const QString&)> tell_;
};
