#include "Views/Analyze/OrbitChart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Models/Kit/MotionPause.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Kit/Bands.h"
#include "Views/Kit/Bloom.h"
#include "Views/Kit/Theme.h"

namespace {
constexpr Spring sweepSpring{1.0, 0.88};
constexpr Spring litSpring{0.35, 1.0};
constexpr double shadowRadius = 12, shadowOpacity = 0.8;

}  // namespace

OrbitChart::OrbitChart(QWidget* parent) : QWidget(parent), sweep_(this), lookSpring_(this), timeline_(12, false) {
    setMouseTracking(true);
    setMinimumSize(120, 120);
    connect(&sweep_, &SpringAnimator::progressChanged, this, [this](double p) {
        if (frozen_) return;
        reveal_ = p;
        bloomDirty_ = arcsDirty_ = true;
        update();
    });
    connect(&lookSpring_, &SpringAnimator::progressChanged, this, [this](double p) {
        lookProgress_ = p;
        arcsDirty_ = true;
        update();
    });
    connect(&timeline_, &PacedTimeline::frame, this, [this] { update(motionArea_); });
    auto& pause = MotionPause::shared();
    connect(&pause, &MotionPause::scrollingChanged, this, &OrbitChart::updatePause);
    connect(&pause, &MotionPause::hiddenChanged, this, &OrbitChart::updatePause);
}

void OrbitChart::setRings(OrbitLayout::Layout layout) {
    if (layout == layout_) return;
    layout_ = std::move(layout);
    // The hovered arc may have moved or gone: ask again where the pointer is.
    if (hovered_) hover(segmentAt(mapFromGlobal(QCursor::pos())));
    bloomDirty_ = arcsDirty_ = true;
    update();
}

void OrbitChart::setReadout(CenterReadout::Detail detail) {
    if (detail == readout_) return;
    readout_ = std::move(detail);
    readoutDirty_ = true;
    update();
}

void OrbitChart::setShownFolder(const std::filesystem::path& folder) {
    const bool first = !folder_;
    if (!first && *folder_ == folder) return;
    folder_ = folder;
    if (!first) sweepIn();
}

void OrbitChart::setChartFocus(const std::optional<AnalyzeFocus>& focus) {
    if (focus == focus_) return;
    fromLooks_.clear();
    for (const auto* ring : {&layout_.inner, &layout_.outer})
        for (const Segment& s : *ring) fromLooks_[s.id] = shownLook(s);
    focus_ = focus;
    lookProgress_ = 0;
    arcsDirty_ = true;
    if (isVisible() && !frozen_) lookSpring_.start(litSpring);
    else settleFocus();
    update();
}

void OrbitChart::settleFocus() {
    lookSpring_.stop();
    lookProgress_ = 1;
    fromLooks_.clear();
    arcsDirty_ = true;
    update();
}

void OrbitChart::sweepIn() {
    reveal_ = 0;
    bloomDirty_ = arcsDirty_ = true;
    update();
    if (frozen_) return;
    if (isVisible()) sweep_.start(sweepSpring);
    else reveal_ = 1;
}

void OrbitChart::showRevealAt(double reveal) {
    frozen_ = true;
    sweep_.stop();
    reveal_ = reveal;
    bloomDirty_ = arcsDirty_ = true;
    update();
}

QRectF OrbitChart::square() const {
    const QRectF r = contentsRect();
    const double d = std::min(r.width(), r.height());
    return QRectF(r.x() + (r.width() - d) / 2, r.y() + (r.height() - d) / 2, d, d);
}

OrbitChart::Look OrbitChart::targetLook(const Segment& s) const {
    if (!focus_) return {};
    const bool lit = *focus_ == s.focus;
    return {lit ? 1.0 : 0.0, lit ? 0.0 : 1.0};
}

OrbitChart::Look OrbitChart::shownLook(const Segment& s) const {
    const Look to = targetLook(s);
    auto it = fromLooks_.find(s.id);
    if (lookProgress_ >= 1 || it == fromLooks_.end()) return to;
    const Look& from = it->second;
    return {from.lit + (to.lit - from.lit) * lookProgress_, from.dim + (to.dim - from.dim) * lookProgress_};
}

