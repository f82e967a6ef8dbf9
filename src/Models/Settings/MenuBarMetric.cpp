#include "Models/Settings/MenuBarMetric.h"

#include "Models/Kit/RawValue.h"

#include <QCoreApplication>

namespace {
constexpr const char* raws[] = {"cpu", "gpu", "memory", "temperature", "disk", "network", "battery"};
constexpr const char* titles[] = {
    QT_TRANSLATE_NOOP("MenuBarMetric", "CPU usage"),
    QT_TRANSLATE_NOOP("MenuBarMetric", "GPU usage"),
    QT_TRANSLATE_NOOP("MenuBarMetric", "Memory usage"),
    QT_TRANSLATE_NOOP("MenuBarMetric", "CPU temperature"),
    QT_TRANSLATE_NOOP("MenuBarMetric", "Free disk space"),
    QT_TRANSLATE_NOOP("MenuBarMetric", "Network speed"),
    QT_TRANSLATE_NOOP("MenuBarMetric", "Battery"),
};
}  // namespace

QString rawValue(MenuBarMetric metric) { return QString::fromLatin1(raws[static_cast<int>(metric)]); }

std::optional<MenuBarMetric> menuBarMetricFromRawValue(const QString& raw) {
    return caseWithRawValue(MenuBarMetrics::allCases, raw);
}

QString title(MenuBarMetric metric) {
    return QCoreApplication::translate("MenuBarMetric", titles[static_cast<int>(metric)]);
}
