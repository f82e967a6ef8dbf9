#include "Models/Window/AppState.h"

#include <algorithm>

#include "Core/Permissions.h"
#include "Models/Apps/UninstallModel.h"
#include "Models/Apps/UpdatesModel.h"
#include "Models/Analyze/AnalyzeModel.h"
#include "Models/Apps/StartupModel.h"
#include "Models/Clean/CleanFinders.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Kit/AssignIfChanged.h"
#include "Models/MenuBar/QuickClean.h"
#include "Models/Status/OptimizeModel.h"

AppState& AppState::shared() {
    // Never released: models hold timers and watchers for the whole run.
    static AppState* instance = new AppState;
    return *instance;
}

AppState::AppState(QObject* parent) : AppState(Sensors::Roots{}, parent) {}

AppState::AppState(const Sensors::Roots& sensors, QObject* parent)
    : QObject(parent), hasFullDiskAccess_(Permissions::hasFullDiskAccess()), monitor_(new Monitor(sensors, this)),
      fanControl_(new FanControl(this)) {
    const auto list = [this](const char* action, CleanListModel::Finder finder) {
        auto* l = new CleanListModel(action, std::move(finder), this);
        connect(l, &CleanListModel::phaseChanged, this, &AppState::busyChanged);
        return l;
    };
    junk_ = list("clean", CleanFinders::junk);
    ai_ = list("ai", CleanFinders::ai);
    projects_ = list("purge", CleanFinders::projects);
    installers_ = list("installers", CleanFinders::installers);
    analyze_ = new AnalyzeModel(this);
    connect(analyze_, &AnalyzeModel::busyChanged, this, &AppState::busyChanged);
    optimize_ = new OptimizeModel(this);
    connect(optimize_, &OptimizeModel::runningChanged, this, &AppState::busyChanged);
    connect(optimize_, &OptimizeModel::feedChanged, this, &AppState::busyChanged);
    uninstall_ = new UninstallModel(this);
    connect(uninstall_, &UninstallModel::busyChanged, this, &AppState::busyChanged);
    updates_ = new UpdatesModel(this);
    connect(updates_, &UpdatesModel::busyChanged, this, &AppState::busyChanged);
    startup_ = new StartupModel(this);
    quickClean_ = new QuickClean(this);
}

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

void AppState::ensureStatusItem(Preferences& prefs) {
    if (statusItem_ || !makeStatusItem) return;
    statusItem_ = makeStatusItem(*this, prefs);
    if (statusItem_) statusItem_->setParent(this);
}

void AppState::installStatusItem(Preferences& prefs, std::function<void()> openWindow) {
    openMainWindow = std::move(openWindow);
    ensureStatusItem(prefs);
}

bool AppState::isBusy(AppTab tab) const {
    switch (tab) {
        case AppTab::clean:
            return junk_->isBusy() || ai_->isBusy() || projects_->isBusy() || installers_->isBusy();
        case AppTab::apps:
            return uninstall_->files().isBusy() || updates_->isBusy();
        case AppTab::analyze:
            return analyze_->listing() || analyze_->pending() > 0;
        case AppTab::optimize:
            return optimize_->isBusy();
        default:
            // No other tab's models run work yet.
            return false;
    }
}

bool AppState::isAnyBusy() const {
    return std::ranges::any_of(AppTabs::allCases, [this](AppTab tab) { return isBusy(tab); });
}

void AppState::bringUpMainWindow() const {
    if (auto open = openMainWindow) open();
}
