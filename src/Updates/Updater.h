#pragma once
#include <functional>

// What the application asks of the update framework, and what the framework tells
// back. Quelto supplies no feed of its own: where updates come from is the
// framework's business.
class UpdaterDelegate {
public:
    virtual ~UpdaterDelegate() = default;
    // An update is downloaded and would be installed when Quelto quits. `install`
    // installs it at once and relaunches Quelto. True: the delegate will call it
    // (if Quelto quits first, the framework installs on quit by itself).
    virtual bool willInstallUpdateOnQuit(std::function<void()> install) = 0;
};

// The framework's updater, started when it is made; it then checks on its own schedule.
class Updater {
public:
    virtual ~Updater() = default;
    // The user asked: check now and tell the result, never in a modal alert.
    virtual void checkForUpdates() = 0;
};
