#pragma once
#include "Models/Window/AppTab.h"
#include "Models/Window/AppsMode.h"
#include "Models/Window/CleanMode.h"
#include "Models/Status/FanControl.h"
#include "Models/Status/Monitor.h"

#include <QObject>

#include <functional>

class AnalyzeModel;
class CleanListModel;
class OptimizeModel;
class QuickClean;
class UninstallModel;
class UpdatesModel;
class Preferences;
class StartupModel;

// The one application-wide state: what the main window shows and whether the
// application has Full Disk Access. Main thread only; setters notify only on change.
class AppState : public QObject {
    Q_OBJECT
    Q_PROPERTY(AppTab tab READ tab WRITE setTab NOTIFY tabChanged)
    Q_PROPERTY(CleanMode cleanMode READ cleanMode WRITE setCleanMode NOTIFY cleanModeChanged)
    Q_PROPERTY(bool showHistory READ showHistory WRITE setShowHistory NOTIFY showHistoryChanged)
    Q_PROPERTY(bool showSettings READ showSettings WRITE setShowSettings NOTIFY showSettingsChanged)
    Q_PROPERTY(bool hasFullDiskAccess READ hasFullDiskAccess WRITE setHasFullDiskAccess NOTIFY hasFullDiskAccessChanged)
    Q_PROPERTY(AppsMode appsMode READ appsMode WRITE setAppsMode NOTIFY appsModeChanged)

public:
    // The one instance, created on first use and kept for the process.
    static AppState& shared();

    // Probes Full Disk Access once, now.
    explicit AppState(QObject* parent = nullptr);
    // The monitor reads the machine through `sensors` (tests: a fixture tree).
    explicit AppState(const Sensors::Roots& sensors, QObject* parent = nullptr);

    AppTab tab() const { return tab_; }
    CleanMode cleanMode() const { return cleanMode_; }
    bool showHistory() const { return showHistory_; }
    bool showSettings() const { return showSettings_; }
    bool hasFullDiskAccess() const { return hasFullDiskAccess_; }
    AppsMode appsMode() const { return appsMode_; }

    void setTab(AppTab value);
    void setCleanMode(CleanMode value);
    void setShowHistory(bool value);
    void setShowSettings(bool value);
    void setHasFullDiskAccess(bool value);
    void setAppsMode(AppsMode value);

    // The live monitor of the machine, sampling from construction for the whole run.
    Monitor& monitor() const { return *monitor_; }
    // Switches the fan mode through the fan tool; starts at automatic on every launch.
    FanControl& fanControl() const { return *fanControl_; }
    // The Clean tab's four cleaning lists, made with the state and kept for the run.
    CleanListModel& junk() const { return *junk_; }
    CleanListModel& ai() const { return *ai_; }
    CleanListModel& projects() const { return *projects_; }
    CleanListModel& installers() const { return *installers_; }
    // The analyzer, made with the state and kept for the run.
    AnalyzeModel& analyze() const { return *analyze_; }
    // The maintenance tasks of the Optimize tab, made with the state and kept for the run.
    OptimizeModel& optimize() const { return *optimize_; }
    // The uninstaller: installed apps, the chosen one and its cleaning list.
    UninstallModel& uninstall() const { return *uninstall_; }
    // The app updates: the last check's findings and the updates being applied.
    UpdatesModel& updates() const { return *updates_; }
    // What starts on its own: the Apps tab's Startup screen.
    StartupModel& startup() const { return *startup_; }
    // The menu-bar panel's quick clean over the junk list; its phase outlives the panel.
    QuickClean& quickClean() const { return *quickClean_; }

    // Whether work runs on that tab. `busyChanged` tells when an answer may have changed.
    bool isBusy(AppTab tab) const;
    // Whether work runs on any tab, asked in the tabs' order.
    bool isAnyBusy() const;

    // Brings up the main window; the application sets it. Not observed.
    std::function<void()> openMainWindow;
    // Calls `openMainWindow` when set, through a copy: the window's first show
    // replaces the opener while it runs.
    void bringUpMainWindow() const;

    // The menu-bar status item, made once for the process and kept; null until then
    // and where nothing makes one (no factory). Not observed.
    QObject* statusItem() const { return statusItem_; }
    // How the status item is made (the views layer knows it); the state owns what it returns.
    std::function<QObject*(AppState&, Preferences&)> makeStatusItem;
    // Makes the status item unless there is one already.
    void ensureStatusItem(Preferences& prefs);
    // The main window's content shows: `openWindow` becomes the window opener
    // (replaced on every call) and the status item exists from now on.
    void installStatusItem(Preferences& prefs, std::function<void()> openWindow);

signals:
    void tabChanged(AppTab value);
    void cleanModeChanged(CleanMode value);
    void showHistoryChanged(bool value);
    void showSettingsChanged(bool value);
    void hasFullDiskAccessChanged(bool value);
    void appsModeChanged(AppsMode value);
    // A feature model started or ended work; ask isBusy again.
    void busyChanged();

private:
    AppTab tab_ = AppTab::clean;
    CleanMode cleanMode_ = CleanMode::system;
    bool showHistory_ = false;
    bool showSettings_ = false;
    bool hasFullDiskAccess_ = false;
    AppsMode appsMode_ = AppsMode::uninstall;
    Monitor* monitor_;
    FanControl* fanControl_;
    CleanListModel* junk_;
    CleanListModel* ai_;
    CleanListModel* projects_;
    CleanListModel* installers_;
    AnalyzeModel* analyze_;
    OptimizeModel* optimize_;
    UninstallModel* uninstall_;
    UpdatesModel* updates_;
    QuickClean* quickClean_;
    QObject* statusItem_ = nullptr;
    StartupModel* startup_;
};
