#include "Models/Window/CleanMode.h"

#include "Models/Kit/RawValue.h"

namespace {
constexpr const char* raws[] = {"system", "ai", "projects", "installers"};
}

QString rawValue(CleanMode mode) { return QString::fromLatin1(raws[static_cast<int>(mode)]); }

std::optional<CleanMode> cleanModeFromRawValue(const QString& raw) {
    return caseWithRawValue(CleanModes::allCases, raw);
}
