#include "Views/Clean/BlackHoleLayers.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

#include "Models/Clean/Shockwave.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Kit/Bloom.h"
#include "Views/Kit/Starfield.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

namespace {
constexpr double pi = std::numbers::pi;

double fraction(double x) { return x - std::floor(x); }

// Device pixels a painter draws with, for images made to match it.
qreal pixelRatio(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    return device ? device->devicePixelRatioF() : 1.0;
}
}  // namespace

// ---- DiskKnots

std::array<DiskKnots::Knot, 7> DiskKnots::knots(double phase, double width) {
    std::array<Knot, 7> out;
    for (int i = 0; i < 7; ++i) {
        const double a = 2 * pi * (i / 7.0 + phase * (1 + 0.17 * (i % 3)));
        out[size_t(i)] = {{0.34 * width * std::cos(a), 0.05 * width * std::sin(a)}, width * (0.035 + 0.012 * (i % 2))};
    }
    return out;
}

// ---- ScanRipples

std::array<ScanRipples::Ripple, 3> ScanRipples::ripples(double t, double size) {
    std::array<Ripple, 3> out;
    for (int i = 0; i < 3; ++i) {
        const double p = fraction(0.45 * t + i / 3.0);
        out[size_t(i)] = {QSizeF(size * (1.5 - 1.1 * p), size * (0.62 - 0.45 * p)), 0.35 * std::sin(pi * p)};
    }
    return out;
}

