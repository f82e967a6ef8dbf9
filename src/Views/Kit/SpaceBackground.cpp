#include "Views/Kit/SpaceBackground.h"

#include <QLinearGradient>
#include <QPaintEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

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

SpaceBackground::StarRects& SpaceBackground::starsAt(double t) const {
    // A frame's stars are asked for to paint them and again as the next frame's old
    // places: two frames are kept.
    for (auto& c : starRects_)
        if (c.time == t && c.size == size()) return c;
    StarRects& c = starRects_[nextStarRects_];
    nextStarRects_ = 1 - nextStarRects_;
    c.time = t;
    c.size = size();
    LiveStarfield::dots(c.dots, t, QSizeF(size()));
    c.rects.clear();
    for (const auto& d : c.dots) c.rects.push_back(d.rect.toAlignedRect().adjusted(-1, -1, 1, 1));
    return c;
}

const std::vector<QRect>& SpaceBackground::starRects(double starsAt) const { return this->starsAt(starsAt).rects; }

const LiveStarfield::Dots& SpaceBackground::starDots(double starsAt) const { return this->starsAt(starsAt).dots; }

QRegion SpaceBackground::dirtyRegion(double from, double to) const {
    // Each star's old and new place, and the shooting star's, as cells of a coarse grid:
    // a region made at once in its final form, runs along each row and rows with the
    // same runs joined, where uniting well over a hundred small ones costs more than
    // painting them.
    constexpr int cell = 4;
    const int cols = (width() + cell - 1) / cell, rows = (height() + cell - 1) / cell;
    if (cols <= 0 || rows <= 0) return {};
    const int words = (cols + 63) / 64;
    cells_.assign(size_t(rows) * size_t(words), 0);
    int firstRow = rows, lastRow = -1;
    const QRect inside = rect();
    const auto mark = [&](const QRect& r) {
        const QRect c = r & inside;
        if (c.isEmpty()) return;
        firstRow = std::min(firstRow, c.top() / cell);
        lastRow = std::max(lastRow, c.bottom() / cell);
        for (int row = c.top() / cell; row <= c.bottom() / cell; ++row)
            for (int col = c.left() / cell; col <= c.right() / cell; ++col)
                cells_[size_t(row) * size_t(words) + size_t(col / 64)] |= uint64_t(1) << (col % 64);
    };
    const double starsFrom = starTime(from), starsTo = starTime(to);
    if (starsFrom != starsTo) {
        for (const QRect& r : starRects(starsFrom)) mark(r);
        for (const QRect& r : starRects(starsTo)) mark(r);
    }
    const QSizeF s(size());
    for (double t : {from, to})
        if (auto streak = LiveStarfield::shootingStar(t, s))
            mark(QRectF(streak->tail, streak->head).normalized().toAlignedRect().adjusted(-2, -2, 2, 2));
    if (lastRow < 0) return {};

    // The first column from `col` on whose cell is `set`, or cols.
    const auto next = [&](const uint64_t* line, int col, bool set) {
        while (col < cols) {
            const uint64_t word = set ? line[col / 64] : ~line[col / 64];
            const uint64_t ahead = word >> (col % 64);
            if (ahead) return std::min(cols, col + std::countr_zero(ahead));
            col = (col / 64 + 1) * 64;
        }
        return cols;
    };
    std::vector<QRect> rects;
    rects.reserve(256);
    size_t band = 0;  // where the band of the row above starts in rects
    int bandRow = -2;
    for (int row = firstRow; row <= lastRow; ++row) {
        const uint64_t* line = cells_.data() + size_t(row) * size_t(words);
        const bool same = bandRow == row - 1 && std::equal(line, line + words, line - words);
        const int top = row * cell, bottom = std::min(top + cell, height());
        if (same) {
            for (size_t i = band; i < rects.size(); ++i) rects[i].setBottom(bottom - 1);
            bandRow = row;
            continue;
        }
        const size_t start = rects.size();
        for (int col = next(line, 0, true); col < cols;) {
            const int end = next(line, col, false);
            rects.emplace_back(QPoint(col * cell, top), QPoint(std::min(end * cell, width()) - 1, bottom - 1));
            col = next(line, end, true);
        }
        if (rects.size() > start) {
            band = start;
            bandRow = row;
        } else {
            bandRow = -2;
        }
    }
    QRegion region;
    region.setRects(rects.data(), int(rects.size()));
    return region;
}

void SpaceBackground::frame(double t) {
    // Only the stars change between frames: repaint where they were and where they are.
    update(dirtyRegion(shownTime_, t));
}

bool SpaceBackground::paintDirectly(QPainter& p) {
    // The backing store's own pixels, where the window paints into a plain 32-bit image
    // at a whole-pixel offset; a picture of the widget (a grab, a pixmap) goes through
    // the painter.
    QPaintEngine* engine = p.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image || p.hasClipping() || p.opacity() != 1.0) return false;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format f = image->format();
    if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32_Premultiplied && f != QImage::Format_ARGB32) return false;
    // Writing into an image shared with another would copy it away from the painter.
    if (!image->isDetached() || backdrop_.format() != QImage::Format_RGB32) return false;
    const QTransform t = p.deviceTransform();
    const qreal dpr = devicePixelRatioF();
    if (t.type() > QTransform::TxScale || t.m11() != dpr || t.m22() != dpr || t.dx() != std::round(t.dx()) ||
        t.dy() != std::round(t.dy()))
        return false;
    const QRegion clip = engine->systemClip();
    if (clip.isEmpty()) return false;
    const QPoint origin(int(t.dx()), int(t.dy()));
    const QRect inside = QRect(origin, backdrop_.size()) & image->rect();
    for (const QRect& r : clip) {
        const QRect part = r & inside;
        if (part.isEmpty()) continue;
        for (int y = part.top(); y <= part.bottom(); ++y)
            std::memcpy(reinterpret_cast<QRgb*>(image->scanLine(y)) + part.left(),
                        reinterpret_cast<const QRgb*>(backdrop_.constScanLine(y - origin.y())) + (part.left() - origin.x()),
                        size_t(part.width()) * sizeof(QRgb));
    }
    if (animated_) LiveStarfield::blend(*image, origin, dpr, starDots(starTime(frameTime())), clip & inside);
    return true;
}

void SpaceBackground::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    if (backdrop_.size() != size() * devicePixelRatioF()) rebuildBackdrop();
    if (paintDirectly(p)) {
        if (animated_) LiveStarfield::drawShootingStar(p, QSizeF(size()), frameTime());
        shownTime_ = frameTime();
        return;
    }
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
