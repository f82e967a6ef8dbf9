#include "Views/Kit/Symbols.h"

#include "Platform/Gui/Icons.h"
#include "Views/Kit/Theme.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QTransform>
#include <QtDebug>

#include <cmath>
#include <functional>
#include <numbers>

#include "Views/Kit/Sparkle.h"

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

// A gear of `teeth` teeth between `inner` and `outer`, with a hole.
QPainterPath gearShape(QPointF c, double inner, double outer, double hole, int teeth) {
    QPainterPath outline;
    const double half = 180.0 / teeth;
    for (int i = 0; i < teeth; ++i) {
        const double mid = i * 360.0 / teeth - 90;
        const QPointF pts[] = {polar(c, inner, mid - half * 0.62), polar(c, outer, mid - half * 0.36),
                               polar(c, outer, mid + half * 0.36), polar(c, inner, mid + half * 0.62)};
        if (i == 0) outline.moveTo(pts[0]); else outline.lineTo(pts[0]);
        for (int k = 1; k < 4; ++k) outline.lineTo(pts[k]);
    }
    outline.closeSubpath();
    outline.addEllipse(c, hole, hole);
    return outline;
}

// The outline a line of the given width covers: for cutting marks out of filled shapes.
QPainterPath strokeOutline(const QPainterPath& line, double width) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(line);
}

// A four-pointed star whose sides curve inwards.
QPainterPath star(QPointF c, double r) { return Sparkle::path(QRectF(c - QPointF(r, r), QSizeF(2 * r, 2 * r))); }

QPainterPath line(QPointF a, QPointF b) {
    QPainterPath p;
    p.moveTo(a);
    p.lineTo(b);
    return p;
}

QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath p;
    bool first = true;
    for (QPointF pt : points) {
        if (first) p.moveTo(pt); else p.lineTo(pt);
        first = false;
    }
    return p;
}

// A page whose top-right corner is cut off where it folds.
QPainterPath page(double left, double top, double right, double bottom, double fold) {
    QPainterPath p;
    p.moveTo(right - fold, top);
    p.lineTo(left + 2, top);
    p.quadTo(left, top, left, top + 2);
    p.lineTo(left, bottom - 2);
    p.quadTo(left, bottom, left + 2, bottom);
    p.lineTo(right - 2, bottom);
    p.quadTo(right, bottom, right, bottom - 2);
    p.lineTo(right, top + fold);
    p.closeSubpath();
    return p;
}

Drawing gear() {
    Drawing d;
    d.stroked = gearShape(QPointF(12, 12), 7.2, 9.6, 3.1, 8);
    return d;
}

Drawing twoGears() {
    Drawing d;
    d.stroked = gearShape(QPointF(9.4, 9.4), 5.9, 8.2, 2.4, 8);
    d.stroked.addPath(gearShape(QPointF(18.2, 18.2), 3.6, 5.1, 1.5, 7));
    return d;
}

Drawing lockFill() {
    Drawing d;
    d.stroked.moveTo(8.4, 11);
    d.stroked.lineTo(8.4, 8);
    d.stroked.cubicTo(8.4, 3.4, 15.6, 3.4, 15.6, 8);
    d.stroked.lineTo(15.6, 11);
    d.filled.addPath(rounded(5.2, 10.4, 13.6, 10.6, 2.2));
    return d;
}

Drawing lockShield() {
    Drawing d;
    QPainterPath& s = d.stroked;
    s.moveTo(12, 2.6);
    s.quadTo(15.8, 4.9, 19.6, 5.3);
    s.lineTo(19.6, 11);
    s.cubicTo(19.6, 16, 16.4, 19.4, 12, 21.4);
    s.cubicTo(7.6, 19.4, 4.4, 16, 4.4, 11);
    s.lineTo(4.4, 5.3);
    s.quadTo(8.2, 4.9, 12, 2.6);
    s.closeSubpath();
    s.moveTo(10, 11.6);
    s.lineTo(10, 10.2);
    s.cubicTo(10, 7.6, 14, 7.6, 14, 10.2);
    s.lineTo(14, 11.6);
    d.filled.addPath(rounded(8.6, 11.3, 6.8, 5.4, 1.2));
    return d;
}

