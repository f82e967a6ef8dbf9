#include "Views/Analyze/ChartLayers.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRadialGradient>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Views/Kit/Bloom.h"
#include "Core/Clean/CleanTypes.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

namespace {

constexpr double pi = std::numbers::pi;

// The toolkit measures angles counter-clockwise from three o'clock; ours run
// clockwise on screen.
double qtDegrees(double clockwiseRadians) { return -clockwiseRadians * 180 / pi; }

// A premultiplied pixel scaled by k/256, two channels at a time.
inline uint32_t scaled(uint32_t argb, uint32_t k) {
    return (((argb & 0x00FF00FFu) * k >> 8) & 0x00FF00FFu) | ((((argb >> 8) & 0x00FF00FFu) * k) & 0xFF00FF00u);
}


}  // namespace

// ---- RingArc

QPainterPath RingArc::path(const QRectF& rect) const {
    const QPointF c = rect.center();
    const double R = std::min(rect.width(), rect.height()) / 2;
    const double g = end - start > 0.006 ? gap : 0.0;
    const double a0 = (start + g) * 2 * pi - pi / 2, a1 = (end - g) * 2 * pi - pi / 2;
    const QRectF o(c.x() - outer * R, c.y() - outer * R, 2 * outer * R, 2 * outer * R);
    const QRectF i(c.x() - inner * R, c.y() - inner * R, 2 * inner * R, 2 * inner * R);
    QPainterPath p;
    p.arcMoveTo(o, qtDegrees(a0));
    p.arcTo(o, qtDegrees(a0), qtDegrees(a1) - qtDegrees(a0));
    p.arcTo(i, qtDegrees(a1), qtDegrees(a0) - qtDegrees(a1));
    p.closeSubpath();
    return p;
}

// ---- RingBloom

QRectF RingBloom::bounds(const QRectF& square) {
    const double m = 3 * blurRadius(square.width());
    // On whole points, so the glow is added pixel for pixel rather than resampled.
    return QRectF(square.adjusted(-m, -m, m, m).toAlignedRect());
}

