#include "Views/Kit/Starfield.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPen>

#include <cmath>
#include <numbers>

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

void LiveStarfield::drawShootingStar(QPainter& p, QSizeF size, double t) {
    const auto streak = shootingStar(t, size);
    if (!streak) return;
    QLinearGradient g(streak->tail, streak->head);
    g.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0));
    g.setColorAt(1, QColor::fromRgbF(1, 1, 1, float(streak->headOpacity)));
    QPen pen(QBrush(g), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(pen);
    p.drawLine(streak->tail, streak->head);
    p.restore();
}

void LiveStarfield::paint(QPainter& p, QSizeF size, double t) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (const Star& s : stars()) {
        const Dot d = dot(s, t, size);
        p.setBrush(QColor::fromRgbF(1, 1, 1, float(d.opacity)));
        p.drawEllipse(d.rect);
    }
    p.restore();
    drawShootingStar(p, size, t);
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
