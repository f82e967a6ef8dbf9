#pragma once
#include <QCoroTask>
#include <QObject>

#include <chrono>
#include <functional>

class AppState;
namespace Platform { class UserDefaults; }

// Installs a downloaded update once the user has left the computer alone for ten
// minutes while no main window is up and no tab has work running, and marks the
// relaunch so that the new version starts without a window. Armed, it looks once a
// minute on the monotonic clock; unarmed, it does nothing at all. Main thread only.
class IdleUpdateInstaller : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::seconds tickSpan{60};
    static constexpr double idleNeeded = 600.0;

    // Asks `state` whether work runs; writes the relaunch mark into `defaults`.
    IdleUpdateInstaller(AppState& state, Platform::UserDefaults& defaults, QObject* parent = nullptr);
    ~IdleUpdateInstaller() override;

    // Keeps `install` (replacing an older one) and starts looking, unless it already does.
    void arm(std::function<void()> install);
    // One look: installs when everything allows it.
    void tick();

    bool isArmed() const { return bool(install_); }
    bool isLooking() const { return looking_; }
    // A main window is visible: a window the window manager handles, as a window or a
    // dialog. Menus, tool tips, panels, tool windows and the tray icon's own window do not count.
    static bool hasWindowOpen();

    // The user's idle seconds; the X server's screen saver unless replaced.
    std::function<double()> idleSeconds;
    // Whether a main window is up; hasWindowOpen unless replaced.
    std::function<bool()> windowOpen;

private:
    QCoro::Task<> look(int generation);

    AppState& state_;
    Platform::UserDefaults& defaults_;
    std::function<void()> install_;
    bool looking_ = false;
    int generation_ = 0;
};