Drawing docMagnifier() {
    Drawing d;
    QPainterPath& s = d.stroked;
    s.moveTo(10.5, 21);
    s.lineTo(6.5, 21);
    s.quadTo(4.5, 21, 4.5, 19);
    s.lineTo(4.5, 5);
    s.quadTo(4.5, 3, 6.5, 3);
    s.lineTo(13, 3);
    s.lineTo(18, 8);
    s.lineTo(18, 10.2);
    s.addPath(polyline({{13, 3}, {13, 8}, {18, 8}}));
    s.addPath(line({7.6, 10.5}, {11.6, 10.5}));
    s.addPath(line({7.6, 13.6}, {10.2, 13.6}));
    s.addEllipse(QPointF(15.6, 15.8), 3.3, 3.3);
    s.addPath(line({18, 18.2}, {20.6, 20.8}));
    return d;
}

Drawing hammer() {
    Drawing d;
    QPainterPath shape;
    shape.moveTo(5, 7.5);
    shape.lineTo(5, 5.6);
    shape.quadTo(9.5, 3.2, 15, 3.6);
    shape.lineTo(19, 3.6);
    shape.lineTo(19, 8.4);
    shape.lineTo(5, 8.4);
    shape.closeSubpath();
    shape.addPath(rounded(10.6, 8.4, 2.8, 13, 1.2));
    d.stroked = QTransform().translate(12, 12).rotate(-30).translate(-12, -12).map(shape);
    return d;
}

Drawing shippingBox() {
    Drawing d;
    QPainterPath& s = d.stroked;
    s.addPath(polyline({{12, 2.8}, {20.5, 7.1}, {12, 11.4}, {3.5, 7.1}, {12, 2.8}}));
    s.addPath(polyline({{3.5, 7.1}, {3.5, 16.9}, {12, 21.2}, {20.5, 16.9}, {20.5, 7.1}}));
    s.addPath(line({12, 11.4}, {12, 21.2}));
    s.addPath(polyline({{7.75, 4.95}, {16.25, 9.25}, {16.25, 13}}));
    return d;
}

Drawing terminal() {
    Drawing d;
    d.stroked.addPath(rounded(2.5, 4.5, 19, 15, 2.8));
    d.stroked.addPath(polyline({{6.6, 9.2}, {9.4, 12}, {6.6, 14.8}}));
    d.stroked.addPath(line({11.4, 15.2}, {16.4, 15.2}));
    return d;
}

Drawing codeBrackets() {
    Drawing d;
    d.stroked.addPath(polyline({{7.6, 7}, {2.8, 12}, {7.6, 17}}));
    d.stroked.addPath(polyline({{16.4, 7}, {21.2, 12}, {16.4, 17}}));
    d.stroked.addPath(line({13.7, 5.2}, {10.3, 18.8}));
    return d;
}

Drawing appBadge() {
    Drawing d;
    QPainterPath& s = d.stroked;
    // Open at the corner the badge sits on.
    s.moveTo(12.8, 7);
    s.lineTo(6.6, 7);
    s.quadTo(3, 7, 3, 10.6);
    s.lineTo(3, 17.4);
    s.quadTo(3, 21, 6.6, 21);
    s.lineTo(13.4, 21);
    s.quadTo(17, 21, 17, 17.4);
    s.lineTo(17, 11.2);
    d.filled.addEllipse(QPointF(18, 6), 3.4, 3.4);
    return d;
}

Drawing globe() {
    Drawing d;
    QPainterPath& s = d.stroked;
    s.addEllipse(QPointF(12, 12), 9, 9);
    s.addEllipse(QPointF(12, 12), 3.9, 9);
    s.addPath(line({3, 12}, {21, 12}));
    s.moveTo(4.4, 7.4);
    s.quadTo(12, 9.6, 19.6, 7.4);
    s.moveTo(4.4, 16.6);
    s.quadTo(12, 14.4, 19.6, 16.6);
    return d;
}

Drawing envelope() {
    Drawing d;
    d.stroked.addPath(rounded(2.5, 5, 19, 14, 2.4));
    d.stroked.addPath(polyline({{3.2, 6.2}, {12, 13}, {20.8, 6.2}}));
    return d;
}

