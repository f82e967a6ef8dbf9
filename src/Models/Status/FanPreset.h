#pragma once
#include <QMetaType>
#include <QString>

#include <array>
#include <optional>

// The three fan modes. (`auto` is a keyword here, hence the underscore.)
enum class FanPreset { auto_, cool, max };

namespace FanPresets {
inline constexpr std::array<FanPreset, 3> allCases = {FanPreset::auto_, FanPreset::cool, FanPreset::max};
}

QString rawValue(FanPreset preset);  // "auto", "cool", "max"
std::optional<FanPreset> fanPresetFromRawValue(const QString& raw);
// Localized: "Auto", "Cool", "Max".
QString title(FanPreset preset);
// Localized: "Managed by macOS", "Cooling ahead of load", "Maximum cooling".
QString explanation(FanPreset preset);

Q_DECLARE_METATYPE(FanPreset)
