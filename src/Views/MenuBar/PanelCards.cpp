#include "Views/MenuBar/PanelCards.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

#include "Models/Kit/Localization.h"
#include "Core/Clean/CleanTypes.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Status/Monitor.h"
#include "Models/Window/AppTab.h"
#include "Views/Kit/Theme.h"
#include "Views/Status/FanControlCard.h"
#include "Views/Status/StatusFormat.h"

namespace PanelCards {

namespace {
QString tr(const char* text) { return QCoreApplication::translate("MenuBarPanel", text); }
const QString emDash = QStringLiteral("\u2014");
using Kind = StatusCards::Graph::Kind;

QColor rgb(float r, float g, float b) { return QColor::fromRgbF(r, g, b); }

std::optional<QString> tempChip(std::optional<double> celsius) {
    if (const auto t = StatusFormat::finite(celsius)) return StatusFormat::temp(*t);
    return std::nullopt;
}

double orZero(double v) { return std::isfinite(v) ? v : 0.0; }

// A byte-count text split at its first space: the number, then the rest as the unit.
std::pair<QString, QString> splitUnit(const QString& text) {
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    if (space < 0) return {text, QString()};
    return {text.left(space), text.mid(space + 1)};
}

Content cpu(const StatusCards::Readings& r) {
    const double load = orZero(r.cpu);
    return {QStringLiteral("cpu"), QStringLiteral("CPU"), tempChip(r.cpuTemp), QString::number(StatusFormat::percent(load)),
            QStringLiteral("%"),
            (load < 0.15 ? tr("idle") : tr("busy")) + QStringLiteral(" · ") +
                tr("load %1/%2").arg(orZero(r.load), 0, 'f', 1).arg(r.cores),
            {Kind::bars, r.cpuHistory.mid(std::max<qsizetype>(0, r.cpuHistory.size() - StatusCards::cpuBars)), 0,
             Theme::good()}};
}

Content gpu(const StatusCards::Readings& r) {
    const auto load = StatusFormat::finite(r.gpu);
    return {QStringLiteral("rectangle.3.group"), QStringLiteral("GPU"), tempChip(r.gpuTemp),
            load ? QString::number(StatusFormat::percent(*load)) : emDash, QStringLiteral("%"),
            r.gpuCores ? counted("%n cores", *r.gpuCores) : tr("integrated"),
            {Kind::sparkline, r.gpuHistory, 0, Theme::color(glow(AppTab::status))}};
}

Content memory(const StatusCards::Readings& r) {
    const auto& m = r.memory;
    const QString pressure = m.pressure < 2 ? tr("normal") : m.pressure < 4 ? tr("elevated") : tr("high");
    return {QStringLiteral("memorychip"), tr("Memory"), pressure,
            QString::number(StatusFormat::percent(double(m.used) / double(std::max<int64_t>(m.total, 1)))),
            QStringLiteral("%"), toQString(formattedMemory(m.used)) + QStringLiteral(" / ") + toQString(formattedMemory(m.total)),
            {Kind::sparkline, r.memoryHistory, 0, rgb(0.95f, 0.85f, 0.6f)}};
}

Content disk(const StatusCards::Readings& r) {
    const auto& d = r.disk;
    const double fraction = d.usedFraction();
    auto [value, unit] = splitUnit(toQString(formattedBytes(d.available)));
    if (value.isEmpty()) value = emDash;
    return {QStringLiteral("internaldrive"), tr("Disk"), toQString(formattedBytes(d.total)), value, unit,
            tr("%1 used · %2%").arg(toQString(formattedBytes(d.used()))).arg(d.usedPercent()),
            {Kind::meter, {}, fraction, rgb(0.45f, 0.6f, 0.95f)}};
}

Content network(const StatusCards::Readings& r) {
    auto [value, unit] = splitUnit(formattedRate(r.download));
    if (value.isEmpty()) value = QStringLiteral("0");
    return {QStringLiteral("network"), tr("Network"), r.connection ? *r.connection : tr("Offline"), value, unit,
            QStringLiteral("↑ ") + formattedRate(r.upload),
            {Kind::sparkline, StatusCards::networkFractions(r.networkHistory), 0, rgb(0.45f, 0.75f, 1.0f)}};
}

Content heat(const StatusCards::Readings& r, const std::vector<FanReader::Fan>& fans) {
    const QString word = StatusFormat::thermal(r.thermal).word;
    const auto t = StatusFormat::finite(r.cpuTemp);
    Content c{QStringLiteral("thermometer.medium"), tr("Heat"), word,
              t ? QString::number(static_cast<long long>(std::round(std::clamp(*t, -1e9, 1e9)))) : emDash,
              QStringLiteral("°C"), word, {}};
    if (!fans.empty()) {
        // The fan card's reading of the first fan: a speed that is not a number counts as stopped.
        c.chip = tr("Load %1%").arg(FanControlCard::content(fans, true, FanPreset::auto_, false, {}).load);
        return c;
    }
    // Empty at 30 °C, full from 100 °C; as for 40 °C without a reading.
    c.graph = {Kind::meter, {}, t ? std::clamp((*t - 30) / 70, 0.0, 1.0) : 1.0 / 7, Theme::review()};
    return c;
}
}  // namespace

Content content(Card card, const StatusCards::Readings& r, const std::vector<FanReader::Fan>& fans) {
    switch (card) {
        case Card::cpu: return cpu(r);
        case Card::gpu: return gpu(r);
        case Card::memory: return memory(r);
        case Card::disk: return disk(r);
        case Card::network: return network(r);
        case Card::heat: break;
    }
    return heat(r, fans);
}

}  // namespace PanelCards
