#pragma once
#include <QMetaType>
#include <QString>

#include <array>
#include <optional>

// The Apps tab's sub-tabs, in sub-tab-bar order.
enum class AppsMode { uninstall, updates, startup };

namespace AppsModes {
inline constexpr std::array<AppsMode, 3> allCases = {
    AppsMode::uninstall, AppsMode::updates, AppsMode::startup,
};
}

QString rawValue(AppsMode mode);
std::optional<AppsMode> appsModeFromRawValue(const QString& raw);
// Localized sub-tab title: "Uninstall", "Updates", "Startup".
QString title(AppsMode mode);

Q_DECLARE_METATYPE(AppsMode)