Drawing arrowDownCircle() {
    Drawing d;
    d.stroked.addEllipse(QPointF(12, 12), 9, 9);
    d.stroked.addPath(line({12, 6.8}, {12, 16.6}));
    d.stroked.addPath(polyline({{8, 12.8}, {12, 16.8}, {16, 12.8}}));
    return d;
}

Drawing phone() {
    Drawing d;
    d.stroked.addPath(rounded(6.5, 2.5, 11, 19, 2.8));
    d.stroked.addPath(line({10.6, 5.2}, {13.4, 5.2}));
    d.stroked.addPath(line({10.2, 18.6}, {13.8, 18.6}));
    return d;
}

Drawing trash() {
    Drawing d;
    QPainterPath& s = d.stroked;
    s.addPath(line({3.8, 6.4}, {20.2, 6.4}));
    s.moveTo(9.4, 6.4);
    s.lineTo(9.4, 4.6);
    s.quadTo(9.4, 3.4, 10.6, 3.4);
    s.lineTo(13.4, 3.4);
    s.quadTo(14.6, 3.4, 14.6, 4.6);
    s.lineTo(14.6, 6.4);
    s.moveTo(6, 6.4);
    s.lineTo(7, 19);
    s.quadTo(7.2, 21, 9.2, 21);
    s.lineTo(14.8, 21);
    s.quadTo(16.8, 21, 17, 19);
    s.lineTo(18, 6.4);
    s.addPath(line({10.2, 10}, {10.4, 17.4}));
    s.addPath(line({13.8, 10}, {13.6, 17.4}));
    return d;
}

Drawing folderGear() {
    Drawing d;
    QPainterPath& s = d.stroked;
    // The folder stays open where the gear sits.
    s.moveTo(11.6, 19);
    s.lineTo(5.5, 19);
    s.quadTo(3, 19, 3, 16.5);
    s.lineTo(3, 8);
    s.quadTo(3, 5.5, 5.5, 5.5);
    s.lineTo(9.2, 5.5);
    s.lineTo(11.2, 7.8);
    s.lineTo(18.5, 7.8);
    s.quadTo(21, 7.8, 21, 10.3);
    s.lineTo(21, 11.4);
    s.addPath(line({3, 10.6}, {21, 10.6}));
    s.addPath(gearShape(QPointF(17.6, 17.4), 3.3, 4.8, 1.3, 7));
    return d;
}

Drawing discDrive() {
    Drawing d;
    QPainterPath& s = d.stroked;
    s.addPath(rounded(2.5, 11, 19, 9, 2.2));
    s.addPath(line({5.6, 14.4}, {12.6, 14.4}));
    d.filled.addEllipse(QPointF(17.6, 15.6), 1.1, 1.1);
    // A disc half out of its slot.
    const QRectF disc(7.2, 1.8, 9.6, 9.6);
    s.arcMoveTo(disc, -40);
    s.arcTo(disc, -40, 260);
    s.addEllipse(disc.center(), 1.3, 1.3);
    return d;
}

Drawing puzzlePiece() {
    Drawing d;
    QPainterPath& s = d.stroked;
    s.moveTo(3.2, 8.6);
    s.lineTo(8.2, 8.6);
    s.cubicTo(7, 3.8, 13.8, 3.8, 12.6, 8.6);
    s.lineTo(17.8, 8.6);
    s.lineTo(17.8, 12.6);
    s.cubicTo(22.6, 11.4, 22.6, 18.2, 17.8, 17);
    s.lineTo(17.8, 21);
    s.lineTo(3.2, 21);
    s.closeSubpath();
    return d;
}

Drawing twoBubbles() {
    Drawing d;
    QPainterPath back = rounded(2, 2.6, 12.6, 9, 3);
    back = back.united(polyline({{4.6, 10.6}, {3.8, 14.2}, {8.6, 11}, {4.6, 10.6}}));
    QPainterPath front = rounded(9.4, 11.4, 12.6, 9, 3);
    front = front.united(polyline({{19.4, 19.4}, {20.2, 23}, {15.4, 19.8}, {19.4, 19.4}}));
    d.stroked.addPath(back.subtracted(front));
    d.stroked.addPath(front);
    d.stroked.addPath(line({12.8, 14.8}, {18.6, 14.8}));
    d.stroked.addPath(line({12.8, 17.4}, {16.4, 17.4}));
    return d;
}

