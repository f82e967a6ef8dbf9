#include "Models/CleanMode.h"

namespace {
constexpr const char* raws[] = {"system", "ai", "projects", "installers"};
}

QString rawValue(CleanMode mode) { return QString::fromLatin1(raws[static_cast<int>(mode)]); }

std::optional<CleanMode> cleanModeFromRawValue(const QString& raw) {
    for (CleanMode m : CleanModes::allCases)
        if (raw == QLatin1String(raws[static_cast<int>(m)])) return m;
    return std::nullopt;
}
