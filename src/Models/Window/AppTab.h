#pragma once
#include "Models/Kit/Rgba.h"

#include <QMetaType>
#include <QString>

#include <array>
#include <optional>

// The main window's five tabs, in tab-bar order.
enum class AppTab { clean, apps, optimize, analyze, status };

namespace AppTabs {
inline constexpr std::array<AppTab, 5> allCases = {
    AppTab::clean, AppTab::apps, AppTab::optimize, AppTab::analyze, AppTab::status,
};
}

// The two stops of the backdrop's vertical gradient.
struct TabTint {
    Rgba top;
    Rgba bottom;
    constexpr bool operator==(const TabTint&) const = default;
};

QString rawValue(AppTab tab);
// Exact match only: "Clean" or " clean" give none.
std::optional<AppTab> appTabFromRawValue(const QString& raw);
// Localized tab-bar title.
QString title(AppTab tab);
TabTint tint(AppTab tab);
Rgba glow(AppTab tab);

Q_DECLARE_METATYPE(AppTab)