Drawing sparkles() {
    Drawing d;
    d.filled.addPath(star(QPointF(9.6, 13.4), 7.6));
    d.filled.addPath(star(QPointF(18.4, 5.6), 3.4));
    d.filled.addPath(star(QPointF(18.8, 17.8), 2.4));
    return d;
}

Drawing eye() {
    Drawing d;
    d.stroked.moveTo(2.2, 12);
    d.stroked.quadTo(12, 0.8, 21.8, 12);
    d.stroked.quadTo(12, 23.2, 2.2, 12);
    d.stroked.closeSubpath();
    d.filled.addEllipse(QPointF(12, 12), 3.3, 3.3);
    return d;
}

Drawing checkmarkCircleFill() {
    Drawing d;
    QPainterPath disc;
    disc.addEllipse(QPointF(12, 12), 10, 10);
    d.filled = disc.subtracted(strokeOutline(polyline({{7.4, 12.3}, {10.6, 15.5}, {16.6, 8.6}}), 2.6));
    return d;
}

Drawing xmarkCircleFill() {
    Drawing d;
    QPainterPath disc;
    disc.addEllipse(QPointF(12, 12), 10, 10);
    QPainterPath cross = line({8.4, 8.4}, {15.6, 15.6});
    cross.addPath(line({15.6, 8.4}, {8.4, 15.6}));
    d.filled = disc.subtracted(strokeOutline(cross, 2.6));
    return d;
}

Drawing docFill() {
    Drawing d;
    const QPainterPath fold = polyline({{13.6, 2.5}, {13.6, 8.4}, {19.5, 8.4}});
    d.filled = page(4.5, 2.5, 19.5, 21.5, 5.9).subtracted(strokeOutline(fold, 1.4));
    return d;
}

Drawing folderFill() {
    Drawing d;
    QPainterPath tab = rounded(2.5, 4.5, 8.6, 6, 2);
    tab = tab.united(polyline({{9, 4.5}, {12, 7.5}, {9, 7.5}, {9, 4.5}}));
    QPainterPath body = rounded(2.5, 7.5, 19, 12.5, 2.5);
    d.filled = tab.united(body);
    return d;
}

Drawing photoFill() {
    Drawing d;
    QPainterPath frame = rounded(2.5, 4.5, 19, 15, 2.6);
    QPainterPath cut;
    cut.addEllipse(QPointF(8.2, 9.6), 1.9, 1.9);
    QPainterPath hills = polyline({{4.6, 17.6}, {10, 11.8}, {13.6, 15.4}, {15.6, 13.4}, {19.4, 17.6}});
    hills.closeSubpath();
    cut.addPath(hills);
    d.filled = frame.subtracted(cut);
    return d;
}

Drawing docZipper() {
    Drawing d;
    d.stroked.addPath(page(4.5, 2.5, 19.5, 21.5, 5));
    for (int i = 0; i < 5; ++i) {
        const double y = 3.6 + i * 1.9;
        d.filled.addPath(rounded(i % 2 ? 11.6 : 9.8, y, 2.6, 1.1, 0.4));
    }
    d.filled.addPath(rounded(9.6, 13.4, 4.8, 5.4, 1.2));
    return d;
}

Drawing filmFill() {
    Drawing d;
    QPainterPath strip = rounded(3, 3, 18, 18, 2.4);
    QPainterPath holes;
    for (int i = 0; i < 5; ++i) {
        const double y = 4.9 + i * 3.0;
        holes.addPath(rounded(4.7, y, 1.9, 1.6, 0.4));
        holes.addPath(rounded(17.4, y, 1.9, 1.6, 0.4));
    }
    holes.addPath(rounded(8.3, 4.6, 7.4, 6.6, 0.8));
    holes.addPath(rounded(8.3, 12.8, 7.4, 6.6, 0.8));
    d.filled = strip.subtracted(holes);
    return d;
}

Drawing musicNote() {
    Drawing d;
    d.filled = QTransform().translate(8.4, 17.6).rotate(-22).map([] {
        QPainterPath head;
        head.addEllipse(QPointF(0, 0), 3.7, 2.8);
        return head;
    }());
    d.stroked.moveTo(11.6, 17);
    d.stroked.lineTo(11.6, 3.4);
    d.stroked.cubicTo(12.4, 6.6, 17.4, 6.4, 17.4, 10.4);
    return d;
}