std::optional<OrbitChart::Segment> OrbitChart::segmentAt(QPointF pos) const {
    const QRectF sq = square();
    const double R = sq.width() / 2;
    if (R <= 0) return std::nullopt;
    const double dx = pos.x() - sq.center().x(), dy = pos.y() - sq.center().y();
    const double r = std::hypot(dx, dy) / R;
    // Clockwise from the top, as a fraction of a turn.
    double a = std::atan2(dx, -dy) / (2 * std::numbers::pi);
    if (a < 0) a += 1;
    for (const auto& [ring, band] : {std::pair{&layout_.inner, innerRing}, {&layout_.outer, outerRing}}) {
        if (r < band.r0 || r > band.r1) continue;
        for (const Segment& s : *ring) {
            const double from = s.start * reveal_, to = s.end * reveal_;
            const double g = to - from > 0.006 ? RingArc::gap : 0.0;
            if (a >= from + g && a <= to - g) return s;
        }
    }
    return std::nullopt;
}

void OrbitChart::hover(const std::optional<Segment>& s) {
    const std::optional<Segment> old = hovered_;
    hovered_ = s;
    if (s) {
        if (focus_ != s->focus) emit focusEdited(s->focus);
    } else if (old && focus_ == old->focus) {
        emit focusEdited(std::nullopt);
    }
}

void OrbitChart::mouseMoveEvent(QMouseEvent* e) {
    const auto s = segmentAt(e->position());
    if (s && hovered_ && s->id == hovered_->id && focus_ == s->focus) return;
    if (!s && !hovered_) return;
    hover(s);
}

void OrbitChart::leaveEvent(QEvent*) { hover(std::nullopt); }

void OrbitChart::mousePressEvent(QMouseEvent* e) {
    pressed_.reset();
    if (e->button() != Qt::LeftButton) return;
    if (auto s = segmentAt(e->position())) pressed_ = s->focus;
}

void OrbitChart::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !pressed_) return;
    const auto s = segmentAt(e->position());
    const std::optional<AnalyzeFocus> pressed = std::exchange(pressed_, std::nullopt);
    if (s && s->focus == *pressed) emit openRequested(*pressed);
}

void OrbitChart::updatePause() {
    const auto& pause = MotionPause::shared();
    timeline_.setPaused(!isVisible() || pause.scrolling() || pause.hidden());
}

void OrbitChart::showEvent(QShowEvent*) {
    updatePause();
    if (!frozen_) sweepIn();
}

void OrbitChart::hideEvent(QHideEvent*) {
    updatePause();
    hovered_.reset();
}

void OrbitChart::resizeEvent(QResizeEvent*) {
    bloomDirty_ = arcsDirty_ = readoutDirty_ = true;
    // The light moves inside the outer ring's edge alone: the rows of that disc, each
    // as wide as the disc is there, leave the square's corners alone.
    const QRectF sq = square();
    const double reach = outerRing.r1 * sq.width() / 2 + 2;
    const QPointF c = sq.center();
    motionArea_ = QRegion();
    constexpr int rows = 32;
    for (int top = int(std::floor(c.y() - reach)); top < c.y() + reach; top += rows) {
        const double nearest = std::clamp(c.y(), double(top), double(top + rows));
        const double half = std::sqrt(std::max(0.0, reach * reach - (nearest - c.y()) * (nearest - c.y())));
        motionArea_ += QRect(int(std::floor(c.x() - half)), top, int(std::ceil(2 * half)) + 1, rows);
    }
}

