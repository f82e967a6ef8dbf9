#include "Views/Status/StatusCards.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

#include "Core/Clean/CleanTypes.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Status/Monitor.h"
#include "Views/Kit/Theme.h"
#include "Views/Status/MetricViews.h"
#include "Views/Status/StatusFormat.h"
#include "Models/Kit/Localization.h"
#include "Models/Window/AppTab.h"

namespace StatusCards {

namespace {
QString tr(const char* text) { return QCoreApplication::translate("StatusView", text); }

const QColor& orange() {
    static const QColor c = Theme::color(glow(AppTab::status));
    return c;
}

double orZero(double v) { return std::isfinite(v) ? v : 0.0; }

std::optional<QString> tempChip(std::optional<double> celsius) {
    if (const auto t = StatusFormat::finite(celsius)) return StatusFormat::temp(*t);
    return std::nullopt;
}

Content cpu(const Readings& r) {
    const double load = orZero(r.cpu);
    Content c{QStringLiteral("cpu"), QStringLiteral("CPU"), QString::number(StatusFormat::percent(load)),
              QStringLiteral("%"), tempChip(r.cpuTemp), Theme::secondary(), {}, {}};
    c.footer = counted("%1 · load %2 / %n cores", r.cores)
                   .arg(load < 0.15 ? tr("idle") : tr("busy"))
                   .arg(orZero(r.load), 0, 'f', 1);
    c.graph = {Graph::Kind::bars, r.cpuHistory.mid(std::max<qsizetype>(0, r.cpuHistory.size() - cpuBars)), 0,
               Theme::good()};
    return c;
}

Content gpu(const Readings& r) {
    const auto load = StatusFormat::finite(r.gpu);
    Content c{QStringLiteral("rectangle.3.group"), QStringLiteral("GPU"),
              load ? QString::number(StatusFormat::percent(*load)) : QStringLiteral("\u2014"), QStringLiteral("%"),
              tempChip(r.gpuTemp), Theme::secondary(), {}, {}};
    c.footer = r.gpuCores ? counted("%n GPU cores", *r.gpuCores) : tr("Integrated GPU");
    c.graph = {Graph::Kind::sparkline, r.gpuHistory, 0, orange()};
    return c;
}

Content memory(const Readings& r) {
    const auto& m = r.memory;
    Content c{QStringLiteral("memorychip"), tr("Memory"),
              QString::number(StatusFormat::percent(double(m.used) / double(std::max<int64_t>(m.total, 1)))),
              QStringLiteral("%"), {}, {}, {}, {}};
    if (m.pressure >= 4) {
        c.chip = tr("Pressure high");
        c.chipColor = Theme::danger();
    } else if (m.pressure < 2) {
        c.chip = tr("Pressure normal");
        c.chipColor = Theme::secondary();
    } else {
        c.chip = tr("Pressure elevated");
        c.chipColor = Theme::review();
    }
    c.footer = toQString(formattedMemory(m.used)) + QStringLiteral(" · ") + tr("swap %1").arg(toQString(formattedMemory(m.swap)));
    c.graph = {Graph::Kind::sparkline, r.memoryHistory, 0, QColor::fromRgbF(0.95f, 0.85f, 0.6f)};
    return c;
}

Content disk(const Readings& r) {
    const auto& d = r.disk;
    const double used = d.usedFraction();
    return {QStringLiteral("internaldrive"), tr("Disk"), toQString(formattedBytes(d.available)), tr("free"),
            toQString(formattedBytes(d.total)), Theme::secondary(),
            QStringLiteral("R ") + formattedRate(r.diskRead) + QStringLiteral(" · W ") + formattedRate(r.diskWrite),
            {Graph::Kind::meter, {}, used, used > 0.85 ? Theme::review() : orange()}};
}

Content network(const Readings& r) {
    return {QStringLiteral("network"), tr("Network"), formattedRate(r.download), {},
            r.connection ? *r.connection : tr("Offline"), Theme::secondary(),
            QStringLiteral("↑ ") + formattedRate(r.upload),
            {Graph::Kind::sparkline, networkFractions(r.networkHistory), 0, QColor::fromRgbF(0.45f, 0.75f, 1.0f)}};
}

Content thermal(const Readings& r) {
    const auto state = StatusFormat::thermal(r.thermal);
    const auto t = StatusFormat::finite(r.cpuTemp);
    const auto gpuTemp = StatusFormat::finite(r.gpuTemp);
    return {QStringLiteral("thermometer.medium"), tr("Thermal"),
            t ? QString::number(static_cast<long long>(std::trunc(std::clamp(*t, -1e9, 1e9)))) : state.word,
            t ? QStringLiteral("°C") : QString(), state.word, Theme::secondary(),
            gpuTemp ? QStringLiteral("GPU ") + StatusFormat::temp(*gpuTemp) : tr("Thermal status"),
            {Graph::Kind::meter, {}, t ? std::clamp((*t - 30) / 70, 0.0, 1.0) : 1.0 / 7, state.color}};
}
}  // namespace

Readings Readings::of(const Monitor& m) {
    Readings r;
    r.cpu = m.cpu();
    r.cpuHistory = m.cpuHistory();
    r.gpu = m.gpu();
    r.gpuHistory = m.gpuHistory();
    r.cpuTemp = m.cpuTemp();
    r.gpuTemp = m.gpuTemp();
    r.memory = m.memory();
    r.memoryHistory = m.memoryHistory();
    r.disk = m.disk();
    r.diskRead = m.diskRead();
    r.diskWrite = m.diskWrite();
    r.download = m.download();
    r.upload = m.upload();
    r.networkHistory = m.networkHistory();
    r.connection = m.connection();
    r.load = m.load();
    r.cores = m.cores();
    r.gpuCores = m.gpuCores();
    r.thermal = m.thermalState();
    return r;
}

QList<double> networkFractions(const QList<double>& history) {
    double scale = 1.0;
    for (double v : history)
        if (std::isfinite(v)) scale = std::max(scale, v);
    QList<double> values;
    values.reserve(history.size());
    for (double v : history) values.append(std::isfinite(v) ? v / scale : 0.0);
    return values;
}

QWidget* makeGraph(const Graph& g) {
    switch (g.kind) {
        case Graph::Kind::bars: return new Bars(g.values, g.color);
        case Graph::Kind::sparkline: return new Sparkline(g.values, g.color);
        case Graph::Kind::meter: break;
    }
    return new Meter(g.fraction, g.color);
}

void updateGraph(QWidget* widget, const Graph& g) {
    if (auto* meter = dynamic_cast<Meter*>(widget)) {
        meter->setColor(g.color);
        meter->setFraction(g.fraction);
    } else if (auto* history = dynamic_cast<HistoryGraph*>(widget)) {
        history->setValues(g.values);
    }
}

Content content(Metric metric, const Readings& r) {
    switch (metric) {
        case Metric::cpu: return cpu(r);
        case Metric::gpu: return gpu(r);
        case Metric::memory: return memory(r);
        case Metric::disk: return disk(r);
        case Metric::network: return network(r);
        case Metric::thermal: break;
    }
    return thermal(r);
}

}  // namespace StatusCards
