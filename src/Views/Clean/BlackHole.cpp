#include "Views/Clean/BlackHole.h"

#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Models/Clean/Shockwave.h"
#include "Models/Kit/AssignIfChanged.h"
#include "Models/Kit/MotionPause.h"
#include "Views/Kit/Sparkle.h"
#include "Views/Kit/Bands.h"
#include "Views/Kit/Bloom.h"
#include "Views/Kit/OverflowOverlay.h"
#include "Views/Kit/Theme.h"

namespace {
constexpr double pi = std::numbers::pi;
constexpr double slowRate = 12, fastRate = 60;
constexpr double maxGrowthScale = 1.35;

QRectF around(double halfWidth, double halfHeight) {
    return QRectF(-halfWidth, -halfHeight, 2 * halfWidth, 2 * halfHeight);
}

QRectF scaled(const QRectF& r, double k) { return QRectF(r.topLeft() * k, r.size() * k); }
}  // namespace

// ---- MotionClock

void MotionClock::advance(double now, double paceTarget, double energyTarget, double growthTarget) {
    double dt = last ? now - *last : 0;
    dt = std::clamp(dt, 0.0, 0.1);
    last = now;
    const double k = 1 - std::exp(-2.5 * dt);
    pace += (paceTarget - pace) * k;
    energy += (energyTarget - energy) * k;
    phase = std::fmod(phase + dt * pace * 0.3, 1000);
    growth += (1 - std::exp(-0.9 * dt)) * (growthTarget - growth);
}

// ---- BlackHole

const QColor& BlackHole::peach() {
    static const QColor c = QColor::fromRgbF(1.0f, 0.78f, 0.62f, 1.0f);
    return c;
}

BlackHole::BlackHole(double size, QWidget* parent)
    : QWidget(parent), glow_(QColor::fromRgbF(0.4f, 0.62f, 1.0f)), size_(size), timeline_(slowRate, false) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(int(std::lround(size_)), int(std::lround(size_)));
    overlay_ = new OverflowOverlay(this, 3 * size_ * maxGrowthScale + 4,
                                   [this](QPainter& p, QPointF centre) { paintLayers(p, centre); });
    overlay_->setExtent([this] { return paintedExtent(); });
    connect(&timeline_, &PacedTimeline::frame, this, &BlackHole::onFrame);
    connect(&MotionPause::shared(), &MotionPause::hiddenChanged, this, &BlackHole::updateSchedule);
    connect(&MotionPause::shared(), &MotionPause::reduceMotionChanged, this, &BlackHole::updateSchedule);
    // A new shockwave runs at once, on the fast frames.
    connect(&Shockwave::shared(), &Shockwave::startChanged, this, &BlackHole::refresh);
    connect(&Shockwave::shared(), &Shockwave::strengthChanged, this, &BlackHole::refresh);
    onFrame(timeline_.currentTime());
}

BlackHole::~BlackHole() { delete overlay_; }

void BlackHole::setGlow(const QColor& glow) {
    if (assignIfChanged(glow_, glow)) refresh();
}

void BlackHole::setSpinning(bool spinning) {
    if (assignIfChanged(spinning_, spinning)) refresh();
}

void BlackHole::setOpen(double open) {
    if (assignIfChanged(open_, open)) refresh();
}

void BlackHole::setSuction(bool suction) {
    if (assignIfChanged(suction_, suction)) refresh();
}

void BlackHole::setFeed(std::optional<Events> feed) {
    if (feed == feed_) return;
    feed_ = std::move(feed);
    refresh();
}

void BlackHole::setGrowth(double growth) {
    if (assignIfChanged(growth_, growth)) refresh();
}

void BlackHole::setAnimated(bool animated) {
    if (assignIfChanged(animated_, animated)) refresh();
}

bool BlackHole::reduceMotion() const { return MotionPause::shared().reduceMotion(); }

void BlackHole::showEvent(QShowEvent*) { updateSchedule(); }

void BlackHole::hideEvent(QHideEvent*) { updateSchedule(); }

