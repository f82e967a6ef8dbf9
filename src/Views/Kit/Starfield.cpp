#include "Views/Kit/Starfield.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

const std::array<LiveStarfield::Star, LiveStarfield::count>& LiveStarfield::stars() {
    static const auto all = [] {
        std::array<Star, count> out{};
        StarRandom rng(11);
        for (int i = 0; i < count; ++i) {
            Star& s = out[i];
            s.x = rng.unit();
            s.y = rng.unit();
            s.r = 0.4 + 1.2 * rng.unit();
            s.alpha = 0.15 + 0.55 * rng.unit();
            s.speed = 0.4 + 1.6 * rng.unit();
            s.phase = 2 * std::numbers::pi * rng.unit();
            s.near = i % 4 == 0;
        }
        return out;
    }();
    return all;
}

LiveStarfield::Dot LiveStarfield::dot(const Star& s, double t, QSizeF size) {
    const double span = size.width() + 20;
    const double drift = std::fmod(t * (s.near ? 5.0 : 2.0), span);
    double x = span * s.x - drift;
    if (x < -10) x += span;
    // Reduced first: sin() of a huge angle is slow, and t counts seconds since 2001.
    const double twinkle = 0.55 + 0.45 * std::sin(std::fmod(t * s.speed, 2 * std::numbers::pi) + s.phase);
    const double d = s.r * (s.near ? 1.3 : 1.0);
    return {QRectF(x, size.height() * s.y, d, d), s.alpha * twinkle};
}

std::optional<LiveStarfield::Streak> LiveStarfield::shootingStar(double t, QSizeF size) {
    const double cycle = std::floor(t / 11.0);
    const double local = t - cycle * 11.0;
    if (local >= shootingStarDuration) return std::nullopt;
    const auto n = static_cast<uint64_t>(std::fabs(cycle));
    StarRandom rng(n + 3);
    const double startX = size.width() * (0.35 + 0.6 * rng.unit());
    const double startY = size.height() * 0.35 * rng.unit();
    const double p = local / shootingStarDuration;
    const QPointF head(startX - 260 * p, startY + 117 * p);
    const QPointF tail(head.x() + 70, head.y() - 31);
    return Streak{tail, head, 0.8 * std::sin(std::numbers::pi * p)};
}

namespace {
// Small pictures drawn again and again at moving places: each is drawn once per quarter
// of a device pixel it may sit at, then copied, which costs a fraction of filling its
// shape afresh; a quarter of a pixel shows no difference. Main thread only.
class Sprites {
public:
    // Copies picture `index` with its top left at `at` (device pixels from the painter's
    // origin, which is untransformed), drawing it first with `draw` when it is new:
    // `draw` paints it in device pixels at (0, 0) plus the offset it is given.
    template <class Draw>
    void paint(QPainter& p, size_t index, QPointF at, QSize size, const Draw& draw) {
        const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
        QPoint whole;
        const QImage& image = sprite(ratio, index, at, size, draw, whole);
        p.drawImage(QPointF(whole) / ratio, image);
    }

    // Picture `index` for a top left at `at` (device pixels), and the whole device
    // pixel to copy it to.
    template <class Draw>
    const QImage& sprite(qreal ratio, size_t index, QPointF at, QSize size, const Draw& draw, QPoint& whole) {
        if (ratio != ratio_) {
            images_.clear();
            ratio_ = ratio;
        }
        const auto quarters = [](double v) { return std::lround(v * steps); };
        const long qx = quarters(at.x()), qy = quarters(at.y());
        const long wx = long(std::floor(double(qx) / steps)), wy = long(std::floor(double(qy) / steps));
        const auto fx = size_t(qx - wx * steps), fy = size_t(qy - wy * steps);
        const size_t slot = (index * steps + fy) * steps + fx;
        if (images_.size() <= slot) images_.resize(slot + 1);
        QImage& image = images_[slot];
        if (image.isNull()) {
            image = QImage(size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter on(&image);
            on.setRenderHint(QPainter::Antialiasing);
            draw(on, QPointF(double(fx) / steps, double(fy) / steps));
            on.end();
            image.setDevicePixelRatio(ratio);
        }
        whole = QPoint(int(wx), int(wy));
        return image;
    }

private:
    static constexpr int steps = 4;
    qreal ratio_ = 0;
    std::vector<QImage> images_;
};
}  // namespace

void LiveStarfield::drawShootingStar(QPainter& p, QSizeF size, double t) {
    const auto streak = shootingStar(t, size);
    if (!streak) return;
    // Every streak is the same line at full strength, faded as a whole.
    static Sprites sprite;
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QPointF corner(std::min(streak->tail.x(), streak->head.x()) - 2, std::min(streak->tail.y(), streak->head.y()) - 2);
    const QSizeF span = QRectF(streak->tail, streak->head).normalized().size() + QSizeF(5, 5);
    p.save();
    p.setOpacity(p.opacity() * streak->headOpacity);
    sprite.paint(p, 0, corner * ratio, (span * ratio).toSize() + QSize(1, 1), [&](QPainter& on, QPointF offset) {
        on.scale(ratio, ratio);
        on.translate(offset / ratio - corner);
        QLinearGradient g(streak->tail, streak->head);
        g.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0));
        g.setColorAt(1, Qt::white);
        QPen pen(QBrush(g), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
        pen.setMiterLimit(10);
        on.setPen(pen);
        on.drawLine(streak->tail, streak->head);
    });
    p.restore();
}

