#include "Views/Kit/StillPicture.h"

#include <QPaintEngine>
#include <QPainter>

void copyPainted(QPainter& p, const QRectF& rect, const QPixmap& picture) {
    const qreal ratio = picture.devicePixelRatio();
    const QRegion painted = p.paintEngine() ? p.paintEngine()->systemClip() : QRegion();
    const QTransform toLogical = p.deviceTransform().inverted();
    if (painted.isEmpty() || toLogical.isRotating() || painted.rectCount() > 1024) {
        p.drawPixmap(rect.topLeft(), picture);
        return;
    }
    for (const QRect& r : painted) {
        const QRectF part = toLogical.mapRect(QRectF(r)) & rect;
        if (part.isEmpty()) continue;
        p.drawPixmap(part, picture, QRectF((part.topLeft() - rect.topLeft()) * ratio, part.size() * ratio));
    }
}

size_t combinedKey(std::initializer_list<size_t> parts) {
    size_t h = 0x9e3779b97f4a7c15ull;
    for (size_t v : parts) h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
}

void StillPicture::paint(QPainter& p, const QRectF& rect, double ratio, size_t key,
                         const std::function<void(QPainter&)>& draw) {
    if (picture_.isNull() || key != key_ || rect.size() != size_ || ratio != ratio_) {
        picture_ = QPixmap((rect.size() * ratio).toSize().expandedTo(QSize(1, 1)));
        picture_.setDevicePixelRatio(ratio);
        picture_.fill(Qt::transparent);
        QPainter on(&picture_);
        draw(on);
        key_ = key;
        size_ = rect.size();
        ratio_ = ratio;
    }
    copyPainted(p, rect, picture_);
}