std::optional<double> BlackHole::shockAge(double now) const {
    if (!animated_ || size_ < 120) return std::nullopt;
    const auto live = Shockwave::shared().live(Platform::dateFromReferenceSeconds(now));
    if (!live) return std::nullopt;
    return now - Platform::secondsSinceReferenceDate(live->start);
}

double BlackHole::pull(const Events& events, double now) {
    double pull = 0;
    for (const auto& e : events) {
        const double toLanding = Platform::secondsSinceReferenceDate(e.start) + SwallowFeed::flightTime(e.bytes) - now;
        if (toLanding >= 0) pull += (SwallowStream::sizeClass(e.bytes) + 0.35) * std::exp(-4 * toLanding);
    }
    return pull;
}

void BlackHole::updateSchedule() {
    // Fast while a shockwave runs; the first frame after it ends falls back to 12.
    const double now = Platform::secondsSinceReferenceDate(Platform::clock().now());
    const bool fast = spinning_ || suction_ || shockAge(now).has_value();
    timeline_.setFps(fast ? fastRate : slowRate);
    timeline_.setPaused(!animated_ || reduceMotion() || MotionPause::shared().hidden() || !isVisible());
}

void BlackHole::refresh() {
    onFrame(frame_.t);
    update();
}

void BlackHole::onFrame(double t) {
    double paceTarget = spinning_ ? 1.0 : 0.22, energyTarget = open_;
    if (suction_) {
        paceTarget = 2.4;
        energyTarget = 1.0;
    }
    clock_.advance(t, paceTarget, energyTarget, growth_);
    const Frame before = frame_;
    frame_.t = t;
    frame_.phase = clock_.phase;
    frame_.pace = clock_.pace;
    frame_.pull = feed_ ? pull(*feed_, t) : 0;
    frame_.shockAge = shockAge(t);
    frame_.shockStrength = Shockwave::shared().strength();
    frame_.ringSize = size_ * (1 + 0.35 * clock_.growth);
    const double shock = frame_.shockAge ? std::exp(-5 * *frame_.shockAge) * (frame_.shockStrength + 0.5) : 0;
    frame_.intensity = std::min(clock_.energy + 0.45 * frame_.pull + shock, 1.6);
    frame_.scale = (1 + 0.35 * clock_.growth) * (1 + 0.05 * frame_.intensity + 0.03 * std::min(frame_.pull, 1.5));

    if (overlay_ && (frame_.shockAge || before.shockAge)) {
        // The rings change only in a band around them.
        const double ageBefore = before.shockAge.value_or(frame_.shockAge.value_or(0));
        overlay_->updateAround(ShockwaveRing::changed(ageBefore, frame_.shockAge.value_or(ageBefore),
                                                      frame_.shockStrength, frame_.ringSize));
    }
    QRectF dirty = layerBounds(before).united(layerBounds(frame_));
    // The glow is the widest layer; it changes only with the brightness and the size.
    if (before.intensity != frame_.intensity || before.scale != frame_.scale || !painted_.isValid())
        dirty = dirty.united(scaled(around(0.8 * size_, 0.8 * size_), std::max(before.scale, frame_.scale)));
    painted_ = dirty;
    if (overlay_) overlay_->updateAround(dirty);
    updateSchedule();
}

QRectF BlackHole::layerBounds(const Frame& frame) const {
    const double s = size_;
    QRectF r = art_.bounds(frame.t, s);
    if (spinning_ && !suction_) {
        r = r.united(around(0.8 * s, 0.5 * s));
        const QPointF at = probe(frame.t, s).offset;
        r = r.united(around(0.06 * s + 20, 0.07 * s + 20).translated(at));
    }
    if (suction_ && !feed_) r = r.united(around(1.1 * s, 0.75 * s));
    if (feed_ && !feed_->empty()) r = r.united(SwallowStream::bounds(*feed_, frame.t, s));
    return scaled(r, frame.scale);
}

QRectF BlackHole::paintedExtent() const {
    QRectF r = layerBounds(frame_).united(scaled(around(0.8 * size_, 0.8 * size_), frame_.scale));
    if (frame_.shockAge) r = r.united(ShockwaveRing::bounds(*frame_.shockAge, frame_.shockStrength, frame_.ringSize));
    return r;
}

