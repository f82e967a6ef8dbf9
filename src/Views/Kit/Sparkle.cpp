#include "Views/Kit/Sparkle.h"

QPainterPath Sparkle::path(const QRectF& rect) {
    const QPointF c = rect.center();
    const double rx = rect.width() / 2, ry = rect.height() / 2;
    const double kx = 0.16 * rx, ky = 0.16 * ry;
    QPainterPath p;
    p.moveTo(c.x(), c.y() - ry);
    p.quadTo(c.x() + kx, c.y() - ky, c.x() + rx, c.y());
    p.quadTo(c.x() + kx, c.y() + ky, c.x(), c.y() + ry);
    p.quadTo(c.x() - kx, c.y() + ky, c.x() - rx, c.y());
    p.quadTo(c.x() - kx, c.y() - ky, c.x(), c.y() - ry);
    p.closeSubpath();
    return p;
}
