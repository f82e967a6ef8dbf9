#include "Views/Analyze/ChartLayers.h"

#include <QConicalGradient>
#include <QFontMetricsF>
#include <QLinearGradient>
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


// A conic gradient around the origin that starts at `degrees` clockwise from three
// o'clock and runs clockwise, for a painter whose y axis points up.
QConicalGradient clockwiseConic(double degrees, std::initializer_list<std::pair<double, QColor>> stops) {
    QConicalGradient g(QPointF(0, 0), -std::fmod(degrees, 360.0));
    for (const auto& [at, color] : stops) g.setColorAt(at, color);
    return g;
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
    return square.adjusted(-m, -m, m, m);
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
    return Bloom::blurred(rings(layout, reveal, square, dpr), blurRadius(square.width()) * dpr);
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

void ChartMotion::paint(QPainter& p, const QRectF& canvas, double t, double inner, double outer, double horizon) {
    const QPointF c = canvas.center();
    const double R = std::min(canvas.width(), canvas.height()) / 2;
    const QColor& peach = BlackHole::peach();
    QPainterPath band;
    band.setFillRule(Qt::OddEvenFill);
    band.addEllipse(c, outer * R, outer * R);
    band.addEllipse(c, inner * R, inner * R);

    // The light of the band, in a layer of its own that is added onto the canvas.
    const double dpr = p.device()->devicePixelRatioF();
    QImage layer((canvas.size() * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(dpr);
    layer.fill(Qt::transparent);
    {
        QPainter l(&layer);
        l.setRenderHint(QPainter::Antialiasing);
        l.translate(-canvas.topLeft());
        l.setClipPath(band);
        l.setPen(Qt::NoPen);
        // A white and a peach flare circling opposite each other.
        l.save();
        l.translate(c);
        l.scale(1, -1);
        l.setOpacity(0.32);
        const QColor white = Qt::white;
        l.setBrush(clockwiseConic(14 * t, {{0, Theme::withOpacity(white, 0)},
                                           {0.06, Theme::withOpacity(white, 0.9)},
                                           {0.2, Theme::withOpacity(white, 0)},
                                           {0.5, Theme::withOpacity(peach, 0)},
                                           {0.56, Theme::withOpacity(peach, 0.8)},
                                           {0.7, Theme::withOpacity(peach, 0)},
                                           {1.0, Theme::withOpacity(white, 0)}}));
        l.drawEllipse(QPointF(0, 0), outer * R, outer * R);
        l.restore();
        // A faint sheen from the left.
        QLinearGradient sheen(QPointF(c.x() - R, c.y()), QPointF(c.x() + R, c.y()));
        sheen.setColorAt(0, Theme::withOpacity(white, 0.9));
        sheen.setColorAt(0.5, Theme::withOpacity(white, 0));
        sheen.setColorAt(1, Theme::withOpacity(white, 0));
        l.setOpacity(0.1 + 0.03 * std::sin(1.7 * t));
        l.setBrush(sheen);
        l.drawPath(band);
        l.setOpacity(1);
        l.setBrush(Qt::NoBrush);
        for (const Streak& s : streaks()) {
            const double r = R * (inner + (outer - inner) * s.radius);
            const double from = 2 * pi * std::fmod(s.start + t * s.speed, 1.0);
            l.setPen(QPen(Theme::withOpacity(white, s.alpha), 0.8, Qt::SolidLine, Qt::FlatCap));
            l.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), int(std::lround(qtDegrees(from) * 16)),
                      int(std::lround(qtDegrees(2 * pi * s.length) * 16)));
        }
    }
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Plus);
    p.drawImage(canvas.topLeft(), layer);
    p.restore();

    // The horizon ring, breathing.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    const double k = 1 + 0.25 * std::sin(1.3 * t), r = horizon * R;
    for (const auto& [alpha, width] : {std::pair{0.06, 9.0}, {0.12, 5.0}, {0.25, 2.6}}) {
        p.setPen(QPen(Theme::withOpacity(peach, alpha), width * k));
        p.drawEllipse(c, r, r);
    }
    p.setOpacity(0.85 + 0.1 * std::sin(0.9 * t));
    p.translate(c);
    p.scale(1, -1);
    const QConicalGradient ring = clockwiseConic(
        20 * t, {{0, Qt::white}, {0.25, peach}, {0.5, Theme::withOpacity(Qt::white, 0.7)}, {0.75, peach}, {1, Qt::white}});
    p.setPen(QPen(QBrush(ring), 1.6));
    p.drawEllipse(QPointF(0, 0), r, r);
    p.restore();
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
    const Fitted size = fit(toQString(formattedBytes(d.size)), Theme::font(std::max(0.17 * w, 12.0), QFont::Bold), w, 1, 0.6);
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
