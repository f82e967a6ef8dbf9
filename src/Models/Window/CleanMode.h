#pragma once
#include <QMetaType>
#include <QString>

#include <array>
#include <optional>

// The Clean tab's sub-modes; each has its own cleaning list.
enum class CleanMode { system, ai, projects, installers };

namespace CleanModes {
inline constexpr std::array<CleanMode, 4> allCases = {
    CleanMode::system, CleanMode::ai, CleanMode::projects, CleanMode::installers,
};
}

QString rawValue(CleanMode mode);
std::optional<CleanMode> cleanModeFromRawValue(const QString& raw);

Q_DECLARE_METATYPE(CleanMode)
