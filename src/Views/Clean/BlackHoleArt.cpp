#include "Views/Clean/BlackHoleArt.h"

#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "Views/Clean/BlackHole.h"
#include "Views/Clean/BlackHoleLayers.h"
#include "Views/Kit/Bands.h"
#include "Views/Kit/Bloom.h"
#include "Views/Kit/BundleImage.h"

namespace {
constexpr double pi = std::numbers::pi;
constexpr int turn = 1024;  // angle steps in a full turn

double fraction(double x) { return x - std::floor(x); }

// The flare that turns with the disk: a white and a peach highlight half a turn
// apart, as premultiplied colours by angle.
const std::array<QRgb, turn>& flare() {
    static const std::array<QRgb, turn> lut = [] {
        struct Stop {
            double at;
            QColor color;
        };
        const QColor peach = BlackHole::peach();
        auto withAlpha = [](QColor c, double a) {
            c.setAlphaF(float(a));
            return c;
        };
        const Stop stops[] = {{0, Qt::transparent},          {0.08, withAlpha(Qt::white, 0.9)},
                              {0.22, Qt::transparent},       {0.5, Qt::transparent},
                              {0.58, withAlpha(peach, 0.8)}, {0.72, Qt::transparent},
                              {1.0, Qt::transparent}};
        std::array<QRgb, turn> out{};
        for (int i = 0; i < turn; ++i) {
            const double s = (i + 0.5) / turn;
            int k = 0;
            while (k + 2 < int(std::size(stops)) && s > stops[k + 1].at) ++k;
            const Stop& a = stops[k];
            const Stop& b = stops[k + 1];
            const double f = std::clamp((s - a.at) / (b.at - a.at), 0.0, 1.0);
            // Mixed premultiplied, so a colour fading to clear never darkens.
            auto pm = [](const QColor& c, double channel) { return channel * c.alphaF(); };
            const double alpha = a.color.alphaF() * (1 - f) + b.color.alphaF() * f;
            const double red = pm(a.color, a.color.redF()) * (1 - f) + pm(b.color, b.color.redF()) * f;
            const double green = pm(a.color, a.color.greenF()) * (1 - f) + pm(b.color, b.color.greenF()) * f;
            const double blue = pm(a.color, a.color.blueF()) * (1 - f) + pm(b.color, b.color.blueF()) * f;
            auto byte = [](double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
            out[size_t(i)] = qRgba(byte(red), byte(green), byte(blue), byte(alpha));
        }
        return out;
    }();
    return lut;
}

int fixed(double opacity) { return int(std::lround(std::clamp(opacity, 0.0, 1.0) * 256)); }

// Four premultiplied channels at once, two to a 32-bit word, as the raster engine does.

// Each channel times f / 256 (f up to 256).
inline uint32_t scaled(uint32_t c, uint32_t f) {
    return ((((c & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu) | ((((c >> 8) & 0x00FF00FFu) * f) & 0xFF00FF00u);
}

// Each channel added, stopping at 255: the additive blend.
inline uint32_t plus(uint32_t a, uint32_t b) {
    uint32_t lo = (a & 0x00FF00FFu) + (b & 0x00FF00FFu);
    uint32_t hi = ((a >> 8) & 0x00FF00FFu) + ((b >> 8) & 0x00FF00FFu);
    lo = (lo | (0x01000100u - ((lo >> 8) & 0x00010001u))) & 0x00FF00FFu;
    hi = (hi | (0x01000100u - ((hi >> 8) & 0x00010001u))) & 0x00FF00FFu;
    return lo | (hi << 8);
}

}  // namespace

double BlackHoleArt::breathing(double t) { return 1 + 0.009 * std::sin(0.83 * t) + 0.005 * std::sin(1.37 * t + 1.1); }

double BlackHoleArt::sheen(double t, double energy) { return 0.16 + 0.05 * std::sin(2.1 * t) + 0.12 * energy; }

QRectF BlackHoleArt::bounds(double t, double size) const {
    const double d = side(size), b = breathing(t);
    QRectF part(-d / 2, -d / 2, d, d);
    if (size == size_ && !content_.isEmpty())
        part = QRectF(content_.x() / scale_ - d / 2, content_.y() / scale_ - d / 2, content_.width() / scale_,
                      content_.height() / scale_);
    return QRectF(part.topLeft() * b, part.size() * b).translated(0, 0.0175 * d);
}

void BlackHoleArt::prepare(double size, double pixelScale) {
    // Eighth steps, and only for a real change: a hero brightening for a moment
    // (a few per cent larger) is drawn from the picture it has.
    if (size == size_ && pixelScale <= scale_ * 1.15 && pixelScale >= scale_ * 0.75) return;
    const double scale = std::max(0.125, std::ceil(pixelScale * 8 - 1e-9) / 8);
    size_ = size;
    scale_ = scale;
    const double d = side(size);
    side_ = std::max(8, int(std::lround(d * scale)));
    const int n = side_;

    base_ = QImage(n, n, QImage::Format_ARGB32_Premultiplied);
    base_.fill(Qt::transparent);
    {
        QPainter p(&base_);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QPointF core(n / 2.0, n / 2.0 - 0.0175 * n);
        QRadialGradient g(core, 0.13 * n);
        g.setColorAt(0, Qt::black);
        g.setColorAt(0.5, Qt::black);
        g.setColorAt(1, QColor(0, 0, 0, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(core, 0.13 * n, 0.13 * n);
        p.drawImage(QRectF(0, 0, n, n), bundleImage(QStringLiteral("BlackHoleArt")));
    }
    frame_ = QImage(n, n, QImage::Format_ARGB32_Premultiplied);

    const QImage glow = bundleImage(QStringLiteral("BlackHoleGlow"))
                            .convertToFormat(QImage::Format_ARGB32)
                            .scaled(n, n, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    mask_.assign(size_t(n) * n, 0);
    angle_.assign(size_t(n) * n, 0);
    spans_.clear();
    rowSpans_.assign(size_t(n) + 1, 0);
    for (int y = 0; y < n; ++y) {
        rowSpans_[size_t(y)] = int(spans_.size());
        const auto* line = glow.isNull() ? nullptr : reinterpret_cast<const QRgb*>(glow.constScanLine(y));
        int runStart = -1;
        for (int x = 0; x < n; ++x) {
            const size_t i = size_t(y) * n + x;
            // The faintest fringe of the mask adds nothing one could see.
            mask_[i] = line && qAlpha(line[x]) >= 4 ? uint8_t(qAlpha(line[x])) : 0;
            const double a = std::atan2(y + 0.5 - n / 2.0, x + 0.5 - n / 2.0) / (2 * pi);
            angle_[i] = uint16_t(int(std::floor(fraction(a) * turn)) & (turn - 1));
            if (mask_[i] && runStart < 0) runStart = x;
            if (!mask_[i] && runStart >= 0) {
                spans_.push_back({runStart, x});
                runStart = -1;
            }
        }
        if (runStart >= 0) spans_.push_back({runStart, n});
    }
    rowSpans_[size_t(n)] = int(spans_.size());
    // Most of the square is empty sky: everything else is done only where the art or its light is.
    int left = n, right = -1, top = n, bottom = -1;
    for (int y = 0; y < n; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(base_.constScanLine(y));
        for (int x = 0; x < n; ++x) {
            if (!qAlpha(line[x]) && !mask_[size_t(y) * n + x]) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    content_ = right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom)).adjusted(-1, -1, 1, 1) & QRect(0, 0, n, n);

    // The knots: a flat ellipse cut from a round glow, then softened by the canvas blur.
    for (int k = 0; k < 2; ++k) {
        const double r = d * (0.035 + 0.012 * k) * scale;
        const double blur = DiskKnots::blur(d) * scale;
        const int pad = int(std::ceil(3 * blur)) + 1;
        const int w = int(std::ceil(3.6 * r)) + 2 * pad, h = int(std::ceil(r)) + 2 * pad;
        QImage sprite(w, h, QImage::Format_ARGB32_Premultiplied);
        sprite.fill(Qt::transparent);
        {
            QPainter p(&sprite);
            p.setRenderHint(QPainter::Antialiasing);
            const QPointF c(w / 2.0, h / 2.0);
            QRadialGradient g(c, 1.8 * r);
            g.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.9f));
            g.setColorAt(1, QColor(255, 255, 255, 0));
            p.setPen(Qt::NoPen);
            p.setBrush(g);
            p.drawEllipse(c, 1.8 * r, 0.5 * r);
        }
        sprite = Bloom::blurred(sprite, blur);
        KnotSprite& s = knotSprites_[size_t(k)];
        s.width = w;
        s.height = h;
        s.alpha.resize(size_t(w) * h);
        for (int y = 0; y < h; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(sprite.constScanLine(y));
            for (int x = 0; x < w; ++x) s.alpha[size_t(y) * w + x] = uint8_t(qAlpha(line[x]));
        }
    }
    knots_.assign(size_t(n) * n, 0);
    knotRects_.clear();
    fresh_ = false;
}

void BlackHoleArt::placeKnots(double phase) {
    const int n = side_;
    for (const auto& r : knotRects_)
        for (int y = r[1]; y < r[1] + r[3]; ++y) std::memset(&knots_[size_t(y) * n + r[0]], 0, size_t(r[2]));
    knotRects_.clear();
    const auto knots = DiskKnots::knots(phase, side(size_));
    for (int i = 0; i < int(knots.size()); ++i) {
        const KnotSprite& s = knotSprites_[size_t(i % 2)];
        const int left = int(std::lround(n / 2.0 + knots[size_t(i)].centre.x() * scale_ - s.width / 2.0));
        const int top = int(std::lround(n / 2.0 + knots[size_t(i)].centre.y() * scale_ - s.height / 2.0));
        const int x0 = std::max(0, left), y0 = std::max(0, top);
        const int x1 = std::min(n, left + s.width), y1 = std::min(n, top + s.height);
        if (x1 <= x0 || y1 <= y0) continue;
        for (int y = y0; y < y1; ++y) {
            uint8_t* dst = &knots_[size_t(y) * n];
            const uint8_t* src = &s.alpha[size_t(y - top) * s.width - left];
            for (int x = x0; x < x1; ++x) dst[x] = uint8_t(std::min(255, dst[x] + src[x]));
        }
        knotRects_.push_back({x0, y0, x1 - x0, y1 - y0});
    }
}

const QImage& BlackHoleArt::compose(double t, double phase, double pace, double size, double energy,
                                    double pixelScale) {
    prepare(size, pixelScale);
    // A repaint of the same frame (another widget over it, an expose) reuses it.
    const std::array<double, 4> key{t, phase, pace, energy};
    if (fresh_ && key == composed_) return frame_;
    composed_ = key;
    fresh_ = true;
    placeKnots(phase);
    const int n = side_;
    const auto& lut = flare();
    const int shift = int(std::lround(fraction(phase) * turn));
    const int wash = int(std::lround(std::clamp(0.22 * energy, 0.0, 1.0) * 255));
    const int flareOpacity = fixed(0.3 + 0.3 * energy + 0.15 * std::min(pace, 1.0));
    const int sheenOpacity = fixed(sheen(t, energy));
    const int knotOpacity = fixed(0.45 + 0.35 * energy);
    // The sheen runs from white on the leading edge through a quarter at the middle to clear.
    std::vector<int> sheenByColumn(static_cast<size_t>(n));
    for (int x = 0; x < n; ++x) {
        const double s = (x + 0.5) / n;
        const double alpha = s < 0.5 ? 1 - 1.5 * s : 0.5 - 0.5 * s;
        sheenByColumn[size_t(x)] = (int(std::lround(alpha * 255)) * sheenOpacity) >> 8;
    }
    for (int y = content_.top(); y <= content_.bottom(); ++y) {
        const auto* base = reinterpret_cast<const QRgb*>(base_.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(frame_.scanLine(y));
        std::memcpy(out + content_.left(), base + content_.left(), size_t(content_.width()) * sizeof(QRgb));
        const size_t row = size_t(y) * n;
        for (int s = rowSpans_[size_t(y)]; s < rowSpans_[size_t(y) + 1]; ++s) {
            // White light (wash, sheen, knots) and the turning flare add up within
            // their group, are masked, then add onto the art.
            auto white = [&](int x) {
                return uint32_t(std::min(255, wash + sheenByColumn[size_t(x)] + ((knots_[row + x] * knotOpacity) >> 8)));
            };
            auto flareAt = [&](int x) { return lut[size_t((angle_[row + x] - shift) & (turn - 1))]; };
            int x = spans_[size_t(s)][0];
            const int end = spans_[size_t(s)][1];
#ifdef __SSE2__
            // Four pixels at a time, sixteen channels with saturating adds.
            const __m128i zero = _mm_setzero_si128();
            const __m128i flareScale = _mm_set1_epi16(short(flareOpacity));
            for (; x + 4 <= end; x += 4) {
                const __m128i w = _mm_set_epi32(int(white(x + 3) * 0x01010101u), int(white(x + 2) * 0x01010101u),
                                                int(white(x + 1) * 0x01010101u), int(white(x) * 0x01010101u));
                const __m128i f = _mm_set_epi32(int(flareAt(x + 3)), int(flareAt(x + 2)), int(flareAt(x + 1)),
                                                int(flareAt(x)));
                const __m128i flare = _mm_packus_epi16(
                    _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(f, zero), flareScale), 8),
                    _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(f, zero), flareScale), 8));
                const __m128i light = _mm_adds_epu8(w, flare);
                auto m = [&](int k) { const int v = mask_[row + x + k]; return short(v + (v >> 7)); };
                const __m128i mLow = _mm_set_epi16(m(1), m(1), m(1), m(1), m(0), m(0), m(0), m(0));
                const __m128i mHigh = _mm_set_epi16(m(3), m(3), m(3), m(3), m(2), m(2), m(2), m(2));
                const __m128i masked = _mm_packus_epi16(
                    _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(light, zero), mLow), 8),
                    _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(light, zero), mHigh), 8));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + x));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_adds_epu8(b, masked));
            }
#endif
            for (; x < end; ++x) {
                const uint32_t light = plus(white(x) * 0x01010101u, scaled(flareAt(x), flareOpacity));
                const uint32_t m = mask_[row + x];
                out[x] = plus(base[x], scaled(light, m + (m >> 7)));
            }
        }
    }
    return frame_;
}

void BlackHoleArt::paint(QPainter& painter, QPointF centre, double t, double phase, double pace, double size,
                         double energy, double pixelScale) {
    const QImage& art = compose(t, phase, pace, size, energy, pixelScale);
    const double d = side(size);
    const double b = breathing(t);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(centre + QPointF(0, 0.0175 * d));
    painter.scale(b, b);
    const QRectF source(content_);
    const QRectF target(source.x() / scale_ - d / 2, source.y() / scale_ - d / 2, source.width() / scale_,
                        source.height() / scale_);
    paintInBands(painter, target, [&] { painter.drawImage(target, art, source); });
    painter.restore();
}
