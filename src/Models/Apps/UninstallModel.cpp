#include "Models/Apps/UninstallModel.h"

#include <QCoroFuture>
#include <QFileSystemWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include "Core/Text.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Kit/Sleep.h"
#include "Platform/Locations.h"
#include "Platform/Workspace.h"

namespace fs = std::filesystem;

namespace {
const char* const kAction = "uninstall";
}

std::set<std::string> UninstallModel::defaultRunningBundleIDs() {
    return Platform::Workspace::runningBundleIDs(Platform::Workspace::runningApplications());
}

UninstallModel::UninstallModel(QObject* parent) : UninstallModel(Environment{}, parent) {}

UninstallModel::UninstallModel(Environment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {
    setFiles(emptyList());
}

UninstallModel::~UninstallModel() = default;

CleanListModel* UninstallModel::emptyList() {
    return new CleanListModel(kAction, [](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> { co_return {}; },
                              this);
}

void UninstallModel::setSearch(const QString& value) {
    if (search_ == value) return;
    search_ = value;
    emit searchChanged(value);
}

void UninstallModel::setChosen(std::optional<InstalledApp> value) {
    if (chosen_ == value) return;
    chosen_ = std::move(value);
    emit chosenChanged();
}

void UninstallModel::setChosenIsRunning(bool value) {
    if (chosenIsRunning_ == value) return;
    chosenIsRunning_ = value;
    emit chosenIsRunningChanged(value);
}

void UninstallModel::setFiles(CleanListModel* list) {
    CleanListModel* old = files_;
    files_ = list;
    connect(files_, &CleanListModel::phaseChanged, this, &UninstallModel::busyChanged);
    emit filesChanged();
    emit busyChanged();
    if (old) {
        // A scan still running finishes into the old list, which nobody shows.
        old->disconnect(this);
        old->deleteLater();
    }
}

void UninstallModel::loadApps() {
    reloadApps();
    if (watcher_ && !watcher_->directories().isEmpty()) return;
    // A folder that does not exist now is not watched for the rest of the run,
    // unless neither could be watched: then the next load tries both again.
    auto* watcher = watcher_ ? watcher_ : new QFileSystemWatcher(this);
    for (const fs::path& folder : environment_.folders) watcher->addPath(pathToQString(folder));
    if (watcher->directories().isEmpty()) {
        if (!watcher_) delete watcher;
        return;
    }
    watcher_ = watcher;
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &UninstallModel::folderChanged);
}

void UninstallModel::folderChanged() {
    reloadAfter(quietReload, ++pendingReload_);
    reloadAfter(lateReload, std::nullopt);
}

QCoro::Task<> UninstallModel::reloadAfter(double seconds, std::optional<quint64> generation) {
    QPointer<UninstallModel> self(this);
    co_await Pacing::sleepSeconds(seconds);
    if (!self || (generation && *generation != self->pendingReload_)) co_return;
    self->reloadApps();
}

void UninstallModel::reloadApps() {
    if (reading_) readAgain_ = true;
    else readApps();
}

QCoro::Task<> UninstallModel::readApps() {
    QPointer<UninstallModel> self(this);
    reading_ = true;
    do {
        readAgain_ = false;
        auto listing = QtConcurrent::run(
            [list = environment_.installedApps, folders = environment_.folders] { return list(folders); });
        std::vector<InstalledApp> apps = co_await listing;
        if (!self) co_return;
        self->publish(std::move(apps));
    } while (self->readAgain_);
    self->reading_ = false;
}

void UninstallModel::publish(std::vector<InstalledApp> apps) {
    if (apps == apps_ && listed_) return;
    listed_ = true;
    apps_ = std::move(apps);
    emit appsChanged();
    if (!chosen_) return;
    using Kind = CleanListModel::Phase::Kind;
    const Kind phase = files_->phase().kind;
    // The chosen bundle leaves the folder during its own uninstall: the choice stays
    // while that runs and while its result shows.
    if (phase == Kind::cleaning || phase == Kind::done) return;
    for (const InstalledApp& app : apps_)
        if (app.url == chosen_->url) return;
    setChosen(std::nullopt);
    setChosenIsRunning(false);
    setFiles(emptyList());
}

void UninstallModel::select(const InstalledApp& app) {
    if (files_->phase().kind == CleanListModel::Phase::Kind::cleaning) return;
    setChosen(app);
    setChosenIsRunning(false);
    ++runningCheck_;  // an answer about the app chosen before is stale
    QPointer<UninstallModel> self(this);
    const auto running = environment_.runningBundleIDs;
    const fs::path home = Platform::Locations::resolvedHome();
    auto* list = new CleanListModel(
        kAction,
        [self, app, running, home](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> {
            // Started in a statement of its own: a temporary lambda inside a
            // co_await expression is destroyed twice by this compiler.
            auto search = QtConcurrent::run([app, running, home] {
                // A running app would write its files again at once: it yields nothing.
                if (running().count(app.bundleID)) return std::pair{true, std::vector<CleanItem>{}};
                return std::pair{false, AppUninstaller::files(app, home)};
            });
            auto [isRunning, found] = co_await search;
            // Told before the list shows its empty result, so no other state flashes first.
            if (self && self->chosen_ == app) self->setChosenIsRunning(isRunning);
            co_return std::move(found);
        },
        this);
    list->setExtraRoots(environment_.folders);
    setFiles(list);
    list->scan();
}

void UninstallModel::checkRunning() {
    if (chosen_) askRunning(chosen_->bundleID, ++runningCheck_);
}

QCoro::Task<> UninstallModel::askRunning(std::string id, quint64 check) {
    QPointer<UninstallModel> self(this);
    auto answer = QtConcurrent::run([running = environment_.runningBundleIDs, id] { return running().count(id) > 0; });
    const bool running = co_await answer;
    // Only the newest question about the app still chosen is answered.
    if (!self || check != self->runningCheck_ || !self->chosen_ || self->chosen_->bundleID != id) co_return;
    self->setChosenIsRunning(running);
}

std::vector<UninstallModel::InstalledApp> UninstallModel::filtered(const std::vector<InstalledApp>& apps,
                                                                   const QString& search) {
    if (search.isEmpty()) return apps;
    Text::CaseInsensitiveSearch needle(fromQString(search));
    std::vector<InstalledApp> out;
    for (const InstalledApp& app : apps)
        if (needle.foundIn(app.name)) out.push_back(app);
    return out;
}
