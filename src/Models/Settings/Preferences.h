#pragma once
#include "Core/Clean/SafetyGuard.h"
#include "Models/Settings/MenuBarMetric.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <filesystem>
#include <vector>

namespace Platform { class UserDefaults; }

// The application's settings, mirrored from the user defaults. Every key is read
// once, at creation, with its default written here (nothing is registered with the
// store); every assignment writes its key at once, and observers hear of it only
// when the value changed. Main thread only.
class Preferences : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList protectedPaths READ protectedPaths WRITE setProtectedPaths NOTIFY protectedPathsChanged)
    Q_PROPERTY(QStringList projectRoots READ projectRoots WRITE setProjectRoots NOTIFY projectRootsChanged)
    Q_PROPERTY(int staleProjectDays READ staleProjectDays WRITE setStaleProjectDays NOTIFY staleProjectDaysChanged)
    Q_PROPERTY(bool dryRun READ dryRun WRITE setDryRun NOTIFY dryRunChanged)
    Q_PROPERTY(bool alwaysTrash READ alwaysTrash WRITE setAlwaysTrash NOTIFY alwaysTrashChanged)
    Q_PROPERTY(QList<MenuBarMetric> menuBarMetrics READ menuBarMetrics WRITE setMenuBarMetrics NOTIFY menuBarMetricsChanged)
    Q_PROPERTY(bool sounds READ sounds WRITE setSounds NOTIFY soundsChanged)
    Q_PROPERTY(QStringList pinnedProcesses READ pinnedProcesses WRITE setPinnedProcesses NOTIFY pinnedProcessesChanged)

public:
    // The one instance, over the standard user defaults; created on first use.
    static Preferences& shared();

    // Reads every key from `defaults`, which must outlive this object. Never writes.
    explicit Preferences(Platform::UserDefaults& defaults, QObject* parent = nullptr);

    Platform::UserDefaults& defaults() const { return defaults_; }

    QStringList protectedPaths() const { return protectedPaths_; }
    QStringList projectRoots() const { return projectRoots_; }
    int staleProjectDays() const { return staleProjectDays_; }
    bool dryRun() const { return dryRun_; }
    bool alwaysTrash() const { return alwaysTrash_; }
    QList<MenuBarMetric> menuBarMetrics() const { return menuBarMetrics_; }
    bool sounds() const { return sounds_; }
    QStringList pinnedProcesses() const { return pinnedProcesses_; }

    void setProtectedPaths(const QStringList& value);
    void setProjectRoots(const QStringList& value);
    void setStaleProjectDays(int value);
    void setDryRun(bool value);
    void setAlwaysTrash(bool value);
    void setMenuBarMetrics(const QList<MenuBarMetric>& value);
    void setSounds(bool value);
    void setPinnedProcesses(const QStringList& value);

    // `projectRoots` with "~" expanded, keeping those that exist; order kept.
    std::vector<std::filesystem::path> projectRootURLs() const;
    // The safety gate for one listing or clean: resolved home, the protected paths
    // as stored, and the caller's extra roots.
    SafetyGuard safetyGuard(const std::vector<std::filesystem::path>& extraRoots = {}) const;

    static QStringList defaultProjectRoots();
    static QList<MenuBarMetric> defaultMenuBarMetrics();

signals:
    void protectedPathsChanged(const QStringList& value);
    void projectRootsChanged(const QStringList& value);
    void staleProjectDaysChanged(int value);
    void dryRunChanged(bool value);
    void alwaysTrashChanged(bool value);
    void menuBarMetricsChanged(const QList<MenuBarMetric>& value);
    void soundsChanged(bool value);
    void pinnedProcessesChanged(const QStringList& value);

private:
    Platform::UserDefaults& defaults_;
    QStringList protectedPaths_;
    QStringList projectRoots_;
    int staleProjectDays_ = 30;
    bool dryRun_ = false;
    bool alwaysTrash_ = false;
    QList<MenuBarMetric> menuBarMetrics_;
    bool sounds_ = true;
    QStringList pinnedProcesses_;
};
