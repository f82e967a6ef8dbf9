#include "Views/Clean/SwallowStream.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Platform/Clock.h"
#include "Platform/Gui/Icons.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Kit/Bands.h"

namespace {
constexpr uint64_t seedFactor = 73856093, columnFactor = 19349663, rowFactor = 83492791, shift = 135447641;

double referenceSeconds(const SwallowFeed::TimePoint& t) { return Platform::secondsSinceReferenceDate(t); }

// Premultiplied colour in 0...1 floats.
struct Colour {
    float a = 0, r = 0, g = 0, b = 0;
};

// The icon sampled between its pixels at (x, y), in pixels of the image.
Colour sample(const QImage& image, double x, double y) {
    const int w = image.width(), h = image.height();
    x = std::clamp(x, 0.0, double(w - 1));
    y = std::clamp(y, 0.0, double(h - 1));
    const int x0 = int(x), y0 = int(y);
    const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
    const float fx = float(x - x0), fy = float(y - y0);
    const auto* row0 = reinterpret_cast<const QRgb*>(image.constScanLine(y0));
    const auto* row1 = reinterpret_cast<const QRgb*>(image.constScanLine(y1));
    const QRgb p[4] = {row0[x0], row0[x1], row1[x0], row1[x1]};
    const float k[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    Colour c;
    for (int i = 0; i < 4; ++i) {
        c.a += k[i] * float(qAlpha(p[i]));
        c.r += k[i] * float(qRed(p[i]));
        c.g += k[i] * float(qGreen(p[i]));
        c.b += k[i] * float(qBlue(p[i]));
    }
    constexpr float byte = 1.0f / 255;
    return {c.a * byte, c.r * byte, c.g * byte, c.b * byte};
}

// Source-over onto the canvas pixel.
void blend(QRgb& dst, const Colour& c) {
    const float keep = 1 - c.a;
    auto channel = [keep](float src, int under) {
        return int(std::lround(std::clamp(src * 255 + float(under) * keep, 0.0f, 255.0f)));
    };
    dst = qRgba(channel(c.r, qRed(dst)), channel(c.g, qGreen(dst)), channel(c.b, qBlue(dst)),
                channel(c.a, qAlpha(dst)));
}

// How much of the pixel [i, i+1) the span [from, to) covers.
double cover(int i, double from, double to) { return std::clamp(std::min(i + 1.0, to) - std::max(double(i), from), 0.0, 1.0); }
}  // namespace

double SwallowStream::sizeClass(int64_t bytes) { return (SwallowFeed::flightTime(bytes) - 2.0) / 2.5; }

double SwallowStream::unit(uint64_t k) {
    k ^= k >> 33;
    k *= 0xFF51AFD7ED558CCDull;
    k ^= k >> 33;
    k *= 0xC4CEB9FE1A85EC53ull;
    k ^= k >> 33;
    return double(k % 10000) / 10000.0;
}

std::optional<SwallowStream::Flight> SwallowStream::flight(const SwallowFeed::Event& event, double now, double size) {
    Flight f;
    f.sizeClass = sizeClass(event.bytes);
    f.p = (now - referenceSeconds(event.start)) / SwallowFeed::flightTime(event.bytes);
    if (!(f.p >= 0 && f.p < 1)) return std::nullopt;
    f.eased = std::pow(f.p, 1.35);
    const double rho = (0.95 - 0.8 * f.eased) * size, angle = event.angle + 0.7 * f.eased;
    f.centre = QPointF(rho * std::cos(angle), 0.46 * rho * std::sin(angle));
    f.side = (1 - 0.3 * f.eased) * 0.13 * size * (0.6 + 0.9 * f.sizeClass);
    f.fadeIn = std::min(6 * f.p, 1.0);
    f.dissolve = f.eased < 0.38 ? 0 : std::min((f.eased - 0.38) / 0.55, 1.0);
    f.hole = QPointF(0, -0.02 * size);
    return f;
}

std::array<SwallowStream::Tile, SwallowStream::grid * SwallowStream::grid> SwallowStream::tiles(const Flight& f, int id) {
    std::array<Tile, grid * grid> out{};
    const QRectF icon(f.centre - QPointF(f.side / 2, f.side / 2), QSizeF(f.side, f.side));
    const double tau = f.side / grid;
    const QPointF toHole = f.hole - f.centre;
    const double dist = std::max(std::hypot(toHole.x(), toHole.y()), 1.0);
    const uint64_t s = uint64_t(int64_t(id)) * seedFactor;
    for (uint64_t c = 0; c < grid; ++c) {
        for (uint64_t r = 0; r < grid; ++r) {
            Tile& t = out[c * grid + r];
            t.rect = QRectF(icon.left() + tau * double(c), icon.top() + tau * double(r), tau, tau);
            const double along = (((double(c) + 0.5) / grid - 0.5) * toHole.x() + ((double(r) + 0.5) / grid - 0.5) * toHole.y()) / dist;
            t.threshold = 0.08 + 0.72 * unit((c * columnFactor) ^ s ^ (r * rowFactor)) - 0.25 * along;
            t.jitter = QPointF(tau * (unit((r * columnFactor) ^ (c * rowFactor) ^ s) - 0.5) * 4.0,
                               tau * (unit(((c * columnFactor + shift) ^ s) ^ (r * rowFactor)) - 0.5) * 2.4);
            // A tile holds until the break-up starts, whatever its threshold: one
            // near the hole can have a threshold below zero.
            t.loose = f.dissolve > 0 && f.dissolve >= t.threshold;
            const QPointF m = t.rect.center();
            t.at = m;
            if (t.loose) {
                t.q = std::min((f.dissolve - t.threshold) / std::max(1 - t.threshold, 0.15), 1.0);
                t.at = m + t.q * (f.hole - m) * 0.6 + t.q * t.jitter;
                t.scale = std::max(1 - 0.85 * t.q, 0.05);
            }
        }
    }
    return out;
}

QRectF SwallowStream::bounds(const std::vector<SwallowFeed::Event>& events, double now, double size) {
    QRectF out;
    for (const auto& e : events) {
        const auto f = flight(e, now, size);
        if (!f) continue;
        const QRectF icon(f->centre - QPointF(f->side / 2, f->side / 2), QSizeF(f->side, f->side));
        // Loose tiles travel up to 0.6 of the way to the hole, plus their drift.
        const double drift = 2.5 * f->side / grid;
        out = out.united(icon.united(icon.translated(0.6 * (f->hole - f->centre))).adjusted(-drift, -drift, drift, drift));
    }
    return out;
}

const QImage& SwallowStream::icon(const SwallowFeed::Event& event, int pixels) {
    Icon& entry = icons_[event.id];
    entry.used = true;
    if (entry.pixels != pixels) {
        QImage image = Platform::Icons::pixmap(event.icon, pixels).toImage();
        if (image.size() != QSize(pixels, pixels))
            image = image.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        entry.image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        entry.pixels = pixels;
    }
    return entry.image;
}

void SwallowStream::paint(QPainter& painter, QPointF centre, const std::vector<SwallowFeed::Event>& events, double now,
                          double size, double pixelScale) {
    const double half = 1.1 * size;
    const int n = int(std::ceil(2 * half * pixelScale));
    const double ps = pixelScale;
    auto show = [&] {
        if (drawn_.isEmpty()) return;
        const QRectF target(drawn_.x() / ps - half + centre.x(), drawn_.y() / ps - half + centre.y(),
                            drawn_.width() / ps, drawn_.height() / ps);
        paintInBands(painter, target, [&] { painter.drawImage(target, canvas_, QRectF(drawn_)); });
    };
    std::vector<int> ids;
    ids.reserve(events.size());
    for (const auto& e : events) ids.push_back(e.id);
    if (canvas_.isNull() || size != size_ || pixelScale != scale_) {
        canvas_ = QImage(n, n, QImage::Format_ARGB32_Premultiplied);
        canvas_.fill(Qt::transparent);
        drawn_ = {};
        drawnAt_ = -1;
        size_ = size;
        scale_ = pixelScale;
    } else if (now == drawnAt_ && ids == drawnEvents_) {
        // Another repaint of the same frame.
        show();
        return;
    }
    drawnAt_ = now;
    drawnEvents_ = ids;
    for (int y = drawn_.top(); y <= drawn_.bottom() && !drawn_.isEmpty(); ++y)
        std::memset(canvas_.scanLine(y) + drawn_.left() * 4, 0, size_t(drawn_.width()) * 4);
    drawn_ = {};
    for (auto& [id, entry] : icons_) entry.used = false;

    const QRect whole(0, 0, n, n);
    // Device pixels of a point given around the canvas centre.
    auto device = [&](QPointF p) { return QPointF((p.x() + half) * ps, (p.y() + half) * ps); };
    const QColor peach = BlackHole::peach();

    for (const auto& event : events) {
        const auto f = flight(event, now, size);
        if (!f) continue;
        const int pixels = std::max(2, int(std::ceil(0.13 * size * (0.6 + 0.9 * f->sizeClass) * ps)));
        const QImage& image = icon(event, pixels);
        const auto all = tiles(*f, event.id);
        const double iconPixels = image.width();
        // A tile's own pixels: (fu, fv) across it, 0...1.
        auto tileColour = [&](int c, int r, double fu, double fv) {
            return sample(image, (c + fu) / grid * iconPixels - 0.5, (r + fv) / grid * iconPixels - 0.5);
        };
        bool anyLoose = false;
        for (int i = 0; i < grid * grid; ++i) {
            const Tile& t = all[size_t(i)];
            if (!t.loose) continue;
            anyLoose = true;
            const int c = i / grid, r = i % grid;
            const QPointF at = device(t.at);
            const double hs = t.rect.width() * t.scale * ps / 2;
            const QRect box = QRectF(at.x() - hs, at.y() - hs, 2 * hs, 2 * hs).toAlignedRect() & whole;
            const float opacity = float(f->fadeIn * (1 - t.q) * (1 - 0.3 * t.q));
            const float green = float(1 - 0.55 * t.q), blue = float(1 - 0.75 * t.q);
            for (int y = box.top(); y <= box.bottom(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(canvas_.scanLine(y));
                const double cy = cover(y, at.y() - hs, at.y() + hs);
                for (int x = box.left(); x <= box.right(); ++x) {
                    const double k = cy * cover(x, at.x() - hs, at.x() + hs);
                    if (k <= 0) continue;
                    Colour s = tileColour(c, r, (x + 0.5 - (at.x() - hs)) / (2 * hs), (y + 0.5 - (at.y() - hs)) / (2 * hs));
                    const float o = opacity * float(k);
                    blend(line[x], {s.a * o, s.r * o, s.g * green * o, s.b * blue * o});
                }
            }
            drawn_ |= box;
            if (t.q < 0.35) {
                // A spark where the tile tore off.
                const double radius = 0.45 * t.rect.width() * ps;
                const QRect spark = QRectF(at.x() - radius - 1, at.y() - radius - 1, 2 * radius + 2, 2 * radius + 2).toAlignedRect() & whole;
                const float alpha = float(f->fadeIn * (0.35 - t.q));
                for (int y = spark.top(); y <= spark.bottom(); ++y) {
                    auto* line = reinterpret_cast<QRgb*>(canvas_.scanLine(y));
                    for (int x = spark.left(); x <= spark.right(); ++x) {
                        const double k = std::clamp(radius + 0.5 - std::hypot(x + 0.5 - at.x(), y + 0.5 - at.y()), 0.0, 1.0);
                        if (k <= 0) continue;
                        const float a = alpha * float(k);
                        blend(line[x], {a, peach.redF() * a, peach.greenF() * a, peach.blueF() * a});
                    }
                }
                drawn_ |= spark;
            }
        }
        // The part still whole, over its loose tiles.
        const QPointF topLeft = device(f->centre - QPointF(f->side / 2, f->side / 2));
        const double side = f->side * ps;
        const QRect box = QRectF(topLeft, QSizeF(side, side)).toAlignedRect() & whole;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(canvas_.scanLine(y));
            const double cy = cover(y, topLeft.y(), topLeft.y() + side);
            const double v = (y + 0.5 - topLeft.y()) / side;
            const int r = std::clamp(int(v * grid), 0, grid - 1);
            for (int x = box.left(); x <= box.right(); ++x) {
                const double u = (x + 0.5 - topLeft.x()) / side;
                const int c = std::clamp(int(u * grid), 0, grid - 1);
                if (anyLoose && all[size_t(c * grid + r)].loose) continue;
                const double k = cy * cover(x, topLeft.x(), topLeft.x() + side);
                if (k <= 0) continue;
                Colour s = sample(image, u * iconPixels - 0.5, v * iconPixels - 0.5);
                const float o = float(f->fadeIn * k);
                blend(line[x], {s.a * o, s.r * o, s.g * o, s.b * o});
            }
        }
        drawn_ |= box;
    }
    for (auto it = icons_.begin(); it != icons_.end();) it = it->second.used ? std::next(it) : icons_.erase(it);
    show();
}