QImage RingBloom::rings(const OrbitLayout::Layout& layout, double reveal, const QRectF& square, double dpr) {
    const QRectF area = bounds(square);
    QImage image((area.size() * dpr).toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QRectF local = square.translated(-area.topLeft());
    const auto fill = [&](const std::vector<OrbitLayout::Segment>& ring, const RingBand& band) {
        for (const auto& s : ring) {
            p.setBrush(Theme::withOpacity(Theme::color(s.color), band.opacity));
            p.drawPath(RingArc{s.start * reveal, s.end * reveal, band.r0, band.r1}.path(local));
        }
    };
    fill(layout.outer, outerRing);
    fill(layout.inner, innerRing);
    return image;
}

QImage RingBloom::render(const OrbitLayout::Layout& layout, double reveal, const QRectF& square, double dpr) {
    QImage glow = Bloom::blurred(rings(layout, reveal, square, dpr), blurRadius(square.width()) * dpr);
    // Faded once here rather than by the painter on every frame.
    const auto k = uint32_t(std::lround(opacity * 256));
    for (int y = 0; y < glow.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(glow.scanLine(y));
        for (int x = 0; x < glow.width(); ++x) line[x] = scaled(line[x], k);
    }
    return glow;
}

// ---- HorizonShadow

void HorizonShadow::paint(QPainter& p, const QRectF& frame, double radius) {
    const double S = radius * std::min(frame.width(), frame.height());
    const QPointF c = frame.center();
    QRadialGradient g(c, 0.62 * S);
    g.setColorAt(0, Qt::black);
    g.setColorAt(1.0 / 3, Qt::black);
    g.setColorAt(2.0 / 3, Theme::withOpacity(Qt::black, 0.85));
    g.setColorAt(1, Theme::withOpacity(Qt::black, 0));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(c, 0.62 * S, 0.62 * S);
    p.restore();
}

// ---- ChartMotion

const std::array<ChartMotion::Streak, ChartMotion::streakCount>& ChartMotion::streaks() {
    static const auto table = [] {
        uint64_t x = 0x538454127B096493ull;
        const auto next = [&x] {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            return x;
        };
        const auto u = [&] { return double(next() % 10000) / 10000; };
        std::array<Streak, streakCount> out{};
        for (Streak& s : out) {
            const double a = u(), b = u(), e = u(), h = u();
            s = {a, b, 0.04 + 0.16 * e, 0.02 + 0.05 * (1 - a), 0.1 + 0.22 * h};
        }
        return out;
    }();
    return table;
}

namespace {

// A gradient around a circle as 1,024 premultiplied colours, the first at angle 0.
struct Ramp {
    static constexpr int size = 1024;
    std::array<std::array<float, 4>, size> rgba{};  // premultiplied red, green, blue, alpha

    Ramp(std::initializer_list<std::pair<double, QColor>> stops, double opacity) {
        const std::vector<std::pair<double, QColor>> s(stops);
        for (int i = 0; i < size; ++i) {
            const double at = (i + 0.5) / size;
            size_t k = 1;
            while (k + 1 < s.size() && s[k].first < at) ++k;
            const double f = std::clamp((at - s[k - 1].first) / std::max(1e-9, s[k].first - s[k - 1].first), 0.0, 1.0);
            const QColor& a = s[k - 1].second;
            const QColor& b = s[k].second;
            // Mixed premultiplied, so a colour fades to clear without darkening.
            const double aa = a.alphaF(), ba = b.alphaF();
            rgba[i] = {float((a.redF() * aa * (1 - f) + b.redF() * ba * f) * opacity),
                       float((a.greenF() * aa * (1 - f) + b.greenF() * ba * f) * opacity),
                       float((a.blueF() * aa * (1 - f) + b.blueF() * ba * f) * opacity),
                       float((aa * (1 - f) + ba * f) * opacity)};
        }
    }
    const std::array<float, 4>& at(uint16_t angle, uint16_t offset) const {
        return rgba[uint16_t(angle - offset) >> 6];
    }
};

// The same as packed premultiplied pixels, with the stretches where it is not clear.
struct PackedRamp {
    std::array<uint32_t, Ramp::size> argb{};
    std::vector<std::pair<uint16_t, uint16_t>> lit;  // first and last angle, from the ramp's start
    explicit PackedRamp(const Ramp& ramp);
    uint32_t at(uint16_t angle, uint16_t offset) const { return argb[uint16_t(angle - offset) >> 6]; }
};

uint16_t turnOffset(double degrees) { return uint16_t(int64_t(std::floor(std::fmod(degrees, 360.0) / 360.0 * 65536))); }

// sin(rate t), reduced first: the sine of a huge angle is slow, and t counts seconds since 2001.
double wave(double rate, double t) { return std::sin(std::fmod(rate * t, 2 * pi)); }

// White at `a` (0…255) over a premultiplied pixel.
inline uint32_t whiteOver(uint32_t below, uint32_t a) { return a * 0x01010101u + scaled(below, 256 - a - (a >> 7)); }

// Components from 0 up (never below).
inline QRgb premultiplied(float r, float g, float b, float a) {
    const auto c = [](float v) { return uint32_t(std::min(v, 1.0f) * 255.0f + 0.5f); };
    return (c(a) << 24) | (c(r) << 16) | (c(g) << 8) | c(b);
}

PackedRamp::PackedRamp(const Ramp& ramp) {
    constexpr int step = 65536 / Ramp::size;
    for (int i = 0; i < Ramp::size; ++i) {
        const auto& c = ramp.rgba[size_t(i)];
        argb[size_t(i)] = premultiplied(c[0], c[1], c[2], c[3]);
        if (argb[size_t(i)] == 0) continue;
        if (!lit.empty() && lit.back().second == uint16_t(i * step - 1)) lit.back().second = uint16_t((i + 1) * step - 1);
        else lit.emplace_back(uint16_t(i * step), uint16_t((i + 1) * step - 1));
    }
}

// Calls `light` for each pixel whose angle lies from `a0` to `a1`, round through 0
// when `a1` comes before `a0`.
template <class Pixels, class Light>
void forArc(const Pixels& pixels, uint16_t a0, uint16_t a1, const Light& light) {
    const auto stretch = [&](uint16_t from, uint16_t to) {
        for (auto it = std::lower_bound(pixels.begin(), pixels.end(), typename Pixels::value_type{from, 0, 0});
             it != pixels.end() && it->angle <= to; ++it)
            light(*it);
    };
    if (a0 <= a1) {
        stretch(a0, a1);
    } else {
        stretch(a0, 0xFFFF);
        stretch(0, a1);
    }
}


}  // namespace

void ChartMotion::Canvas::prepare(int side, double dpr, double inner, double outer, double horizon) {
    side_ = side;
    dpr_ = dpr;
    band_.clear();
    sheen_.clear();
    ring_.clear();
    const double c = side / 2.0, R = side / 2.0;
    const double r0 = inner * R, r1 = outer * R, h = horizon * R;
    const double streakHalf = 0.4 * dpr;  // the streaks are 0.8 points wide
    for (int i = 0; i < streakCount; ++i) {
        streakRadius_[size_t(i)] = R * (inner + (outer - inner) * streaks()[size_t(i)].radius);
        streakPixels_[size_t(i)].clear();
    }
    // The widest glow of the horizon, at its fullest breath, and a pixel for the edge.
    const double reach = 9 * 1.25 / 2 * dpr + 1;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double dx = x + 0.5 - c, dy = y + 0.5 - c, r = std::hypot(dx, dy);
            double turn = std::atan2(dy, dx) / (2 * pi);
            if (turn < 0) turn += 1;
            const auto angle = uint16_t(int64_t(turn * 65536) & 0xFFFF);
            const auto index = uint32_t(y * side + x);
            const double coverage = std::clamp(r - r0 + 0.5, 0.0, 1.0) * std::clamp(r1 - r + 0.5, 0.0, 1.0);
            if (coverage > 0) {
                band_.push_back({angle, uint8_t(std::lround(coverage * 255)), index});
                // The sheen: white at 0.9 at the left edge of the square, clear from its middle on.
                const double f = (x + 0.5) / side;
                const auto sheen = uint8_t(std::lround((f < 0.5 ? 0.9 * (1 - 2 * f) : 0.0) * coverage * 255));
                if (sheen > 0) sheen_.push_back({index, sheen});
            }
            if (std::abs(r - h) < reach)
                ring_.push_back({index, angle, uint16_t(std::min<long>(std::lround(std::abs(r - h) * ringSteps), ringTable - 1))});
            if (r < r0 - 2 || r > r1 + 2) continue;
            for (int i = 0; i < streakCount; ++i) {
                const double across = std::clamp(streakHalf - std::abs(r - streakRadius_[size_t(i)]) + 0.5, 0.0, 1.0);
                if (across > 0)
                    streakPixels_[size_t(i)].push_back({angle, uint8_t(std::lround(across * 255)), index});
            }
        }
    std::sort(band_.begin(), band_.end());
    for (auto& pixels : streakPixels_) std::sort(pixels.begin(), pixels.end());
}