Drawing keyboard() {
    Drawing d;
    d.stroked.addPath(rounded(2, 6, 20, 12, 2.2));
    for (double y : {9.4, 12.2})
        for (double x = 5.2; x < 19.5; x += 2.7) d.filled.addPath(rounded(x - 0.8, y - 0.7, 1.6, 1.4, 0.4));
    d.stroked.moveTo(7.6, 15.2);
    d.stroked.lineTo(16.4, 15.2);
    return d;
}

Drawing radioWaves() {
    Drawing d;
    d.filled.addEllipse(QPointF(12, 12), 1.9, 1.9);
    for (double r : {4.6, 8.4}) {
        const QRectF arc(12 - r, 12 - r, 2 * r, 2 * r);
        d.stroked.arcMoveTo(arc, -40);
        d.stroked.arcTo(arc, -40, 80);
        d.stroked.arcMoveTo(arc, 140);
        d.stroked.arcTo(arc, 140, 80);
    }
    return d;
}

Drawing magicMouse() {
    Drawing d;
    d.stroked.addPath(rounded(7, 2.5, 10, 19, 5));
    d.stroked.moveTo(12, 5.4);
    d.stroked.lineTo(12, 8.6);
    return d;
}

// The menu-bar panel.
Drawing sparkle() {
    Drawing d;
    d.filled = star(QPointF(12, 12), 9.5);
    return d;
}

Drawing macWindow() {
    Drawing d;
    d.stroked.addPath(rounded(2.5, 4, 19, 16, 2.6));
    d.stroked.addPath(line({2.8, 8.6}, {21.2, 8.6}));
    for (double x : {5.4, 7.9, 10.4}) d.filled.addEllipse(QPointF(x, 6.3), 0.85, 0.85);
    return d;
}

Drawing power() {
    Drawing d;
    const QRectF ring(4, 4.5, 16, 16);
    d.stroked.arcMoveTo(ring, 55);
    d.stroked.arcTo(ring, 55, -290);
    d.stroked.addPath(line({12, 2.5}, {12, 11.5}));
    return d;
}

Drawing chartBar() {
    Drawing d;
    d.stroked.addPath(rounded(3.5, 12.5, 4.2, 8, 1));
    d.stroked.addPath(rounded(9.9, 4, 4.2, 16.5, 1));
    d.stroked.addPath(rounded(16.3, 8.5, 4.2, 12, 1));
    return d;
}

Drawing flame() {
    Drawing d;
    d.stroked.moveTo(12, 21.5);
    d.stroked.cubicTo(6.6, 21.5, 4.6, 17.6, 5.4, 13.8);
    d.stroked.cubicTo(6.1, 10.6, 8.6, 9.4, 9.2, 6.8);
    d.stroked.cubicTo(10.8, 8.2, 11.2, 10.2, 10.8, 11.6);
    d.stroked.cubicTo(12.6, 10.2, 13.4, 6.4, 12.8, 2.5);
    d.stroked.cubicTo(16.4, 5, 19.2, 9.4, 18.8, 14.4);
    d.stroked.cubicTo(18.5, 18.6, 15.8, 21.5, 12, 21.5);
    d.stroked.closeSubpath();
    d.filled.moveTo(12, 19.6);
    d.filled.cubicTo(9.6, 19.6, 8.8, 17.6, 9.6, 15.8);
    d.filled.cubicTo(10.3, 14.4, 11.8, 13.8, 12.2, 12.2);
    d.filled.cubicTo(14.2, 13.6, 15.2, 15.6, 14.8, 17.2);
    d.filled.cubicTo(14.5, 18.6, 13.4, 19.6, 12, 19.6);
    return d;
}

Drawing airpodsPro() {
    // Two earbuds, stems down, facing each other.
    Drawing d;
    for (int side : {-1, 1}) {
        const double cx = 12 + side * 4.6;
        QPainterPath bud;
        bud.addEllipse(QPointF(cx, 8.6), 3.6, 3.9);
        d.stroked.addPath(bud.united(rounded(cx - side * 1.2 - 1.1, 9.5, 2.2, 11, 1.1)));
    }
    return d;
}

