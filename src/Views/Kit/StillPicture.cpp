#include "Views/Kit/StillPicture.h"

#include <QPaintEngine>
#include <QPainter>

void copyPainted(QPainter& p, const QRectF& rect, const QPixmap& picture) {
    const qreal ratio = picture.devicePixelRatio();
    const QRegion painted = p.paintEngine() ? p.paintEngine()->systemClip() : QRegion();
    const QTransform toLogical = p.deviceTransform().inverted();
    if (painted.isEmpty() || toLogical.isRotating() || painted.rectCount() > 64) {
        p.drawPixmap(rect.topLeft(), picture);
        return;
    }
    for (const QRect& r : painted) {
        const QRectF part = toLogical.mapRect(QRectF(r)) & rect;
        if (part.isEmpty()) continue;
        p.drawPixmap(part, picture, QRectF((part.topLeft() - rect.topLeft()) * ratio, part.size() * ratio));
    }
}

void StillPicture::paint(QPainter& p, const QRectF& rect, double ratio, const QString& key,
                         const std::function<void(QPainter&)>& draw) {
    const QString full = QStringLiteral("%1x%2@%3:").arg(rect.width()).arg(rect.height()).arg(ratio) + key;
    if (full != key_ || picture_.isNull()) {
        picture_ = QPixmap((rect.size() * ratio).toSize().expandedTo(QSize(1, 1)));
        picture_.setDevicePixelRatio(ratio);
        picture_.fill(Qt::transparent);
        QPainter on(&picture_);
        draw(on);
        key_ = full;
    }
    copyPainted(p, rect, picture_);
}