BlackHole::Probe BlackHole::probe(double t, double size) {
    const double theta = 1.6 * t;
    const double a = 0.675 * size * std::cos(theta), b = 0.31 * size * std::sin(theta);
    const double c = std::cos(20 * pi / 180), s = std::sin(20 * pi / 180);
    return {{a * c - b * s, a * s + b * c}, std::sin(theta) < 0};
}

double BlackHole::pixelScale(const QPainter& painter, double scale) const {
    const QPaintDevice* device = painter.device();
    return (device ? device->devicePixelRatioF() : 1.0) * scale;
}

void BlackHole::paintGlow(QPainter& painter, QPointF centre, double intensity, double pixelScale) {
    GlowCache& c = glowCache_;
    // Twenty steps of brightness a unit: finer steps look no different, and a
    // fading shockwave would remake the picture every frame.
    constexpr double levels = 20;
    const int level = int(std::lround(intensity * levels));
    const double radius = 0.8 * size_;
    const auto gradient = [&](QRadialGradient& g) {
        // Solid out to 0.12 × size, then through the tint to clear at 0.8 × size.
        const double start = 0.12 / 0.8;
        g.setColorAt(0, Theme::withOpacity(peach(), 0.28 + 0.15 * level / levels));
        g.setColorAt(start, Theme::withOpacity(peach(), 0.28 + 0.15 * level / levels));
        g.setColorAt(start + (1 - start) / 2, Theme::withOpacity(glow_, 0.08));
        g.setColorAt(1, Qt::transparent);
    };
    // A hero whose size and brightness held since the last frame draws its glow from
    // a picture made for exactly that place, copied without resampling.
    const QTransform at = painter.deviceTransform();
    const bool still = at == lastGlowAt_ && at.type() <= QTransform::TxScale && at.m11() == at.m22() && at.m11() > 0;
    lastGlowAt_ = at;
    if (still) {
        StillGlow& g = stillGlow_;
        const double ps = at.m11();
        const QPointF mid = at.map(centre);  // in device pixels
        if (g.image.isNull() || g.at != at || g.level != level || g.glow != glow_.rgba() || g.size != size_) {
            const QRect area = QRectF(mid - QPointF(radius * ps, radius * ps), QSizeF(2 * radius * ps, 2 * radius * ps))
                                   .toAlignedRect();
            g.image = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
            g.image.fill(Qt::transparent);
            QPainter p(&g.image);
            p.setRenderHint(QPainter::Antialiasing);
            const QPointF inImage = mid - QPointF(area.topLeft());
            QRadialGradient rg(inImage, radius * ps);
            gradient(rg);
            p.setPen(Qt::NoPen);
            p.setBrush(rg);
            paintInBands(p, QRectF(QPointF(0, 0), QSizeF(area.size())), [&] { p.drawEllipse(inImage, radius * ps, radius * ps); });
            g.at = at;
            g.level = level;
            g.glow = glow_.rgba();
            g.size = size_;
            g.origin = area.topLeft();
        }
        painter.save();
        painter.resetTransform();
        // What is left of the painter's transform (the widget's place in the window and
        // its pixel ratio) maps the picture's device pixels back.
        const QTransform base = painter.deviceTransform();
        const double dpr = base.m11();
        g.image.setDevicePixelRatio(dpr);
        const QRectF target(base.inverted().map(QPointF(g.origin)), QSizeF(g.image.size()) / dpr);
        paintInBands(painter, target, [&] { painter.drawImage(target.topLeft(), g.image); });
        painter.restore();
        return;
    }
    const double ps = std::max(0.125, std::ceil(pixelScale * 8 - 1e-9) / 8);
    if (c.image.isNull() || c.size != size_ || c.pixelScale != ps || c.level != level || c.glow != glow_.rgba()) {
        const int n = int(std::ceil(2 * radius * ps));
        c.image = QImage(n, n, QImage::Format_ARGB32_Premultiplied);
        c.image.fill(Qt::transparent);
        QPainter p(&c.image);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF mid(n / 2.0, n / 2.0);
        QRadialGradient g(mid, radius * ps);
        gradient(g);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        paintInBands(p, QRectF(0, 0, n, n), [&] { p.drawEllipse(mid, radius * ps, radius * ps); });
        c.size = size_;
        c.pixelScale = ps;
        c.level = level;
        c.glow = glow_.rgba();
    }
    const QRectF target(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
    paintInBands(painter, target, [&] { painter.drawImage(target, c.image); });
}

void BlackHole::paintOrbit(QPainter& painter, QPointF centre, double pixelScale) {
    const double half = 0.7 * size_;  // the tilted ring fits in this square
    if (orbitKey_ != size_ * 1000 + pixelScale) {
        const int n = int(std::ceil(2 * half * pixelScale));
        orbit_ = QImage(n, n, QImage::Format_ARGB32_Premultiplied);
        orbit_.fill(Qt::transparent);
        QPainter p(&orbit_);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(n / 2.0, n / 2.0);
        p.scale(pixelScale, pixelScale);
        p.rotate(20);
        QPen pen(Theme::white(0.1), 1);
        pen.setDashPattern(QList<qreal>{3, 5});
        pen.setMiterLimit(10);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(0, 0), 0.675 * size_, 0.31 * size_);
        orbitKey_ = size_ * 1000 + pixelScale;
    }
    const QRectF target(centre - QPointF(half, half), QSizeF(2 * half, 2 * half));
    paintInBands(painter, target, [&] { painter.drawImage(target, orbit_); });
    ScanRipples::paint(painter, centre, frame_.t, size_, ripples_);
}

