#include "Models/Settings/SettingsLogic.h"

#include "Models/Settings/LaunchAtLogin.h"
#include "Models/Settings/Preferences.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Kit/RawValue.h"
#include "Platform/Locations.h"
#include "Platform/LoginItemService.h"
#include "Models/Kit/Localization.h"

#include <QCoreApplication>

#include <set>

namespace SettingsLogic {
namespace {
QString tr(const char* text) { return QCoreApplication::translate("SettingsView", text); }

constexpr const char* sectionRaws[] = {"general", "menuBar", "protected", "projects"};
constexpr const char* sectionTitles[] = {
    QT_TRANSLATE_NOOP("SettingsView", "General"),
    QT_TRANSLATE_NOOP("SettingsView", "Menu Bar"),
    QT_TRANSLATE_NOOP("SettingsView", "Protected"),
    QT_TRANSLATE_NOOP("SettingsView", "Projects"),
};
}  // namespace

QString rawValue(SettingsSection section) {
    return QString::fromLatin1(sectionRaws[static_cast<int>(section)]);
}

std::optional<SettingsSection> settingsSectionFromRawValue(const QString& raw) {
    return caseWithRawValue(allSections, raw);
}

QString title(SettingsSection section) { return tr(sectionTitles[static_cast<int>(section)]); }

LoginSwitch readLoginSwitch(const Platform::LoginItemService& service) {
    using Status = Platform::LoginItemService::Status;
    const Status status = service.status();
    return {status == Status::enabled, status == Status::requiresApproval};
}

LoginSwitch flipLoginSwitch(bool value, Platform::LoginItemService& service) {
    // The outcome is read back below; a refused registration springs back to off.
    (void)LaunchAtLogin::set(value, service);
    const LoginSwitch now = readLoginSwitch(service);
    if (now.loginNeedsApproval) service.openSystemSettingsLoginItems();
    return now;
}

QString loginDetail(bool loginNeedsApproval) {
    return loginNeedsApproval
               ? tr("Waiting for approval in System Settings › General › Login Items.")
               : tr("Quelto starts in the menu bar when you log in, without opening its window.");
}

QString alwaysTrashDetail(bool alwaysTrash) {
    return alwaysTrash ? tr("Everything Quelto removes goes to the Trash, so you can put it back.")
                       : tr("Caches and build files are deleted right away to free space now. "
                            "Anything you might want goes to the Trash.");
}

QString fullDiskAccessDetail(bool hasFullDiskAccess) {
    return hasFullDiskAccess ? tr("On — Quelto can see Mail, Safari and the Trash.")
                             : tr("Off — macOS hides Mail, Safari and the Trash from Quelto.");
}

QString staleDaysText(int days) { return counted("%n days", days); }

QList<MenuBarMetric> toggledMetrics(const QList<MenuBarMetric>& current, MenuBarMetric metric, bool on) {
    std::set<MenuBarMetric> chosen(current.begin(), current.end());
    if (on)
        chosen.insert(metric);
    else
        chosen.erase(metric);
    QList<MenuBarMetric> out;
    for (MenuBarMetric m : MenuBarMetrics::allCases)
        if (chosen.count(m)) out.append(m);
    return out;
}

void toggleMetric(Preferences& prefs, MenuBarMetric metric, bool on) {
    prefs.setMenuBarMetrics(toggledMetrics(prefs.menuBarMetrics(), metric, on));
}

QString metricSymbol(MenuBarMetric metric) {
    switch (metric) {
    case MenuBarMetric::cpu: return QStringLiteral("cpu");
    case MenuBarMetric::gpu: return QStringLiteral("rectangle.3.group");
    case MenuBarMetric::memory: return QStringLiteral("memorychip");
    case MenuBarMetric::temperature: return QStringLiteral("thermometer.medium");
    case MenuBarMetric::disk: return QStringLiteral("internaldrive");
    case MenuBarMetric::network: return QStringLiteral("arrow.up.arrow.down");
    case MenuBarMetric::battery: return QStringLiteral("battery.75percent");
    }
    return {};
}

QString explanation(PathList list) {
    return list == PathList::protectedPaths
               ? tr("Quelto never removes these folders or anything inside them.")
               : tr("Projects scans these folders for build artifacts.");
}

bool canChooseFiles(PathList list) { return list == PathList::protectedPaths; }

QStringList paths(const Preferences& prefs, PathList list) {
    return list == PathList::protectedPaths ? prefs.protectedPaths() : prefs.projectRoots();
}

void setPaths(Preferences& prefs, PathList list, const QStringList& value) {
    if (list == PathList::protectedPaths)
        prefs.setProtectedPaths(value);
    else
        prefs.setProjectRoots(value);
}

QString abbreviatedPath(const QString& path, const QString& home) {
    // "~" is expanded again later: it may only stand for the home folder itself, so
    // the rest must be empty or start at a "/" (never "/home/al" + "ice").
    QString h = home;
    while (h.size() > 1 && h.endsWith(QLatin1Char('/'))) h.chop(1);
    if (h.isEmpty() || h == QLatin1String("/")) return path;
    if (path == h) return QStringLiteral("~");
    if (path.startsWith(h) && path.at(h.size()) == QLatin1Char('/')) return QLatin1Char('~') + path.mid(h.size());
    return path;
}

void addChosenPaths(Preferences& prefs, PathList list, const QStringList& chosen, const QString& home) {
    const QString h = home.isEmpty() ? pathToQString(Platform::Locations::home()) : home;
    for (const auto& path : chosen) {
        const QString entry = abbreviatedPath(path, h);
        QStringList current = paths(prefs, list);
        if (current.contains(entry)) continue;
        current.append(entry);
        setPaths(prefs, list, current);
    }
}

QStringList removingAll(const QStringList& list, const QString& entry) {
    QStringList out;
    for (const auto& s : list)
        if (s != entry) out.append(s);
    return out;
}

void removeSelected(Preferences& prefs, PathList list, std::optional<QString>& selection) {
    if (selection) setPaths(prefs, list, removingAll(paths(prefs, list), *selection));
    selection.reset();
}

}  // namespace SettingsLogic
