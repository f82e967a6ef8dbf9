#include "Models/AppsMode.h"

#include <QCoreApplication>

namespace {
constexpr const char* raws[] = {"uninstall", "updates", "startup"};
constexpr const char* titles[] = {
    QT_TRANSLATE_NOOP("AppsMode", "Uninstall"),
    QT_TRANSLATE_NOOP("AppsMode", "Updates"),
    QT_TRANSLATE_NOOP("AppsMode", "Startup"),
};
}  // namespace

QString rawValue(AppsMode mode) { return QString::fromLatin1(raws[static_cast<int>(mode)]); }

std::optional<AppsMode> appsModeFromRawValue(const QString& raw) {
    for (AppsMode m : AppsModes::allCases)
        if (raw == QLatin1String(raws[static_cast<int>(m)])) return m;
    return std::nullopt;
}

QString title(AppsMode mode) {
    return QCoreApplication::translate("AppsMode", titles[static_cast<int>(mode)]);
}