void BlackHole::paintProbe(QPainter& painter, QPointF centre, double t, double opacity) {
    const qreal dpr = pixelScale(painter, 1);
    const double w = 0.06 * size_, h = 0.07 * size_, pad = 18;
    const QSizeF frame(w + 2 * pad, h + 2 * pad);
    if (probeKey_ != size_ * 1000 + dpr) {
        QImage star((frame * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        star.setDevicePixelRatio(dpr);
        star.fill(Qt::transparent);
        const QPainterPath shape = Sparkle::path(QRectF(pad, pad, w, h));
        {
            QPainter p(&star);
            p.setRenderHint(QPainter::Antialiasing);
            p.fillPath(shape, peach());
        }
        probeSprite_ = Bloom::blurred(star, 6 * dpr);
        probeSprite_.setDevicePixelRatio(dpr);
        QPainter p(&probeSprite_);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(shape, Qt::white);
        probeKey_ = size_ * 1000 + dpr;
    }
    const QPointF at = centre + probe(t, size_).offset;
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    painter.drawImage(QRectF(at - QPointF(frame.width() / 2, frame.height() / 2), frame), probeSprite_);
    painter.restore();
}

void BlackHole::paintLayers(QPainter& painter, QPointF centre) {
    const Frame& f = frame_;
    const bool scanning = spinning_ && !suction_;
    const Probe star = probe(f.t, size_);
    painter.save();
    painter.translate(centre);
    painter.scale(f.scale, f.scale);
    const QPointF c(0, 0);
    const double ps = pixelScale(painter, f.scale);
    // Behind the hole the star passes under every other layer, dimmed.
    if (scanning && star.behind) paintProbe(painter, c, f.t, 0.35);
    paintGlow(painter, c, f.intensity, ps);
    if (scanning) paintOrbit(painter, c, std::max(0.125, std::ceil(ps * 8 - 1e-9) / 8));
    art_.paint(painter, c, f.t, f.phase, f.pace, size_, f.intensity, ps);
    if (suction_ && !feed_) {
        Quelto::paint(painter, c, f.t, size_, peach(), particleSprites_);
        SwallowFlashes::paint(painter, c, f.t, size_);
    }
    if (feed_ && !feed_->empty()) stream_.paint(painter, c, *feed_, f.t, size_, ps);
    if (scanning && !star.behind) paintProbe(painter, c, f.t, 1.0);
    painter.restore();
    if (f.shockAge) ShockwaveRing::paint(painter, centre, *f.shockAge, f.shockStrength, f.ringSize);
}
