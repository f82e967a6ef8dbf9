#include "Views/Status/StatusFormat.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Models/Kit/QtBridge.h"
#include "Views/Kit/Theme.h"

namespace StatusFormat {

namespace {
QString tr(const char* text) { return QCoreApplication::translate("StatusFormat", text); }
const QString emDash = QStringLiteral("\u2014");
}  // namespace

std::optional<double> finite(std::optional<double> value) {
    if (value && std::isfinite(*value)) return value;
    return std::nullopt;
}

int percent(double fraction) {
    if (!std::isfinite(fraction)) return 0;
    // Far past any real reading, and well inside what an int holds.
    return int(std::trunc(std::clamp(fraction * 100, -1e9, 1e9)));
}

QString temp(double celsius) {
    if (!std::isfinite(celsius)) return emDash;
    // std::round rounds halves away from zero.
    const auto whole = static_cast<long long>(std::round(std::clamp(celsius, -1e9, 1e9)));
    return QString::number(whole) + QStringLiteral("°C");
}

QString healthWord(int score) {
    if (score >= 85) return tr("Excellent");
    if (score >= 65) return tr("Good");
    return tr("Needs care");
}

QString uptime(std::optional<double> seconds, int units) {
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0) return {};
    const auto minutes = static_cast<long long>(std::min(*seconds, 1e15) / 60);
    const long long parts[] = {minutes / (24 * 60), minutes / 60 % 24, minutes % 60};
    const char* suffixes[] = {"d", "h", "m"};
    int first = 0;
    while (first < 2 && parts[first] == 0) ++first;
    QStringList out;
    for (int i = first; i < std::min(3, first + std::max(units, 1)); ++i)
        if (parts[i] != 0 || (out.isEmpty() && i == 2)) out << QString::number(parts[i]) + QLatin1String(suffixes[i]);
    return out.join(QLatin1Char(' '));
}

QString system(const Sensors::OSVersion& version) {
    QString name = toQString(version.name).trimmed();
    for (const auto* tail : {" GNU/Linux", " Linux"})
        if (name.endsWith(QLatin1String(tail)) && name.size() > int(std::strlen(tail))) {
            name.chop(int(std::strlen(tail)));
            break;
        }
    if (name.isEmpty()) name = QStringLiteral("Linux");
    const QString major = toQString(version.majorVersion).trimmed();
    return major.isEmpty() ? name : name + QLatin1Char(' ') + major;
}

Thermal thermal(Sensors::ThermalState state) {
    switch (state) {
        case Sensors::ThermalState::nominal: return {tr("Cool"), Theme::good()};
        case Sensors::ThermalState::fair: return {tr("Warm"), Theme::review()};
        case Sensors::ThermalState::serious: return {tr("Hot"), Theme::danger()};
        case Sensors::ThermalState::critical: break;
    }
    return {tr("Throttling"), Theme::danger()};
}

}  // namespace StatusFormat
