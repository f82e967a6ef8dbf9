#include "Views/Kit/Bands.h"

#include <QPainter>

#include <cmath>

void paintInBands(QPainter& painter, const QRectF& area, const std::function<void()>& draw) {
    constexpr double band = 32;
    const QTransform toDevice = painter.transform();
    const QRectF onDevice = toDevice.mapRect(area);
    const QTransform back = toDevice.inverted();
    for (double y = std::floor(onDevice.top()); y < onDevice.bottom(); y += band) {
        painter.save();
        painter.setClipRect(back.mapRect(QRectF(onDevice.left() - 1, y, onDevice.width() + 2, band)), Qt::IntersectClip);
        draw();
        painter.restore();
    }
}