// The analyzer's places, header and chart centre.
Drawing doc() {
    Drawing d;
    d.stroked = page(5, 2.5, 19, 21.5, 5.2);
    d.stroked.addPath(polyline({{13.8, 2.5}, {13.8, 7.7}, {19, 7.7}}));
    return d;
}

Drawing house() {
    Drawing d;
    d.stroked.addPath(polyline({{2.5, 11.5}, {12, 3.2}, {21.5, 11.5}}));
    d.stroked.addPath(polyline({{5.5, 9.2}, {5.5, 20.5}, {18.5, 20.5}, {18.5, 9.2}}));
    d.stroked.addPath(polyline({{10, 20.5}, {10, 14.5}, {14, 14.5}, {14, 20.5}}));
    return d;
}

Drawing columns() {
    Drawing d;
    d.stroked.addPath(polyline({{2.5, 8.5}, {12, 3}, {21.5, 8.5}, {2.5, 8.5}}));
    for (double x : {5.5, 10.0, 14.0, 18.5}) d.stroked.addPath(line({x, 11}, {x, 17.5}));
    d.stroked.addPath(line({2.5, 20.5}, {21.5, 20.5}));
    return d;
}

Drawing grid(int n) {
    Drawing d;
    const double gap = n == 2 ? 3 : 2.2, side = (18 - gap * (n - 1)) / n;
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            d.stroked.addPath(rounded(3 + c * (side + gap), 3 + r * (side + gap), side, side, n == 2 ? 2 : 1.2));
    return d;
}

Drawing arrowClockwise() {
    Drawing d;
    const QRectF circle(4, 4, 16, 16);
    // From the upper right all the way round to the top, where the head points on.
    d.stroked.arcMoveTo(circle, 60);
    d.stroked.arcTo(circle, 60, -330);
    d.stroked.addPath(polyline({{9.3, 0.9}, {12.5, 4}, {9.3, 7.1}}));
    return d;
}

// The Status tab.
Drawing network() {
    // Three linked nodes.
    Drawing d;
    for (const QPointF c : {QPointF(12, 5), QPointF(5.5, 18.5), QPointF(18.5, 18.5)}) d.stroked.addEllipse(c, 2.6, 2.6);
    d.stroked.addPath(polyline({{12, 7.6}, {12, 12}}));
    d.stroked.addPath(polyline({{7.2, 16.4}, {7.2, 12}, {16.8, 12}, {16.8, 16.4}}));
    return d;
}

Drawing sunMax() {
    Drawing d;
    d.stroked.addEllipse(QPointF(12, 12), 4.2, 4.2);
    for (int i = 0; i < 8; ++i) d.stroked.addPath(line(polar({12, 12}, 7.2, i * 45), polar({12, 12}, 9.8, i * 45)));
    return d;
}

Drawing fanFill() {
    // Three blades round a hub.
    Drawing d;
    const QPointF c(12, 12);
    for (int i = 0; i < 3; ++i) {
        QPainterPath blade;
        blade.moveTo(c);
        blade.cubicTo(polar(c, 6, i * 120 - 100), polar(c, 11, i * 120 - 60), polar(c, 9.5, i * 120 - 10));
        blade.cubicTo(polar(c, 7.5, i * 120 + 5), polar(c, 4, i * 120 + 5), c);
        d.filled.addPath(blade);
    }
    QPainterPath hub;
    hub.addEllipse(c, 2.2, 2.2);
    d.filled = d.filled.united(hub);
    return d;
}

Drawing trackpadHand() {
    // A pad with a pointing finger on it.
    Drawing d;
    d.stroked.addPath(rounded(2.5, 4, 15, 11.5, 2.2));
    d.filled.addPath(rounded(13.2, 9.5, 3.6, 8.5, 1.8));
    d.filled.addPath(rounded(12, 14.5, 9.5, 7.5, 3.2));
    return d;
}

Drawing batteryBolt() {
    // A full battery with a bolt set into the charge, a thin gap round it.
    Drawing d = battery(1.0);
    QPainterPath bolt;
    bolt.addPolygon(QPolygonF({{12.4, 6.6}, {8.2, 12.6}, {11.4, 12.6}, {10.6, 17.4}, {14.8, 11.4}, {11.6, 11.4}}));
    bolt.closeSubpath();
    d.filled = d.filled.subtracted(strokeOutline(bolt, 2.4)).united(bolt);
    return d;
}

