#include "Views/Kit/SpaceBackground.h"

#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

#include "Models/Kit/MotionPause.h"
#include "Views/Kit/Starfield.h"
#include "Views/Kit/Theme.h"

namespace {
// 16-bit colour down to 8 bits with an ordered dither: the faint glow over a dark
// gradient would otherwise show rings.
QImage dithered(const QImage& deep) {
    static constexpr int bayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
    QImage out(deep.size(), QImage::Format_RGB32);
    out.setDevicePixelRatio(deep.devicePixelRatio());
    for (int y = 0; y < deep.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgba64*>(deep.constScanLine(y));
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < deep.width(); ++x) {
            const uint32_t threshold = uint32_t(bayer[(y & 3) * 4 + (x & 3)]) * 4096u + 2048u;
            auto down = [threshold](uint16_t c) { return std::min<uint32_t>(255u, (uint32_t(c) * 255u + threshold) / 65535u); };
            line[x] = qRgb(int(down(in[x].red())), int(down(in[x].green())), int(down(in[x].blue())));
        }
    }
    return out;
}

Rgba mix(const Rgba& a, const Rgba& b, double f) {
    return {a.red + (b.red - a.red) * f, a.green + (b.green - a.green) * f, a.blue + (b.blue - a.blue) * f,
            a.alpha + (b.alpha - a.alpha) * f};
}
}  // namespace

SpaceBackground::SpaceBackground(AppTab tab, bool animated, QWidget* parent)
    : QWidget(parent), tab_(tab), fromTint_(tint(tab)), fromGlow_(glow(tab)), animated_(animated), timeline_(12, true) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    fade_.setDuration(500);
    fade_.setEasingCurve(QEasingCurve::InOutQuad);
    fade_.setStartValue(0.0);
    fade_.setEndValue(1.0);
    connect(&fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        blend_ = v.toDouble();
        rebuildBackdrop();
        update();
    });
    shownTime_ = timeline_.currentTime();
    connect(&timeline_, &PacedTimeline::frame, this, &SpaceBackground::frame);
    auto& pause = MotionPause::shared();
    connect(&pause, &MotionPause::scrollingChanged, this, &SpaceBackground::updatePause);
    connect(&pause, &MotionPause::hiddenChanged, this, &SpaceBackground::updatePause);
}

void SpaceBackground::setTab(AppTab tab) {
    if (tab == tab_) return;
    // A fade still under way continues from the colours on show, not from its start.
    fromTint_ = shownTint();
    fromGlow_ = shownGlow();
    tab_ = tab;
    if (!isVisible()) {
        blend_ = 1.0;
        rebuildBackdrop();
        return;
    }
    blend_ = 0.0;
    fade_.stop();
    fade_.start();
}

TabTint SpaceBackground::shownTint() const {
    const TabTint to = tint(tab_);
    return {mix(fromTint_.top, to.top, blend_), mix(fromTint_.bottom, to.bottom, blend_)};
}

Rgba SpaceBackground::shownGlow() const { return mix(fromGlow_, glow(tab_), blend_); }

void SpaceBackground::setAnimated(bool animated) {
    if (animated == animated_) return;
    animated_ = animated;
    rebuildBackdrop();
    update();
    updatePause();
}

void SpaceBackground::updatePause() {
    const auto& pause = MotionPause::shared();
    timeline_.setPaused(!animated_ || !isVisible() || pause.scrolling() || pause.hidden());
}

void SpaceBackground::showEvent(QShowEvent*) {
    if (backdrop_.size() != size()) rebuildBackdrop();
    updatePause();
}

void SpaceBackground::hideEvent(QHideEvent*) { updatePause(); }

void SpaceBackground::resizeEvent(QResizeEvent*) { rebuildBackdrop(); }

void SpaceBackground::rebuildBackdrop() {
    if (width() <= 0 || height() <= 0) return;
    const qreal dpr = devicePixelRatioF();
    // Mid-fade frames are short-lived and drawn directly; the settled sky is drawn
    // deep and dithered.
    const bool settled = blend_ >= 1.0;
    QImage canvas(size() * dpr, settled ? QImage::Format_RGBX64 : QImage::Format_RGB32);
    canvas.setDevicePixelRatio(dpr);
    {
        QPainter p(&canvas);
        paintSky(p);
    }
    backdrop_ = settled ? dithered(canvas) : canvas;
}

