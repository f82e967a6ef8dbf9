#include "Views/Kit/Bloom.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace Bloom {

namespace {

// One box pass of `half` pixels either side, along rows (stride 1) or columns.
// Pixels beyond the edge count as clear.
void boxPass(const QRgb* in, QRgb* out, int count, int lines, int step, int lineStep, int half) {
    const int span = 2 * half + 1;
    for (int l = 0; l < lines; ++l) {
        const QRgb* src = in + size_t(l) * lineStep;
        QRgb* dst = out + size_t(l) * lineStep;
        int sum[4] = {0, 0, 0, 0};
        auto add = [&](int i, int sign) {
            if (i < 0 || i >= count) return;
            const QRgb c = src[size_t(i) * step];
            sum[0] += sign * int(qAlpha(c));
            sum[1] += sign * int(qRed(c));
            sum[2] += sign * int(qGreen(c));
            sum[3] += sign * int(qBlue(c));
        };
        for (int i = -half; i <= half; ++i) add(i, 1);
        for (int i = 0; i < count; ++i) {
            dst[size_t(i) * step] = qRgba((sum[1] + half) / span, (sum[2] + half) / span, (sum[3] + half) / span,
                                          (sum[0] + half) / span);
            add(i + half + 1, 1);
            add(i - half, -1);
        }
    }
}

// Three box passes each way: close to a Gaussian of standard deviation sigma.
void boxBlur(QImage& image, double sigma) {
    const int half = std::max(1, int(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    const int w = image.width(), h = image.height();
    const int stride = int(image.bytesPerLine() / 4);
    QImage scratch(image.size(), image.format());
    const int scratchStride = int(scratch.bytesPerLine() / 4);
    auto* a = reinterpret_cast<QRgb*>(image.bits());
    auto* b = reinterpret_cast<QRgb*>(scratch.bits());
    if (stride != scratchStride) return;
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(a, b, w, h, 1, stride, half);
        boxPass(b, a, h, w, stride, 1, half);
    }
}

}  // namespace

QImage blurred(const QImage& image, double radius) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (radius < 0.5 || out.isNull()) return out;
    // Blurring at 1/k of the size: every third of a standard deviation is one pixel at most.
    const int k = std::max(1, int(radius / 3));
    if (k == 1) {
        boxBlur(out, radius);
        return out;
    }
    const qreal dpr = out.devicePixelRatio();
    const QSize full = out.size();
    QImage small = out.scaled(std::max(1, full.width() / k), std::max(1, full.height() / k), Qt::IgnoreAspectRatio,
                              Qt::SmoothTransformation);
    boxBlur(small, radius / k);
    out = small.scaled(full, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    out.setDevicePixelRatio(dpr);
    return out;
}

void add(QPainter& painter, const QRectF& target, const QImage& layer, double radius, double opacity) {
    if (opacity <= 0 || layer.isNull()) return;
    addBlurred(painter, target, blurred(layer, radius * layer.devicePixelRatio()), opacity);
}

void addBlurred(QPainter& painter, const QRectF& target, const QImage& soft, double opacity) {
    if (opacity <= 0 || soft.isNull()) return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    painter.setOpacity(painter.opacity() * std::min(opacity, 1.0));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, soft);
    painter.restore();
}

double blurredBand(double at, double middle, double width, double blur) {
    const double s = std::max(blur, 0.3) * std::sqrt(2.0);
    return 0.5 * (std::erf((at - middle + width / 2) / s) - std::erf((at - middle - width / 2) / s));
}

void keepShadow(QImage& kept, const QSizeF& shape, double radius, double blur, double opacity, qreal ratio) {
    const double margin = 2 * blur;
    const QSize size = (shape + QSizeF(2 * margin, 2 * margin)).toSize() * ratio;
    if (!kept.isNull() && kept.size() == size && kept.devicePixelRatio() == ratio) return;
    QImage outline(size, QImage::Format_ARGB32_Premultiplied);
    outline.fill(Qt::transparent);
    {
        QPainter p(&outline);
        p.scale(ratio, ratio);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(QPointF(margin, margin), shape), radius, radius);
    }
    const QImage soft = blurred(outline, blur * ratio);
    kept = QImage(soft.size(), QImage::Format_ARGB32_Premultiplied);
    kept.fill(Qt::transparent);
    QPainter p(&kept);
    p.setOpacity(opacity);
    p.drawImage(0, 0, soft);
    p.end();
    kept.setDevicePixelRatio(ratio);
}

}  // namespace Bloom