namespace {
Sprites& starSprites() {
    static Sprites sprites;
    return sprites;
}
void drawStar(QPainter& on, QPointF offset, double diameter, qreal ratio) {
    on.setPen(Qt::NoPen);
    on.setBrush(Qt::white);
    on.drawEllipse(QRectF(offset, QSizeF(diameter, diameter) * ratio));
}
QSize spriteSize(double diameter, qreal ratio) {
    const int side = int(std::ceil(diameter * ratio)) + 2;
    return {side, side};
}
}  // namespace

void LiveStarfield::paint(QPainter& p, QSizeF size, double starsAt, double t, const QRegion& area) {
    Sprites& sprites = starSprites();
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const auto& all = stars();
    p.save();
    for (size_t i = 0; i < all.size(); ++i) {
        const Dot d = dot(all[i], starsAt, size);
        // Drawing a star costs far more than asking whether it shows.
        if (!area.intersects(d.rect.toAlignedRect().adjusted(-1, -1, 1, 1))) continue;
        const double diameter = d.rect.width();
        p.setOpacity(d.opacity);
        sprites.paint(p, i, d.rect.topLeft() * ratio, spriteSize(diameter, ratio),
                      [&](QPainter& on, QPointF offset) { drawStar(on, offset, diameter, ratio); });
    }
    p.restore();
    drawShootingStar(p, size, t);
}

void LiveStarfield::dots(Dots& out, double t, QSizeF size) {
    const auto& all = stars();
    for (size_t i = 0; i < all.size(); ++i) out[i] = dot(all[i], t, size);
}

void LiveStarfield::blend(QImage& image, QPoint origin, double ratio, QSizeF size, double starsAt, const QRegion& clip) {
    Dots at;
    dots(at, starsAt, size);
    blend(image, origin, ratio, at, clip);
}

void LiveStarfield::blend(QImage& image, QPoint origin, double ratio, const Dots& dots, const QRegion& clip) {
    Sprites& sprites = starSprites();
    const QRect bounds = clip.boundingRect() & image.rect();
    if (bounds.isEmpty()) return;
    // A region's rectangles come in bands from top to bottom: the few a star's rows
    // meet are found by their bottoms.
    const QRect* const first = clip.begin();
    const QRect* const last = clip.end();
    for (size_t i = 0; i < dots.size(); ++i) {
        const Dot& d = dots[i];
        const double diameter = d.rect.width();
        const QSize side = spriteSize(diameter, ratio);
        // Stars outside what is painted cost a few comparisons.
        const QPointF at = d.rect.topLeft() * ratio;
        const QRect guess(QPoint(int(std::floor(at.x())), int(std::floor(at.y()))) + origin, side + QSize(1, 1));
        if (!guess.intersects(bounds)) continue;
        // As the painter draws a picture at an opacity: the opacity in 256ths, then over.
        const int alpha = std::clamp(int(d.opacity * 256), 0, 256);
        if (alpha == 0) continue;
        QPoint whole;
        const QImage& sprite = sprites.sprite(ratio, i, at, side,
                                              [&](QPainter& on, QPointF offset) { drawStar(on, offset, diameter, ratio); }, whole);
        const QRect placed = QRect(whole + origin, sprite.size()) & bounds;
        if (placed.isEmpty()) continue;
        const int left = whole.x() + origin.x(), top = whole.y() + origin.y();
        for (const QRect* r = std::lower_bound(first, last, placed.top(), [](const QRect& a, int y) { return a.bottom() < y; });
             r != last && r->top() <= placed.bottom(); ++r) {
            const int x0 = std::max(r->left(), placed.left()), x1 = std::min(r->right(), placed.right());
            const int y0 = std::max(r->top(), placed.top()), y1 = std::min(r->bottom(), placed.bottom());
            for (int y = y0; y <= y1; ++y) {
                const auto* in = reinterpret_cast<const QRgb*>(sprite.constScanLine(y - top)) - left;
                auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = x0; x <= x1; ++x) {
                    const uint a = (qAlpha(in[x]) * uint(alpha)) >> 8;
                    if (a == 0) continue;
                    const QRgb o = out[x];
                    const auto over = [a](uint c) { return a + (c * (255 - a) + 127) / 255; };
                    out[x] = qRgb(int(over(uint(qRed(o)))), int(over(uint(qGreen(o)))), int(over(uint(qBlue(o)))));
                }
            }
        }
    }
}

void Starfield::paint(QPainter& p, QSizeF size, int count, uint64_t seed) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    StarRandom rng(seed);
    for (int i = 0; i < count; ++i) {
        const double x = size.width() * rng.unit();
        const double y = size.height() * rng.unit();
        const double d = 0.4 + 1.1 * rng.unit();
        const double o = 0.15 + 0.6 * rng.unit();
        p.setBrush(QColor::fromRgbF(1, 1, 1, float(o)));
        p.drawEllipse(QRectF(x, y, d, d));
    }
    p.restore();
}