void OrbitChart::paintArc(QPainter& p, const Segment& s, const RingBand& band, const QRectF& sq) {
    const Look look = shownLook(s);
    const bool lit = focus_ && *focus_ == s.focus;
    const double R = sq.width() / 2;
    const double start = s.start * reveal_, end = s.end * reveal_;
    const QPainterPath sector = RingArc{start, end, band.r0, lit ? band.litR1 : band.r1}.path(sq);
    const QColor color = Theme::color(s.color);
    if (look.lit > 0) {
        // The coloured glow of a lit arc, under it.
        const double radius = shadowRadius * look.lit;
        const QRectF area = sq.adjusted(-2 * radius, -2 * radius, 2 * radius, 2 * radius);
        const double dpr = p.device()->devicePixelRatioF();
        QImage shadow((area.size() * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        shadow.setDevicePixelRatio(dpr);
        shadow.fill(Qt::transparent);
        {
            QPainter sp(&shadow);
            sp.setRenderHint(QPainter::Antialiasing);
            sp.translate(-area.topLeft());
            sp.fillPath(sector, Theme::withOpacity(color, shadowOpacity * look.lit));
        }
        p.drawImage(area.topLeft(), Bloom::blurred(shadow, radius / 2 * dpr));
    }
    p.fillPath(sector, Theme::withOpacity(color, band.opacity * (1 - 0.6 * look.dim)));
    // A highlight along the inner edge of the band.
    QRadialGradient highlight(sq.center(), band.highlightEnd * R);
    highlight.setColorAt(band.r0 / band.highlightEnd, Theme::withOpacity(Qt::white, 0.45 - 0.33 * look.dim));
    highlight.setColorAt(1, Theme::withOpacity(Qt::white, 0));
    p.fillPath(sector, highlight);
    if (look.lit > 0) p.strokePath(sector, QPen(Theme::withOpacity(Qt::white, 0.7 * look.lit), 1));
}

void OrbitChart::renderArcs(double dpr) {
    arcs_ = QImage((QSizeF(size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    arcs_.setDevicePixelRatio(dpr);
    arcs_.fill(Qt::transparent);
    QPainter p(&arcs_);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF sq = square();
    for (const Segment& s : layout_.outer) paintArc(p, s, outerRing, sq);
    for (const Segment& s : layout_.inner) paintArc(p, s, innerRing, sq);
    HorizonShadow::paint(p, sq, horizon);
    arcsDirty_ = false;
}

void OrbitChart::paintEvent(QPaintEvent* e) {
    const QRectF sq = square();
    const double d = sq.width();
    if (d <= 0) return;
    const double dpr = devicePixelRatioF();
    const int side = int(std::lround(d * dpr));

    // A warm disc behind everything, drawn once per size.
    if (disc_.width() != side) {
        disc_ = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        disc_.setDevicePixelRatio(dpr);
        disc_.fill(Qt::transparent);
        QPainter p(&disc_);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF c(d / 2, d / 2);
        QRadialGradient g(c, 0.5 * d);
        const QColor& warm = BlackHole::peach();
        g.setColorAt(0, Theme::withOpacity(warm, 0.22));
        g.setColorAt(0.36, Theme::withOpacity(warm, 0.22));
        g.setColorAt(0.68, Theme::withOpacity(warm, 0.06));
        g.setColorAt(1, Theme::withOpacity(warm, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(c, 0.5 * d, 0.5 * d);
    }
    if (bloomDirty_) {
        bloom_ = RingBloom::render(layout_, reveal_, sq, dpr);
        bloomDirty_ = false;
        ++bloomRenders_;
    }
    if (arcsDirty_) renderArcs(dpr);
    // The motion, flattened into one layer: drawn again only for a new frame.
    if (motionCanvas_.side() != side) {
        motionCanvas_.prepare(side, dpr, innerRing.r0, outerRing.r1, horizon);
        motion_ = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        motion_.setDevicePixelRatio(dpr);
        motionTime_.reset();
    }
    if (motionTime_ != timeline_.currentTime()) {
        motionTime_ = timeline_.currentTime();
        motionCanvas_.paint(motion_, *motionTime_);
    }
    const QRectF readoutSquare(sq.center().x() - 0.15 * d, sq.center().y() - 0.15 * d, 0.3 * d, 0.3 * d);
    const QRectF readoutArea = readoutSquare.adjusted(-0.1 * d, -0.1 * d, 0.1 * d, 0.1 * d);
    if (readoutDirty_) {
        // A little room around the square for text that does not shrink far enough.
        readoutImage_ = QImage((readoutArea.size() * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        readoutImage_.setDevicePixelRatio(dpr);
        readoutImage_.fill(Qt::transparent);
        QPainter r(&readoutImage_);
        r.translate(-readoutArea.topLeft());
        CenterReadout::paint(r, readoutSquare, readout_);
        readoutDirty_ = false;
    }

    QPainter p(this);
    // Copies of a few dozen rows each: the raster engine would hand whole ones to its
    // thread pool, which costs more than it saves twelve times a second.
    paintInBands(p, QRectF(e->rect()), [&] {
        p.drawImage(sq.topLeft(), disc_);
        Bloom::addBlurred(p, RingBloom::bounds(sq), bloom_);
        p.drawImage(QPointF(0, 0), arcs_);
        p.drawImage(sq.topLeft(), motion_);
        p.drawImage(readoutArea.topLeft(), readoutImage_);
    });
}