void ChartMotion::Canvas::paint(QImage& image, double t) const {
    image.fill(Qt::transparent);
    if (image.width() != side_ || image.height() != side_) return;
    const QColor& peach = BlackHole::peach();
    static const PackedRamp flare(Ramp({{0, Theme::withOpacity(Qt::white, 0)},
                             {0.06, Theme::withOpacity(Qt::white, 0.9)},
                             {0.2, Theme::withOpacity(Qt::white, 0)},
                             {0.5, Theme::withOpacity(BlackHole::peach(), 0)},
                             {0.56, Theme::withOpacity(BlackHole::peach(), 0.8)},
                             {0.7, Theme::withOpacity(BlackHole::peach(), 0)},
                             {1.0, Theme::withOpacity(Qt::white, 0)}},
                            0.32));
    static const Ramp horizonRamp({{0, Qt::white},
                                   {0.25, BlackHole::peach()},
                                   {0.5, Theme::withOpacity(Qt::white, 0.7)},
                                   {0.75, BlackHole::peach()},
                                   {1, Qt::white}},
                                  1.0);
    auto* out = reinterpret_cast<QRgb*>(image.bits());

    // The band: the flare turning once in about 26 seconds, under a faint sheen from the left.
    const uint16_t flareAt = turnOffset(14 * t);
    for (const auto& [first, last] : flare.lit)
        forArc(band_, uint16_t(first + flareAt), uint16_t(last + flareAt), [&](const ArcPixel& b) {
            const uint32_t f = flare.at(b.angle, flareAt);
            out[b.index] = b.coverage == 255 ? f : scaled(f, b.coverage + 1u);
        });
    const auto sheenScale = uint32_t(std::lround((0.1 + 0.03 * wave(1.7, t)) * 256));
    for (const SheenPixel& s : sheen_)
        if (const uint32_t a = (s.amount * sheenScale) >> 8) out[s.index] = whiteOver(out[s.index], a);

    // The streaks orbiting in the band, white over its light. A pixel's distance along a
    // streak, in angles, wraps round by itself.
    for (int i = 0; i < streakCount; ++i) {
        const Streak& streak = streaks()[size_t(i)];
        const double perTurn = 2 * pi * streakRadius_[size_t(i)];  // device pixels a turn
        const auto from = uint16_t(int64_t(std::floor((streak.start + std::fmod(t * streak.speed, 1.0)) * 65536)));
        const auto length = uint16_t(std::lround(streak.length * 65536));
        const auto edge = uint16_t(std::ceil(65536 / perTurn));  // a pixel
        const float unit = float(perTurn / 65536), lengthPx = float(streak.length * perTurn);
        const float alpha = float(streak.alpha);  // times the coverage's 0…255
        // From a pixel before the start to a pixel past the end.
        forArc(streakPixels_[size_t(i)], uint16_t(from - edge), uint16_t(from + length + edge), [&](const ArcPixel& p) {
            const float along = float(int16_t(uint16_t(p.angle - from))) * unit;  // pixels from the start
            // Soft at both ends; a streak is always longer than a pixel.
            const float ends = std::min({along + 0.5f, lengthPx - along + 0.5f, 1.0f});
            if (ends <= 0) return;
            if (const auto cover = uint32_t(alpha * float(p.coverage) * ends)) out[p.index] = whiteOver(out[p.index], cover);
        });
    }

    // The horizon: three breathing strokes of peach, then a thin ring of turning light.
    const double k = 1 + 0.25 * wave(1.3, t);
    const float ringOpacity = float(0.85 + 0.1 * wave(0.9, t));
    const uint16_t ringTurn = turnOffset(20 * t);
    const float pr = peach.redF(), pg = peach.greenF(), pb = peach.blueF();
    const std::array<std::pair<float, float>, 3> glow{{{0.06f, float(9 * k * dpr_ / 2)},
                                                       {0.12f, float(5 * k * dpr_ / 2)},
                                                       {0.25f, float(2.6 * k * dpr_ / 2)}}};
    const float ringHalf = float(0.8 * dpr_);
    // The glow's and the ring's strength by distance from the horizon, for this frame.
    std::array<float, ringTable> glowAt{}, ringAt{};
    for (size_t d = 0; d < glowAt.size(); ++d) {
        const float distance = float(d) / ringSteps;
        float clear = 1;  // how much of what is below shows through the glow
        for (const auto& [alpha, half] : glow) clear *= 1 - alpha * std::clamp(half - distance + 0.5f, 0.0f, 1.0f);
        glowAt[d] = 1 - clear;
        ringAt[d] = std::clamp(ringHalf - distance + 0.5f, 0.0f, 1.0f) * ringOpacity;
    }
    for (const RingPixel& g : ring_) {
        const float a = glowAt[g.distance], rc = ringAt[g.distance];
        const auto& ring = horizonRamp.at(g.angle, ringTurn);
        // The ring over the glow, both over the band's light.
        float lr = ring[0] * rc + pr * a * (1 - ring[3] * rc), lg = ring[1] * rc + pg * a * (1 - ring[3] * rc),
              lb = ring[2] * rc + pb * a * (1 - ring[3] * rc), la = ring[3] * rc + a * (1 - ring[3] * rc);
        if (la <= 0) continue;
        const QRgb below = out[g.index];
        const float keep = 1 - la;
        out[g.index] = premultiplied(lr + qRed(below) / 255.0f * keep, lg + qGreen(below) / 255.0f * keep,
                                        lb + qBlue(below) / 255.0f * keep, la + qAlpha(below) / 255.0f * keep);
    }
}

