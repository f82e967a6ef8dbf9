#include "Views/Kit/StillPicture.h"

#include <QPaintEngine>
#include <QPainter>

namespace {
// The picture laid over the window's own pixels by hand, where the window paints into a
// plain 32-bit image and the picture falls on whole pixels at its own ratio: each
// small place a frame of the sky touches would otherwise cost a painter call.
bool blendStraight(QPainter& p, const QRectF& rect, const QPixmap& picture, const QRegion& painted) {
    QPaintDevice* device = p.paintEngine()->paintDevice();
    if (!device || device->devType() != QInternal::Image || p.opacity() != 1.0 ||
        p.compositionMode() != QPainter::CompositionMode_SourceOver || p.hasClipping())
        return false;
    auto* image = static_cast<QImage*>(device);
    const bool opaque = image->format() == QImage::Format_RGB32;
    if ((!opaque && image->format() != QImage::Format_ARGB32_Premultiplied) || !image->isDetached()) return false;
    const QImage source = picture.toImage();
    if (source.format() != QImage::Format_ARGB32_Premultiplied) return false;
    const QTransform t = p.deviceTransform();
    const qreal ratio = picture.devicePixelRatio();
    const QPointF corner = t.map(rect.topLeft());
    if (t.type() > QTransform::TxScale || t.m11() != ratio || t.m22() != ratio || corner != corner.toPoint())
        return false;
    const QRect placed = QRect(corner.toPoint(), source.size()) & image->rect();
    const QPoint origin = corner.toPoint();
    // Premultiplied "over", rounded as the painter rounds it.
    const auto mul = [](uint x, uint a) {
        const uint v = x * a + 0x80;
        return (v + (v >> 8)) >> 8;
    };
    for (const QRect& r : painted) {
        const QRect part = r & placed;
        if (part.isEmpty()) continue;
        for (int y = part.top(); y <= part.bottom(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y - origin.y())) - origin.x();
            auto* out = reinterpret_cast<QRgb*>(image->scanLine(y));
            for (int x = part.left(); x <= part.right(); ++x) {
                const QRgb s = in[x];
                const uint sa = qAlpha(s);
                if (sa == 0) continue;
                if (sa == 255) {
                    out[x] = s;
                    continue;
                }
                const QRgb d = out[x];
                const uint keep = 255 - sa;
                out[x] = qRgba(int(qRed(s) + mul(qRed(d), keep)), int(qGreen(s) + mul(qGreen(d), keep)),
                               int(qBlue(s) + mul(qBlue(d), keep)), opaque ? 255 : int(sa + mul(qAlpha(d), keep)));
            }
        }
    }
    return true;
}
}  // namespace

void copyPainted(QPainter& p, const QRectF& rect, const QPixmap& picture) {
    const qreal ratio = picture.devicePixelRatio();
    const QRegion painted = p.paintEngine() ? p.paintEngine()->systemClip() : QRegion();
    if (!painted.isEmpty() && blendStraight(p, rect, picture, painted)) return;
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
