#include "Views/MenuBar/MenuBarImage.h"

#include <QCoreApplication>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

#include "Core/Clean/CleanTypes.h"
#include "Models/Status/Monitor.h"
#include "Views/Kit/BundleImage.h"
#include "Views/Kit/Symbols.h"

namespace MenuBarImage {

namespace {
const QString dash = QStringLiteral("—");

// Readings are bounded in practice, but a broken sensor can hand over anything:
// a value that is not a number shows as missing, and nothing is converted to an
// integer out of its range.
std::optional<long long> whole(double x, bool round) {
    if (!std::isfinite(x)) return std::nullopt;
    x = std::clamp(x, -1e15, 1e15);
    return static_cast<long long>(round ? std::round(x) : std::trunc(x));
}

QString percent(double fraction) {
    const auto n = whole(fraction * 100, false);
    return n ? QString::number(*n) + QLatin1Char('%') : dash;
}

const char* symbolFor(MenuBarMetric m) {
    switch (m) {
    case MenuBarMetric::cpu: return "cpu";
    case MenuBarMetric::gpu: return "rectangle.3.group";
    case MenuBarMetric::memory: return "memorychip";
    case MenuBarMetric::temperature: return "thermometer.medium";
    case MenuBarMetric::disk: return "internaldrive";
    case MenuBarMetric::network: return "arrow.up.arrow.down";
    case MenuBarMetric::battery: return "battery.75percent";
    }
    return "circle";
}

// The word that stands for a metric's symbol where only text can be shown.
QString spokenSymbol(MenuBarMetric m) {
    switch (m) {
    case MenuBarMetric::cpu: return QCoreApplication::translate("MenuBarImage", "CPU");
    case MenuBarMetric::gpu: return QCoreApplication::translate("MenuBarImage", "GPU");
    case MenuBarMetric::memory: return QCoreApplication::translate("MenuBarImage", "Memory");
    case MenuBarMetric::temperature: return QCoreApplication::translate("MenuBarImage", "Temperature");
    case MenuBarMetric::disk: return QCoreApplication::translate("MenuBarImage", "Disk");
    case MenuBarMetric::network: return QCoreApplication::translate("MenuBarImage", "Network");
    case MenuBarMetric::battery: return QCoreApplication::translate("MenuBarImage", "Battery");
    }
    return {};
}
}  // namespace

Readings Readings::of(const Monitor& m) {
    return {m.cpu(), m.gpu(), m.memory(), m.cpuTemp(), m.disk(), m.download(), m.upload(), m.battery()};
}

QIcon glyph(double opacity) {
    QSvgRenderer art(bundleFile(QStringLiteral("MenuBarHole.svg")));
    QIcon icon;
    for (int px : {16, 22, 24, 32, 48, 64}) {
        QImage whole(px, px, QImage::Format_ARGB32_Premultiplied);
        whole.fill(Qt::transparent);
        QPainter p(&whole);
        if (art.isValid()) art.render(&p, QRectF(0, 0, px, px));
        else Symbols::paint(p, QStringLiteral("circle"), QRectF(0, 0, px, px), Qt::white, 1.4);
        p.end();
        // Faded as one layer, so overlapping lines do not show through each other.
        QPixmap pixmap(px, px);
        pixmap.fill(Qt::transparent);
        p.begin(&pixmap);
        p.setOpacity(opacity);
        p.drawImage(0, 0, whole);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QList<TitlePart> title(const QList<MenuBarMetric>& metrics, const Readings& readings) {
    QList<TitlePart> parts;
    for (MenuBarMetric m : metrics) parts.append({m, QString::fromLatin1(symbolFor(m)), value(m, readings)});
    return parts;
}

QString titleText(const QList<TitlePart>& parts) {
    QStringList pieces;
    for (const TitlePart& part : parts) pieces << spokenSymbol(part.metric) + QLatin1Char(' ') + part.value;
    return pieces.join(QStringLiteral("  "));
}

QString value(MenuBarMetric metric, const Readings& r) {
    switch (metric) {
    case MenuBarMetric::cpu: return percent(r.cpu);
    case MenuBarMetric::gpu: return r.gpu ? percent(*r.gpu) : dash;
    case MenuBarMetric::memory:
        return percent(double(r.memory.used) / double(std::max<int64_t>(r.memory.total, 1)));
    case MenuBarMetric::temperature: {
        const auto n = r.cpuTemp ? whole(*r.cpuTemp, true) : std::nullopt;
        return n ? QString::number(*n) + QStringLiteral("°") : dash;
    }
    case MenuBarMetric::disk: return QString::fromStdString(formattedBytes(r.disk.available));
    case MenuBarMetric::network:
        return QStringLiteral("↓") + compact(r.download) + QStringLiteral(" ↑") + compact(r.upload);
    case MenuBarMetric::battery: return r.battery ? QString::number(r.battery->percent) + QLatin1Char('%') : dash;
    }
    return dash;
}

QString compact(double rate) {
    if (!std::isfinite(rate) || rate < 1024) return QStringLiteral("0K");
    if (rate < 1048576) return QString::number(static_cast<long long>(rate / 1024)) + QLatin1Char('K');
    return QString::asprintf("%.1fM", rate / 1048576);
}

}  // namespace MenuBarImage
