#pragma once
#include <QCoroTask>
#include <QObject>
#include <QPointer>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Core/Apps/AppUninstaller.h"

class CleanListModel;
class QFileSystemWatcher;

// The state behind the Uninstall screen: the installed apps, kept current by
// watching the application folders, the search text, the app the user picked and
// the cleaning list of its bundle and leftovers. Main thread only.
class UninstallModel : public QObject {
    Q_OBJECT

public:
    using InstalledApp = AppUninstaller::InstalledApp;

    // Where the apps live, how they are listed and how running apps are told;
    // tests point these at fixtures.
    struct Environment {
        std::vector<std::filesystem::path> folders = AppUninstaller::applicationFolders();
        std::function<std::vector<InstalledApp>(const std::vector<std::filesystem::path>&)> installedApps =
            [](const auto& folders) { return AppUninstaller::installedApps(folders); };
        // The identifiers of the running applications. Called off the main thread.
        std::function<std::set<std::string>()> runningBundleIDs = defaultRunningBundleIDs;
    };
    static std::set<std::string> defaultRunningBundleIDs();

    explicit UninstallModel(QObject* parent = nullptr);
    UninstallModel(Environment environment, QObject* parent = nullptr);
    ~UninstallModel() override;

    // By name, as the folders' listing orders them.
    const std::vector<InstalledApp>& apps() const { return apps_; }
    // The folders have been read at least once: an empty list now means no apps.
    bool listed() const { return listed_; }
    // A read of the folders runs.
    bool reading() const { return reading_; }
    const QString& search() const { return search_; }
    void setSearch(const QString& value);
    const std::optional<InstalledApp>& chosen() const { return chosen_; }
    // The chosen app's list; at first an idle one that finds nothing. Replaced,
    // never changed into another app's list: readers follow filesChanged.
    CleanListModel& files() const { return *files_; }
    // Whether the chosen app was running when last checked.
    bool chosenIsRunning() const { return chosenIsRunning_; }

    // Reads the apps again and, on the first call that can, starts watching the folders.
    void loadApps();
    // Reads the apps again off the main thread (every bundle's Info.plist is read)
    // and then drops a choice whose bundle is gone, unless its uninstall runs or its
    // result shows. A call while a read runs reads once more after it.
    void reloadApps();
    // Chooses the app and starts the search for its files. Ignored while the
    // current list cleans: its removal, progress and report stay on show.
    void select(const InstalledApp& app);
    // Asks again whether the chosen app runs, off the main thread.
    void checkRunning();
    // What a change in a watched folder does: a reload once the folder has been
    // quiet for a moment, and another a while after this change whatever follows.
    void folderChanged();

    // Apps whose name holds `search` (letter case ignored), in list order; all of
    // them for an empty search.
    static std::vector<InstalledApp> filtered(const std::vector<InstalledApp>& apps, const QString& search);

    // Seconds from a folder change to the reload that waits for quiet, and to the
    // one that always runs.
    static constexpr double quietReload = 0.8, lateReload = 4.0;

signals:
    void appsChanged();
    void searchChanged(const QString& value);
    void chosenChanged();
    void filesChanged();
    void chosenIsRunningChanged(bool value);
    // The list's phase changed, or another list took its place: ask isBusy again.
    void busyChanged();

private:
    void setChosen(std::optional<InstalledApp> value);
    void setFiles(CleanListModel* list);
    void setChosenIsRunning(bool value);
    CleanListModel* emptyList();
    QCoro::Task<> readApps();
    void publish(std::vector<InstalledApp> apps);
    QCoro::Task<> reloadAfter(double seconds, std::optional<quint64> generation);
    QCoro::Task<> askRunning(std::string id, quint64 check);

    Environment environment_;
    std::vector<InstalledApp> apps_;
    bool listed_ = false;
    bool reading_ = false, readAgain_ = false;
    QString search_;
    std::optional<InstalledApp> chosen_;
    CleanListModel* files_ = nullptr;
    bool chosenIsRunning_ = false;
    QFileSystemWatcher* watcher_ = nullptr;
    // Bumped by each folder change: a waiting quiet reload runs only if none came after it.
    quint64 pendingReload_ = 0;
    quint64 runningCheck_ = 0;
};