void SpaceBackground::paintSky(QPainter& p) const {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    const TabTint shown = shownTint();
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, Theme::color(shown.top));
    g.setColorAt(1, Theme::color(shown.bottom));
    p.fillRect(r, g);

    // The glow keeps its full colour out to 10 points, then fades to clear at 520.
    QColor glowColor = Theme::color(shownGlow());
    glowColor.setAlphaF(0.1f);
    QColor clear = glowColor;
    clear.setAlphaF(0);
    QRadialGradient halo(QPointF(r.width() * 0.8, r.height() * 0.15), 520);
    halo.setColorAt(0, glowColor);
    halo.setColorAt(10.0 / 520.0, glowColor);
    halo.setColorAt(1, clear);
    p.fillRect(r, halo);

    if (!animated_) {
        p.setOpacity(stillStarOpacity);
        Starfield::paint(p, r.size(), stillStarCount, stillStarSeed);
    }
}

double SpaceBackground::starTime(double t) const {
    // Frames come on the grid of the timeline's rate or, while a shooting star flies, on
    // a finer one that passes through it: the stars keep to the coarser grid.
    const double fps = timeline_.fps();
    return std::floor(t * fps + 1e-3) / fps;
}

QRegion SpaceBackground::dirtyRegion(double from, double to) const {
    // Each star's old and new place as one rectangle; the rectangles are merged
    // pairwise, which keeps building the region cheap.
    const QSizeF s(size());
    QList<QRegion> parts;
    parts.reserve(LiveStarfield::count + 2);
    const double starsFrom = starTime(from), starsTo = starTime(to);
    if (starsFrom != starsTo) {
        for (const auto& star : LiveStarfield::stars()) {
            const QRectF a = LiveStarfield::dot(star, starsFrom, s).rect, b = LiveStarfield::dot(star, starsTo, s).rect;
            // A star that wrapped around moved across the window: two separate places.
            if (std::abs(a.x() - b.x()) > 20) {
                parts.append(QRegion(a.toAlignedRect().adjusted(-1, -1, 1, 1)));
                parts.append(QRegion(b.toAlignedRect().adjusted(-1, -1, 1, 1)));
            } else {
                parts.append(QRegion(a.united(b).toAlignedRect().adjusted(-1, -1, 1, 1)));
            }
        }
    }
    for (double t : {from, to})
        if (auto streak = LiveStarfield::shootingStar(t, s))
            parts.append(QRegion(QRectF(streak->tail, streak->head).normalized().toAlignedRect().adjusted(-2, -2, 2, 2)));
    while (parts.size() > 1) {
        QList<QRegion> merged;
        merged.reserve(parts.size() / 2 + 1);
        for (qsizetype i = 0; i + 1 < parts.size(); i += 2) merged.append(parts[i].united(parts[i + 1]));
        if (parts.size() % 2) merged.append(parts.back());
        parts.swap(merged);
    }
    return parts.isEmpty() ? QRegion() : parts.front();
}

void SpaceBackground::frame(double t) {
    // Only the stars change between frames: repaint where they were and where they are.
    update(dirtyRegion(shownTime_, t));
}

void SpaceBackground::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    if (backdrop_.size() != size() * devicePixelRatioF()) rebuildBackdrop();
    // Small blits, one per dirty rectangle and tall rectangles in strips: one
    // clipped blit of the whole image is split across threads by the raster
    // engine, which costs more than it saves here.
    const qreal dpr = devicePixelRatioF();
    for (const QRect& rect : e->region()) {
        for (int top = rect.top(); top <= rect.bottom(); top += 32) {
            const QRect r(rect.left(), top, rect.width(), std::min(32, rect.bottom() - top + 1));
            p.drawImage(r.topLeft(), backdrop_, QRectF(QPointF(r.topLeft()) * dpr, QSizeF(r.size()) * dpr).toAlignedRect());
        }
    }
    if (animated_) LiveStarfield::paint(p, QSizeF(size()), starTime(frameTime()), frameTime(), e->region());
    shownTime_ = frameTime();
}