Drawing listRectangle() {
    Drawing d;
    d.stroked.addPath(rounded(2.5, 4, 19, 16, 2.6));
    for (double y : {8.8, 12.0, 15.2}) {
        d.filled.addEllipse(QPointF(6.6, y), 0.95, 0.95);
        d.stroked.addPath(line({9.4, y}, {17.8, y}));
    }
    return d;
}

QPainterPath pinHead() {
    QPainterPath p;
    p.moveTo(8.6, 3);
    p.lineTo(15.4, 3);
    p.lineTo(14.6, 9.6);
    p.lineTo(17.6, 13.4);
    p.lineTo(6.4, 13.4);
    p.lineTo(9.4, 9.6);
    p.closeSubpath();
    return p;
}

Drawing pin(bool fill) {
    Drawing d;
    if (fill) d.filled = pinHead();
    else d.stroked = pinHead();
    d.stroked.addPath(line({12, 13.4}, {12, 21.5}));
    return d;
}

Drawing infoCircle() {
    Drawing d;
    d.stroked.addEllipse(QPointF(12, 12), 9.5, 9.5);
    d.filled.addEllipse(QPointF(12, 7.4), 1.25, 1.25);
    d.stroked.addPath(polyline({{10.4, 10.6}, {12, 10.6}, {12, 16.8}}));
    d.stroked.addPath(line({10.2, 16.8}, {13.8, 16.8}));
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
        // The cleaning categories.
        {"lock.shield", lockShield},
        {"doc.text.magnifyingglass", docMagnifier},
        {"hammer", hammer},
        {"shippingbox", shippingBox},
        {"terminal", terminal},
        {"chevron.left.forwardslash.chevron.right", codeBrackets},
        {"app.badge", appBadge},
        {"globe", globe},
        {"envelope", envelope},
        {"arrow.down.circle", arrowDownCircle},
        {"iphone", phone},
        {"trash", trash},
        {"folder.badge.gearshape", folderGear},
        {"opticaldiscdrive", discDrive},
        {"puzzlepiece.extension", puzzlePiece},
        {"bubble.left.and.text.bubble.right", twoBubbles},
        {"sparkles", sparkles},
        // The review sheet.
        {"xmark", [] { Drawing d; d.stroked.addPath(line({6, 6}, {18, 18})); d.stroked.addPath(line({18, 6}, {6, 18})); return d; }},
        {"chevron.down", [] { Drawing d; d.stroked = polyline({{5, 9}, {12, 16}, {19, 9}}); return d; }},
        {"eye", eye},
        {"checkmark.circle.fill", checkmarkCircleFill},
        {"xmark.circle.fill", xmarkCircleFill},
        // Kinds of files.
        {"doc.fill", docFill},
        {"folder.fill", folderFill},
        {"photo.fill", photoFill},
        {"doc.zipper", docZipper},
        {"film.fill", filmFill},
        {"music.note", musicNote},
        // Accessories.
        {"keyboard", keyboard},
        {"magicmouse", magicMouse},
        {"dot.radiowaves.left.and.right", radioWaves},
        // The menu-bar panel.
        {"sparkle", sparkle},
        {"macwindow", macWindow},
        {"power", power},
        {"chart.bar", chartBar},
        {"flame", flame},
        {"airpodspro", airpodsPro},
        // The analyzer.
        {"chevron.left", [] { Drawing d; d.stroked = polyline({{15, 5}, {8, 12}, {15, 19}}); return d; }},
        {"chevron.right", [] { Drawing d; d.stroked = polyline({{9, 5}, {16, 12}, {9, 19}}); return d; }},
        {"arrow.clockwise", arrowClockwise},
        // What starts on its own.
        {"gearshape.2", twoGears},
        {"lock.fill", lockFill},
        {"house", house},
        {"building.columns", columns},
        {"doc", doc},
        {"square.grid.2x2", [] { return grid(2); }},
        {"square.grid.3x3", [] { return grid(3); }},
        // The uninstaller's search.
        {"magnifyingglass", [] {
             Drawing d;
             d.stroked.addEllipse(QPointF(10.2, 10.2), 6.4, 6.4);
             d.stroked.addPath(line({14.8, 14.8}, {20.5, 20.5}));
             return d;
         }},
        // The Status tab.
        {"network", network},
        {"sun.max", sunMax},
        {"fan.fill", fanFill},
        {"rectangle.and.hand.point.up.left", trackpadHand},
        {"battery.100percent.bolt", batteryBolt},
        {"list.bullet.rectangle", listRectangle},
        {"pin", [] { return pin(false); }},
        {"pin.fill", [] { return pin(true); }},
        {"info.circle", infoCircle},
    };
    return t;
}

}  // namespace

