#include "Models/Status/FanPreset.h"

#include <QCoreApplication>

#include "Models/Kit/RawValue.h"

namespace {
constexpr const char* raws[] = {"auto", "cool", "max"};
constexpr const char* titles[] = {
    QT_TRANSLATE_NOOP("FanPreset", "Auto"),
    QT_TRANSLATE_NOOP("FanPreset", "Cool"),
    QT_TRANSLATE_NOOP("FanPreset", "Max"),
};
constexpr const char* explanations[] = {
    QT_TRANSLATE_NOOP("FanPreset", "Managed by macOS"),
    QT_TRANSLATE_NOOP("FanPreset", "Cooling ahead of load"),
    QT_TRANSLATE_NOOP("FanPreset", "Maximum cooling"),
};
}  // namespace

QString rawValue(FanPreset preset) { return QString::fromLatin1(raws[static_cast<int>(preset)]); }

std::optional<FanPreset> fanPresetFromRawValue(const QString& raw) {
    return caseWithRawValue(FanPresets::allCases, raw);
}

QString title(FanPreset preset) { return QCoreApplication::translate("FanPreset", titles[static_cast<int>(preset)]); }

QString explanation(FanPreset preset) {
    return QCoreApplication::translate("FanPreset", explanations[static_cast<int>(preset)]);
}
