#include "Views/Kit/Symbols.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <functional>
#include <numbers>

namespace Symbols {

namespace {

// A drawing in grid units: what to stroke and what to fill.
struct Drawing {
    QPainterPath stroked;
    QPainterPath filled;
};

using Maker = std::function<Drawing()>;

QPainterPath rounded(double x, double y, double w, double h, double r) {
    QPainterPath p;
    p.addRoundedRect(QRectF(x, y, w, h), r, r);
    return p;
}

QPointF polar(QPointF c, double r, double degrees) {
    const double a = degrees * std::numbers::pi / 180.0;
    return {c.x() + r * std::cos(a), c.y() + r * std::sin(a)};
}

Drawing gear() {
    Drawing d;
    const QPointF c(12, 12);
    const int teeth = 8;
    QPainterPath outline;
    for (int i = 0; i < teeth; ++i) {
        const double mid = i * 360.0 / teeth - 90;
        const QPointF pts[] = {polar(c, 7.2, mid - 14), polar(c, 9.6, mid - 8), polar(c, 9.6, mid + 8),
                               polar(c, 7.2, mid + 14)};
        if (i == 0) outline.moveTo(pts[0]); else outline.lineTo(pts[0]);
        for (int k = 1; k < 4; ++k) outline.lineTo(pts[k]);
    }
    outline.closeSubpath();
    d.stroked.addPath(outline);
    d.stroked.addEllipse(c, 3.1, 3.1);
    return d;
}

Drawing historyClock() {
    Drawing d;
    const QRectF circle(5, 4, 16, 16);  // centre (13, 12), radius 8
    d.stroked.arcMoveTo(circle, 180);
    d.stroked.arcTo(circle, 180, -295);
    // The arrowhead at the open end, pointing along a counter-clockwise turn.
    d.stroked.moveTo(2.3, 9.4);
    d.stroked.lineTo(5, 12.3);
    d.stroked.lineTo(7.7, 9.4);
    d.stroked.moveTo(13, 7.8);
    d.stroked.lineTo(13, 12.3);
    d.stroked.lineTo(16, 14.2);
    return d;
}

Drawing cpu() {
    Drawing d;
    d.stroked.addPath(rounded(6, 6, 12, 12, 2.2));
    d.filled.addPath(rounded(9.3, 9.3, 5.4, 5.4, 1));
    for (double at : {9.0, 12.0, 15.0}) {
        d.stroked.moveTo(at, 6); d.stroked.lineTo(at, 3.2);
        d.stroked.moveTo(at, 18); d.stroked.lineTo(at, 20.8);
        d.stroked.moveTo(6, at); d.stroked.lineTo(3.2, at);
        d.stroked.moveTo(18, at); d.stroked.lineTo(20.8, at);
    }
    return d;
}

Drawing threeRectangles() {
    Drawing d;
    d.stroked.addPath(rounded(3, 4, 8, 16, 1.8));
    d.stroked.addPath(rounded(14, 4, 7, 6.8, 1.8));
    d.stroked.addPath(rounded(14, 13.2, 7, 6.8, 1.8));
    return d;
}

Drawing memoryChip() {
    Drawing d;
    d.stroked.addPath(rounded(2.5, 6.5, 19, 10, 1.8));
    for (double x = 5.2; x <= 19; x += 2.7) {
        d.stroked.moveTo(x, 16.5);
        d.stroked.lineTo(x, 19.2);
    }
    for (double x : {5.5, 10.25, 15.0}) d.filled.addPath(rounded(x, 9.2, 3.5, 4.6, 0.6));
    return d;
}

Drawing thermometer() {
    Drawing d;
    QPainterPath tube = rounded(9.4, 2.5, 5.2, 15, 2.6);
    QPainterPath bulb;
    bulb.addEllipse(QPointF(12, 17.6), 4, 4);
    d.stroked = tube.united(bulb);
    d.filled.addEllipse(QPointF(12, 17.6), 2, 2);
    d.filled.addPath(rounded(11.1, 9.5, 1.8, 8, 0.9));
    return d;
}

Drawing drive() {
    Drawing d;
    d.stroked.addPath(rounded(2.5, 6.5, 19, 11, 2.6));
    d.stroked.moveTo(5.8, 14);
    d.stroked.lineTo(10.5, 14);
    d.filled.addEllipse(QPointF(17.6, 14), 1.1, 1.1);
    d.stroked.moveTo(2.8, 10.5);
    d.stroked.lineTo(21.2, 10.5);
    return d;
}

Drawing upDownArrows() {
    Drawing d;
    d.stroked.moveTo(8, 20); d.stroked.lineTo(8, 4.3);
    d.stroked.moveTo(4, 8.3); d.stroked.lineTo(8, 4.3); d.stroked.lineTo(12, 8.3);
    d.stroked.moveTo(16, 4); d.stroked.lineTo(16, 19.7);
    d.stroked.moveTo(12, 15.7); d.stroked.lineTo(16, 19.7); d.stroked.lineTo(20, 15.7);
    return d;
}

Drawing battery(double level) {
    Drawing d;
    d.stroked.addPath(rounded(1.8, 7, 18.4, 10, 2.6));
    d.filled.addPath(rounded(21.2, 10, 1.8, 4, 0.8));
    d.filled.addPath(rounded(3.9, 9.1, 14.2 * level, 5.8, 1.2));
    return d;
}

Drawing folder() {
    Drawing d;
    QPainterPath& p = d.stroked;
    p.moveTo(3, 8);
    p.quadTo(3, 5.5, 5.5, 5.5);
    p.lineTo(9.2, 5.5);
    p.lineTo(11.2, 7.8);
    p.lineTo(18.5, 7.8);
    p.quadTo(21, 7.8, 21, 10.3);
    p.lineTo(21, 16.5);
    p.quadTo(21, 19, 18.5, 19);
    p.lineTo(5.5, 19);
    p.quadTo(3, 19, 3, 16.5);
    p.closeSubpath();
    p.moveTo(3, 10.6);
    p.lineTo(21, 10.6);
    return d;
}

const QHash<QString, Maker>& table() {
    static const QHash<QString, Maker> t = {
        {"gearshape", gear},
        {"clock.arrow.circlepath", historyClock},
        {"checkmark", [] { Drawing d; d.stroked.moveTo(4.6, 12.6); d.stroked.lineTo(9.6, 17.6); d.stroked.lineTo(19.4, 6.6); return d; }},
        {"minus", [] { Drawing d; d.stroked.moveTo(5, 12); d.stroked.lineTo(19, 12); return d; }},
        {"plus", [] { Drawing d; d.stroked.moveTo(12, 5); d.stroked.lineTo(12, 19); d.stroked.moveTo(5, 12); d.stroked.lineTo(19, 12); return d; }},
        {"folder", folder},
        {"cpu", cpu},
        {"rectangle.3.group", threeRectangles},
        {"memorychip", memoryChip},
        {"thermometer.medium", thermometer},
        {"internaldrive", drive},
        {"arrow.up.arrow.down", upDownArrows},
        {"battery.75percent", [] { return battery(0.75); }},
    };
    return t;
}

}  // namespace

bool has(const QString& name) { return table().contains(name); }

void paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color, double weight) {
    static QHash<QString, Drawing> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        const auto& t = table();
        auto maker = t.find(name);
        Drawing d;
        if (maker != t.end()) d = (*maker)();
        else d.stroked.addEllipse(QPointF(12, 12), 6, 6);
        it = cache.insert(name, d);
    }
    const double side = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    painter.scale(side / 24.0, side / 24.0);
    QPen pen(color, 1.75 * weight, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(it->stroked);
    if (!it->filled.isEmpty()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPath(it->filled);
    }
    painter.restore();
}

QPixmap pixmap(const QString& name, double size, const QColor& color, double weight, double dpr) {
    const int px = int(std::ceil(size * dpr));
    QPixmap pm(px, px);
    pm.fill(Qt::transparent);
    pm.setDevicePixelRatio(dpr);
    QPainter p(&pm);
    paint(p, name, QRectF(0, 0, size, size), color, weight);
    return pm;
}

}  // namespace Symbols