bool has(const QString& name) { return table().contains(name); }

namespace {
const Drawing& drawing(const QString& name) {
    static QHash<QString, Drawing> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        const auto& t = table();
        auto maker = t.find(name);
        Drawing d;
        if (maker != t.end()) {
            d = (*maker)();
        } else {
            // Visible but wrong on purpose; the log names the missing drawing.
            qWarning("No symbol drawing named \"%s\"", qPrintable(name));
            d.stroked.addEllipse(QPointF(12, 12), 6, 6);
        }
        it = cache.insert(name, d);
    }
    return *it;
}

// `d` in a square of `side` at the painter's origin.
void draw(QPainter& painter, const Drawing& d, double side, const QColor& color, double weight) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 24.0, side / 24.0);
    painter.setPen(QPen(color, 1.75 * weight, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(d.stroked);
    if (!d.filled.isEmpty()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPath(d.filled);
    }
}

// A symbol as it falls on the device's pixels: its name, look, size and where inside a
// pixel it starts, and the pixels per point it is drawn at (the same pixels at another
// ratio are another size on screen).
struct SpriteKey {
    QString name;
    QRgb color;
    double weight, side, dx, dy, scale;
    bool operator==(const SpriteKey&) const = default;
};
size_t qHash(const SpriteKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.name, k.color, k.weight, k.side, k.dx, k.dy, k.scale);
}

// Buttons and labels repaint whenever a star passes behind them, and stroking a symbol
// costs far more than copying its pixels: each one is drawn once where it falls on
// whole pixels and copied from then on. Main thread only.
bool paintFromSprite(QPainter& painter, const Drawing& d, const QString& name, const QRectF& square,
                     const QColor& color, double weight) {
    const QTransform t = painter.deviceTransform();
    if (painter.opacity() != 1.0 || painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        t.type() > QTransform::TxScale || t.m11() != t.m22() || t.m11() <= 0)
        return false;
    const double scale = t.m11();
    const QPointF at = t.map(square.topLeft());
    const double side = square.width() * scale;
    if (side <= 0 || side > 256) return false;
    const QPoint whole(int(std::floor(at.x())), int(std::floor(at.y())));
    const SpriteKey key{name, color.rgba(), weight, side, at.x() - whole.x(), at.y() - whole.y(), scale};
    static QHash<SpriteKey, QImage> sprites;
    auto it = sprites.find(key);
    // The line's half width past the grid's square, and a pixel for its smoothing.
    const int margin = int(std::ceil(side / 24.0 * 1.75 * weight / 2)) + 1;
    if (it == sprites.end()) {
        if (sprites.size() > 512) sprites.clear();
        const int extent = int(std::ceil(side + key.dx)) + 1 + 2 * margin;
        QImage sprite(extent, int(std::ceil(side + key.dy)) + 1 + 2 * margin, QImage::Format_ARGB32_Premultiplied);
        sprite.fill(Qt::transparent);
        QPainter on(&sprite);
        on.translate(margin + key.dx, margin + key.dy);
        draw(on, d, side, color, weight);
        on.end();
        sprite.setDevicePixelRatio(scale);
        it = sprites.insert(key, sprite);
    }
    painter.drawImage(t.inverted().map(QPointF(whole - QPoint(margin, margin))), *it);
    return true;
}
}  // namespace

void paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color, double weight) {
    const Drawing& d = drawing(name);
    const double side = std::min(box.width(), box.height());
    const QRectF square(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    if (paintFromSprite(painter, d, name, square, color, weight)) return;
    painter.save();
    painter.translate(square.topLeft());
    draw(painter, d, side, color, weight);
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

void installAsIconFallback() {
    Platform::Icons::setSymbolPainter(
        [](QPainter& p, const QString& name, const QRectF& box) { paint(p, name, box, Theme::text()); });
}

}  // namespace Symbols
