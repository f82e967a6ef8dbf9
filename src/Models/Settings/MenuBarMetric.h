#pragma once
#include <QList>
#include <QMetaType>
#include <QString>

#include <array>
#include <optional>

// The values the status item can show. Declaration order is the order in which
// chosen metrics are stored and shown.
enum class MenuBarMetric { cpu, gpu, memory, temperature, disk, network, battery };

namespace MenuBarMetrics {
inline constexpr std::array<MenuBarMetric, 7> allCases = {
    MenuBarMetric::cpu,  MenuBarMetric::gpu,     MenuBarMetric::memory, MenuBarMetric::temperature,
    MenuBarMetric::disk, MenuBarMetric::network, MenuBarMetric::battery,
};
}

QString rawValue(MenuBarMetric metric);
// The identity of a metric is its raw value.
inline QString id(MenuBarMetric metric) { return rawValue(metric); }
std::optional<MenuBarMetric> menuBarMetricFromRawValue(const QString& raw);
// Localized title, e.g. "CPU usage".
QString title(MenuBarMetric metric);

Q_DECLARE_METATYPE(MenuBarMetric)
