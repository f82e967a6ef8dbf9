#include "Views/Kit/StillPicture.h"

#include <QPaintEngine>
#include <QPainter>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
// Premultiplied "over", rounded as the painter rounds it: x * a / 255 as
// (v + (v >> 8) + 128) >> 8 with v = x * a. A clear source pixel leaves the pixel under
// it as it was and an opaque one replaces it, with no case of their own.
inline uint mul255(uint x, uint a) {
    const uint v = x * a;
    return (v + (v >> 8) + 0x80) >> 8;
}

inline QRgb over(QRgb s, QRgb d, bool opaque) {
    const uint keep = 255 - qAlpha(s);
    return qRgba(int(qRed(s) + mul255(qRed(d), keep)), int(qGreen(s) + mul255(qGreen(d), keep)),
                 int(qBlue(s) + mul255(qBlue(d), keep)), opaque ? 255 : int(qAlpha(s) + mul255(qAlpha(d), keep)));
}
}  // namespace

void blendRow(QRgb* out, const QRgb* in, int count, bool opaque) {
    int x = 0;
#ifdef __SSE2__
    // Four pixels at a time, each channel in 16 bits; the same sums as one at a time.
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(255), half = _mm_set1_epi16(0x80);
    const __m128i alphaOn = _mm_set1_epi32(opaque ? int(0xFF000000u) : 0);
    const auto blendTwo = [&](__m128i s, __m128i d) {
        // 255 - the source's alpha, in every channel of its pixel.
        const __m128i keep = _mm_sub_epi16(full, _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF));
        const __m128i v = _mm_mullo_epi16(d, keep);
        return _mm_add_epi16(s, _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 8)), half), 8));
    };
    for (; x + 4 <= count; x += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + x));
        const __m128i lo = blendTwo(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
        const __m128i hi = blendTwo(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(_mm_packus_epi16(lo, hi), alphaOn));
    }
#endif
    for (; x < count; ++x) out[x] = over(in[x], out[x], opaque);
}

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
    for (const QRect& r : painted) {
        const QRect part = r & placed;
        if (part.isEmpty()) continue;
        for (int y = part.top(); y <= part.bottom(); ++y)
            blendRow(reinterpret_cast<QRgb*>(image->scanLine(y)) + part.left(),
                     reinterpret_cast<const QRgb*>(source.constScanLine(y - origin.y())) + (part.left() - origin.x()),
                     part.width(), opaque);
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