void ScanRipples::paint(QPainter& painter, QPointF centre, double t, double size, Outlines& outlines) {
    if (outlines.t != t || outlines.size != size) {
        QPainterPathStroker stroker;
        stroker.setWidth(1.2);
        stroker.setMiterLimit(10);
        const QTransform turn = QTransform().rotate(rotation);
        const auto all = ripples(t, size);
        for (size_t i = 0; i < all.size(); ++i) {
            QPainterPath ellipse;
            ellipse.addEllipse(QPointF(0, 0), all[i].frame.width() / 2, all[i].frame.height() / 2);
            outlines.paths[i] = turn.map(stroker.createStroke(ellipse));
            outlines.opacity[i] = all[i].opacity;
        }
        outlines.t = t;
        outlines.size = size;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(centre);
    for (size_t i = 0; i < outlines.paths.size(); ++i)
        if (outlines.opacity[i] > 0)
            painter.fillPath(outlines.paths[i], Theme::withOpacity(BlackHole::peach(), outlines.opacity[i]));
    painter.restore();
}

// ---- SwallowFlashes

std::array<SwallowFlashes::Flash, 4> SwallowFlashes::flashes(double t, double size) {
    std::array<Flash, 4> out;
    for (int i = 0; i < 4; ++i) {
        const double c = 0.9 * t + 0.27 * i;
        const double f = fraction(c);
        const double g = 1.9 * i + 2.4 * std::floor(c);
        out[size_t(i)] = {{0.2 * size * std::cos(g), 0.2 * size * std::sin(g) - 0.02 * size},
                          f < 0.25 ? std::sin(4 * pi * f) : 0.0};
    }
    return out;
}

void SwallowFlashes::paint(QPainter& painter, QPointF centre, double t, double size) {
    const double radius = 0.05 * size;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    painter.setPen(Qt::NoPen);
    const double base = painter.opacity();
    for (const Flash& f : flashes(t, size)) {
        if (f.opacity <= 0) continue;
        const QPointF at = centre + f.offset;
        QRadialGradient g(at, radius);
        g.setColorAt(0, Qt::white);
        g.setColorAt(0.5, Theme::withOpacity(BlackHole::peach(), 0.6));
        g.setColorAt(1, Qt::transparent);
        painter.setOpacity(base * f.opacity);
        painter.setBrush(g);
        painter.drawEllipse(at, radius, radius);
    }
    painter.restore();
}

// ---- The particle field

const std::array<Quelto::Particle, Quelto::count>& Quelto::particles() {
    static const std::array<Particle, count> list = [] {
        static const char* symbols[9] = {"doc.fill",   "folder.fill", "photo.fill", "doc.zipper", "film.fill",
                                         "music.note", nullptr,       nullptr,      nullptr};
        std::array<Particle, count> out;
        StarRandom random(0);
        random.state = 0x56E27EB562EDDF5Dull;
        for (int i = 0; i < count; ++i) {
            Particle& p = out[size_t(i)];
            p.angle = 2 * pi * random.unit();
            p.radius = 0.6 + 0.3 * random.unit();
            p.speed = 0.32 + 0.3 * random.unit();
            p.phase = random.unit();
            p.scale = 0.6 + 0.7 * random.unit();
            if (const char* s = symbols[i % 9]) p.symbol = QString::fromLatin1(s);
        }
        return out;
    }();
    return list;
}

Quelto::Placement Quelto::place(const Particle& particle, double t, double size) {
    const double v = fraction(t * particle.speed + particle.phase);
    const double q = v * v;
    const double r = size * (0.18 + (particle.radius - 0.18) * (1 - q));
    const double a = particle.angle + 2.6 * q;
    const double x = r * std::cos(a), y = 0.55 * r * std::sin(a);
    return {{x, y},
            (1 + 2.6 * q) * particle.scale,
            (1 - 0.75 * q) * particle.scale,
            std::atan2(y, x),
            std::min(6 * v, 1.0) * (1 - std::max((q - 0.72) / 0.28, 0.0))};
}

const Quelto::Sprites::Sprite& Quelto::Sprites::get(const std::optional<QString>& symbol, double size,
                                                      const QColor& glow, qreal dpr) {
    if (size_ != size || ratio_ != dpr || glow_ != glow.rgba()) {
        sprites_.clear();
        size_ = size;
        ratio_ = dpr;
        glow_ = glow.rgba();
    }
    const QString key = symbol.value_or(QString());
    auto it = sprites_.find(key);
    if (it != sprites_.end()) return *it;
    const double side = symbol ? Symbols::sizeForFont(0.065 * size) : 0.028 * size;
    const double pad = 12;  // room for the glow
    const QSizeF frame(side + 2 * pad, side + 2 * pad);
    QImage content((frame * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    content.setDevicePixelRatio(dpr);
    content.fill(Qt::transparent);
    const QRectF box(pad, pad, side, side);
    {
        QPainter p(&content);
        p.setRenderHint(QPainter::Antialiasing);
        if (symbol) {
            Symbols::paint(p, *symbol, box, QColor::fromRgbF(0.95f, 0.95f, 0.95f));
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor::fromRgbF(0.8f, 0.8f, 0.8f));
            p.drawEllipse(box);
        }
    }
    QImage shadow = content;
    {
        QPainter p(&shadow);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(QRectF(QPointF(), frame), Theme::withOpacity(glow, 0.8));
    }
    QImage out = Bloom::blurred(shadow, 4 * dpr);
    out.setDevicePixelRatio(dpr);
    {
        QPainter p(&out);
        p.drawImage(QPointF(), content);
    }
    return *sprites_.insert(key, {out, frame});
}

void Quelto::paint(QPainter& painter, QPointF centre, double t, double size, const QColor& glow, Sprites& sprites) {
    const qreal dpr = pixelRatio(painter);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const double base = painter.opacity();
    for (const Particle& particle : particles()) {
        const Placement at = place(particle, t, size);
        if (at.opacity <= 0) continue;
        const Sprites::Sprite& s = sprites.get(particle.symbol, size, glow, dpr);
        painter.save();
        painter.translate(centre + at.offset);
        painter.rotate(at.rotation * 180 / pi);
        painter.scale(at.scaleX, at.scaleY);
        painter.setOpacity(base * at.opacity);
        painter.drawImage(QRectF(QPointF(-s.frame.width() / 2, -s.frame.height() / 2), s.frame), s.image);
        painter.restore();
    }
    painter.restore();
}

// ---- ShockwaveRing

std::optional<ShockwaveRing::Ring> ShockwaveRing::ring(int which, double age, double strength, double size) {
    static constexpr double delays[2] = {0, 0.16}, alphas[2] = {1.0, 0.45};
    const double delay = delays[which], total = Shockwave::duration(strength);
    const double p = (age - delay) / (total - delay);
    if (!(p > 0 && p < 1)) return std::nullopt;
    const double start = 0.22 * size, end = size * (1.1 + 1.2 * strength);
    return Ring{start + (1 - std::pow(1 - p, 1.7)) * (end - start), alphas[which] * std::pow(1 - p, 1.1),
                size * (0.006 + 0.05 * (1 - p))};
}

namespace {
// The blurred stroke reaches furthest: half of 3 w plus three standard deviations of 0.9 w.
double outerReach(const ShockwaveRing::Ring& r) { return r.radius + 1.5 * r.width + 2.7 * r.width + 1; }
}  // namespace

QRectF ShockwaveRing::bounds(double age, double strength, double size) {
    QRectF out;
    for (int which = 0; which < 2; ++which) {
        if (auto r = ring(which, age, strength, size)) {
            const double reach = outerReach(*r);
            out = out.united(QRectF(-reach, -reach, 2 * reach, 2 * reach).translated(0, -0.02 * size));
        }
    }
    return out;
}

QRegion ShockwaveRing::changed(double before, double age, double strength, double size) {
    // Inside half of the smallest radius the fill is clear in both frames.
    double inner = 1e9, outer = 0;
    for (double a : {before, age}) {
        for (int which = 0; which < 2; ++which) {
            if (auto r = ring(which, a, strength, size)) {
                inner = std::min(inner, r->radius / 2 - 2);
                outer = std::max(outer, outerReach(*r));
            }
        }
    }
    if (outer <= 0) return {};
    inner = std::max(inner, 0.0);
    // The annulus as horizontal bands, each without the part the inner circle fills.
    constexpr int bands = 32;
    const double dy = 0.02 * size;
    QRegion out;
    const double h = 2 * outer / bands;
    for (int i = 0; i < bands; ++i) {
        const double y0 = -outer + i * h, y1 = y0 + h;
        const double nearest = (y0 < 0 && y1 > 0) ? 0 : std::min(std::abs(y0), std::abs(y1));
        const double farthest = std::max(std::abs(y0), std::abs(y1));
        const double xo = std::sqrt(std::max(outer * outer - nearest * nearest, 0.0));
        const double xi = farthest < inner ? std::sqrt(inner * inner - farthest * farthest) : 0;
        auto add = [&](double left, double right) {
            out += QRectF(left, y0 - dy, right - left, h).toAlignedRect();
        };
        if (xi > 1) {
            add(-xo, -xi);
            add(xi, xo);
        } else {
            add(-xo, xo);
        }
    }
    return out;
}

void ShockwaveRing::paint(QPainter& painter, QPointF canvasCentre, double age, double strength, double size) {
    const std::optional<Ring> rings[2] = {ring(0, age, strength, size), ring(1, age, strength, size)};
    double inner = 1e9, outer = 0;
    for (const auto& r : rings) {
        if (!r) continue;
        inner = std::min(inner, r->radius / 2);
        outer = std::max(outer, outerReach(*r));
    }
    if (outer <= 0) return;
    const QPointF c = centre(canvasCentre, size);
    const qreal dpr = pixelRatio(painter);
    const QColor& peach = BlackHole::peach();

    // Every layer of both rings depends on the distance from the centre alone:
    // one profile, a quarter of a device pixel a step, added up as the additive
    // blend adds them.
    const double step = 0.25 / dpr;
    const size_t steps = size_t((outer - inner) / step) + 2;
    std::vector<QRgb> profile(steps);
    for (size_t i = 0; i < steps; ++i) {
        const double d = inner + double(i) * step;
        double a = 0, red = 0, green = 0, blue = 0;
        auto add = [&](const QColor& colour, double alpha) {
            a += alpha;
            red += colour.redF() * alpha;
            green += colour.greenF() * alpha;
            blue += colour.blueF() * alpha;
        };
        for (const auto& r : rings) {
            if (!r) continue;
            // A faint fill that brightens towards the rim; clear inside half the radius.
            if (d >= r->radius / 2 && d <= r->radius) add(peach, 0.5 * r->fade * 0.35 * (d / r->radius - 0.5) / 0.5);
            // The wide stroke, blurred.
            add(peach, r->fade * Bloom::blurredBand(d, r->radius, 3 * r->width, 0.9 * r->width));
            // The thin white line, antialiased over a device pixel.
            const double line = std::max(0.5 * r->width, 0.8);
            add(Qt::white, 0.9 * r->fade * std::clamp((line / 2 - std::abs(d - r->radius)) * dpr + 0.5, 0.0, 1.0));
        }
        auto byte = [](double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
        profile[i] = qRgba(byte(red), byte(green), byte(blue), byte(a));
    }

    // Only where the painter may paint (what changed), only within the band, and in
    // short strips the raster engine copies on the main thread.
    const QRectF square(c - QPointF(outer, outer), QSizeF(2 * outer, 2 * outer));
    const QRegion area = (painter.hasClipping() ? painter.clipRegion() : QRegion(square.toAlignedRect())) &
                         square.toAlignedRect();
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    for (const QRect& rect : area) {
        for (int top = rect.top(); top <= rect.bottom(); top += 32) {
            const QRect strip(rect.left(), top, rect.width(), std::min(32, rect.bottom() - top + 1));
            const QSize pixels = (QSizeF(strip.size()) * dpr).toSize();
            QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            bool any = false;
            for (int y = 0; y < pixels.height(); ++y) {
                const double dy = strip.top() + (y + 0.5) / dpr - c.y();
                if (std::abs(dy) > outer) continue;
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                const double xo = std::sqrt(outer * outer - dy * dy);
                const double xi = std::abs(dy) < inner ? std::sqrt(inner * inner - dy * dy) : 0.0;
                const float dy2 = float(dy * dy), perStep = float(1 / step), from0 = float(inner);
                const float left = float(strip.left() - c.x()), pixel = float(1 / dpr);
                const int last = int(steps) - 1;
                for (double from : {-xo, xi}) {
                    const double to = from < 0 ? -xi : xo;
                    const int x0 = std::max(0, int(std::floor((c.x() + from - strip.left()) * dpr)));
                    const int x1 = std::min(pixels.width(), int(std::ceil((c.x() + to - strip.left()) * dpr)));
                    for (int x = x0; x < x1; ++x) {
                        const float dx = left + (float(x) + 0.5f) * pixel;
                        const int i = int((std::sqrt(dx * dx + dy2) - from0) * perStep);
                        line[x] = profile[size_t(std::clamp(i, 0, last))];
                    }
                    any |= x1 > x0;
                }
            }
            if (!any) continue;
            image.setDevicePixelRatio(dpr);
            painter.drawImage(strip.topLeft(), image);
        }
    }
    painter.restore();
}
