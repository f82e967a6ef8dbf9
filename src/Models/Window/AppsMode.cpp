#include "Models/Window/AppsMode.h"

#include "Models/Kit/RawValue.h"

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
    return caseWithRawValue(AppsModes::allCases, raw);
}

QString title(AppsMode mode) {
    return QCoreApplication::translate("AppsMode", titles[static_cast<int>(mode)]);
}
