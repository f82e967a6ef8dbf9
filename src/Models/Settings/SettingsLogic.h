#pragma once
#include "Models/Settings/MenuBarMetric.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class Preferences;
namespace Platform { class LoginItemService; }

// What the settings screen decides and computes, apart from drawing it.
namespace SettingsLogic {

// The screen's sections, in sub-tab order. (`protected` is a keyword, hence the underscore.)
enum class SettingsSection { general, menuBar, protected_, projects };
inline constexpr std::array<SettingsSection, 4> allSections = {
    SettingsSection::general, SettingsSection::menuBar, SettingsSection::protected_,
    SettingsSection::projects,
};
QString rawValue(SettingsSection section);  // "general", "menuBar", "protected", "projects"
std::optional<SettingsSection> settingsSectionFromRawValue(const QString& raw);
QString title(SettingsSection section);     // "General", "Menu Bar", "Protected", "Projects"

// ---- "Open at login"

struct LoginSwitch {
    bool launchAtLogin = false;       // what the switch shows
    bool loginNeedsApproval = false;  // the detail then asks for approval
    bool operator==(const LoginSwitch&) const = default;
};
// The switch as the service reports it now.
LoginSwitch readLoginSwitch(const Platform::LoginItemService& service);
// The user flipped the switch to `value`: register or unregister, read the status
// back, and open the desktop's startup settings when approval is needed. The
// result, not `value`, is what the switch must show.
LoginSwitch flipLoginSwitch(bool value, Platform::LoginItemService& service);
QString loginDetail(bool loginNeedsApproval);

// ---- General rows' details

QString alwaysTrashDetail(bool alwaysTrash);
QString fullDiskAccessDetail(bool hasFullDiskAccess);
// "30 days"
QString staleDaysText(int days);
inline constexpr int staleDaysMinimum = 1;
inline constexpr int staleDaysMaximum = 365;

// ---- Menu Bar

// `current` with `metric` switched on or off, in declaration order, without repeats.
QList<MenuBarMetric> toggledMetrics(const QList<MenuBarMetric>& current, MenuBarMetric metric, bool on);
// Stores the toggled list in the preferences.
void toggleMetric(Preferences& prefs, MenuBarMetric metric, bool on);
// The symbol shown beside a metric's toggle.
QString metricSymbol(MenuBarMetric metric);

// ---- Protected and Projects

enum class PathList { protectedPaths, projectRoots };
QString explanation(PathList list);
// Only the Protected list accepts files as well as folders.
bool canChooseFiles(PathList list);
QStringList paths(const Preferences& prefs, PathList list);
void setPaths(Preferences& prefs, PathList list, const QStringList& value);

// `path` with the home folder written "~": only when it is the home folder itself
// or lies below it (a sibling such as "/home/alice" for home "/home/al" stays whole).
QString abbreviatedPath(const QString& path, const QString& home);
// Appends each chosen path, abbreviated, unless the list already holds it; one
// assignment per append. `home` defaults to the unresolved home folder.
void addChosenPaths(Preferences& prefs, PathList list, const QStringList& chosen,
                    const QString& home = {});
// `list` without any entry equal to `entry`.
QStringList removingAll(const QStringList& list, const QString& entry);
// "Remove": drops every entry equal to the selection (one assignment), then clears it.
void removeSelected(Preferences& prefs, PathList list, std::optional<QString>& selection);

}  // namespace SettingsLogic