// ---- CenterReadout

namespace {

// The text's lines at the largest scale down to `minScale` at which it fits in
// `maxLines` lines of `width`; at the smallest scale the last line is cut short.
struct Fitted {
    QFont font;
    QStringList lines;
    double lineHeight = 0;
};

Fitted fit(const QString& text, QFont font, double width, int maxLines, double minScale) {
    const double base = font.pointSizeF();
    for (double scale = 1.0;; scale = std::max(minScale, scale - 0.05)) {
        font.setPointSizeF(base * scale);
        const QFontMetricsF fm(font);
        QStringList lines;
        QTextLayout layout(text, font);
        QTextOption option(Qt::AlignHCenter);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
        }
        layout.endLayout();
        if (lines.size() <= maxLines || scale <= minScale) {
            if (lines.size() > maxLines) {
                const QString rest = QStringList(lines.mid(maxLines - 1)).join(QString());
                lines = lines.mid(0, maxLines - 1);
                lines.append(fm.elidedText(rest, Qt::ElideRight, width));
            }
            return {font, lines, fm.height()};
        }
    }
}

}  // namespace

void CenterReadout::paint(QPainter& p, const QRectF& square, const Detail& d) {
    const double w = square.width(), spacing = 0.02 * w;
    const double symbolSize = Symbols::sizeForFont(std::max(0.11 * w, 9.0));
    const Fitted name = fit(d.name, Theme::font(std::max(0.11 * w, 9.0), QFont::DemiBold), w, 2, 0.6);
    const QString sizeText = d.size ? toQString(formattedBytes(*d.size)) : QStringLiteral("—");
    const Fitted size = fit(sizeText, Theme::font(std::max(0.17 * w, 12.0), QFont::Bold), w, 1, 0.6);
    const Fitted caption = fit(d.caption, Theme::font(std::max(0.08 * w, 8.0), QFont::Normal, Theme::Design::monospaced), w, 2, 0.7);
    const auto height = [](const Fitted& f) { return f.lines.size() * f.lineHeight; };
    const double total = symbolSize + height(name) + height(size) + height(caption) + 3 * spacing;
    double y = square.center().y() - total / 2;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    Symbols::paint(p, d.symbol, QRectF(square.center().x() - symbolSize / 2, y, symbolSize, symbolSize), Theme::secondary());
    y += symbolSize + spacing;
    const auto draw = [&](const Fitted& f, const QColor& color) {
        p.setFont(f.font);
        p.setPen(color);
        for (const QString& line : f.lines) {
            // Centred on the square, even where a line is wider than it.
            const double lw = QFontMetricsF(f.font).horizontalAdvance(line);
            p.drawText(QRectF(square.center().x() - std::max(lw, w) / 2, y, std::max(lw, w), f.lineHeight),
                       Qt::AlignCenter | Qt::TextSingleLine, line);
            y += f.lineHeight;
        }
        y += spacing;
    };
    draw(name, Theme::text());
    draw(size, Theme::text());
    draw(caption, Theme::secondary());
    p.restore();
}
