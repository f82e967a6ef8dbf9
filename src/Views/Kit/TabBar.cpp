#include "Views/Kit/TabBar.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

#include "Models/Kit/MotionPause.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/QueltoMark.h"
#include "Views/Kit/Theme.h"

namespace {
constexpr double barPadding = 4, spacing = 2, markSide = 26, markPadding = 6;
constexpr double titlePaddingX = 16, titlePaddingY = 7;
constexpr double dotSide = 6;
constexpr double ringPeriod = 1.4;

int index(AppTab t) { return static_cast<int>(t); }

QRectF lerp(const QRectF& a, const QRectF& b, double f) {
    return QRectF(a.x() + (b.x() - a.x()) * f, a.y() + (b.y() - a.y()) * f,
                  a.width() + (b.width() - a.width()) * f, a.height() + (b.height() - a.height()) * f);
}

double now() { return Platform::secondsSinceReferenceDate(Platform::clock().now()); }
}  // namespace

TabBar::TabBar(QWidget* parent)
    : QWidget(parent), font_(Theme::font(12.5, QFont::DemiBold, Theme::Design::monospaced)), markTimeline_(30, false) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    layoutTabs();
    connect(&slide_, &SpringAnimator::progressChanged, this, [this] { update(); });
    connect(&pillFade_, &SpringAnimator::progressChanged, this, [this] { update(); });
    connect(&markTimeline_, &PacedTimeline::frame, this, [this] { update(); });
    connect(&MotionPause::shared(), &MotionPause::hiddenChanged, this, &TabBar::updateTimeline);
}

void TabBar::layoutTabs() {
    QFontMetricsF fm(font_);
    const double h = std::max(markSide, std::ceil(fm.height()) + 2 * titlePaddingY);
    double x = barPadding;
    mark_ = QRectF(x + markPadding, barPadding + (h - markSide) / 2, markSide, markSide);
    x += markSide + 2 * markPadding + spacing;
    for (AppTab t : AppTabs::allCases) {
        const double w = std::ceil(fm.horizontalAdvance(title(t))) + 2 * titlePaddingX;
        rects_[index(t)] = QRectF(x, barPadding, w, h);
        titles_[index(t)] = QStaticText(title(t));
        titles_[index(t)].setTextFormat(Qt::PlainText);
        titles_[index(t)].prepare(QTransform(), font_);
        x += w + spacing;
    }
    size_ = QSize(int(std::ceil(x - spacing + barPadding)), int(std::ceil(h + 2 * barPadding)));
}

QSize TabBar::sizeHint() const { return size_; }
QRectF TabBar::tabRect(AppTab tab) const { return rects_[index(tab)]; }
QRectF TabBar::markRect() const { return mark_; }

QRectF TabBar::pillRect() const {
    if (!showsSelection_ && !pillFade_.isRunning()) return {};
    const QRectF target = rects_[index(selection_)];
    return slide_.isRunning() ? lerp(pillFrom_, target, slide_.progress()) : target;
}

void TabBar::setSelection(AppTab tab) {
    if (tab == selection_) return;
    const QRectF from = pillRect();
    selection_ = tab;
    if (isVisible() && showsSelection_ && !from.isEmpty()) {
        pillFrom_ = from;
        slide_.start(Spring::tabSelection());
    } else {
        slide_.stop();
    }
    refreshBusy();
    update();
}

void TabBar::setShowsSelection(bool shows) {
    if (shows == showsSelection_) return;
    showsSelection_ = shows;
    slide_.stop();
    if (isVisible()) pillFade_.start(Spring::standard());
    refreshBusy();
    update();
}

void TabBar::setBusyTest(std::function<bool(AppTab)> isBusy) {
    isBusy_ = std::move(isBusy);
    refreshBusy();
}

void TabBar::refreshBusy() {
    for (AppTab t : AppTabs::allCases) {
        const int i = index(t);
        busy_[i] = isBusy_ && isBusy_(t);
        const bool shown = busy_[i] && !isSelected(t);
        if (shown && !dotShown_[i]) dotSince_[i] = now();
        dotShown_[i] = shown;
    }
    updateTimeline();
    update();
}

bool TabBar::showsBusyDot(AppTab tab) const { return dotShown_[index(tab)]; }

bool TabBar::isMarkSpinning() const {
    for (bool b : busy_)
        if (b) return true;
    return false;
}

double TabBar::markPhase() const {
    if (!isMarkSpinning()) return 0.0;
    const double t = markTimeline_.currentTime();
    return t / ringPeriod - std::floor(t / ringPeriod);
}

void TabBar::updateTimeline() {
    // The mark's frames (which also breathe the dots) run only while work runs and
    // a main window is on screen.
    markTimeline_.setPaused(!isMarkSpinning() || !isVisible() || MotionPause::shared().hidden());
}

void TabBar::showEvent(QShowEvent*) { updateTimeline(); }
void TabBar::hideEvent(QHideEvent*) { updateTimeline(); }

TabBar::Pulse TabBar::busyDotPulse(double seconds) {
    constexpr double half = 0.8;
    const double cycles = std::max(0.0, seconds) / half;
    const double k = std::floor(cycles);
    double f = cycles - k;
    if (static_cast<long long>(k) % 2 == 1) f = 1 - f;  // the way back
    const double eased = f < 0.5 ? 2 * f * f : 1 - std::pow(-2 * f + 2, 2) / 2;
    return {0.5 + 0.5 * eased, 1 + 3 * eased};
}

int TabBar::tabAt(QPointF pos) const {
    for (AppTab t : AppTabs::allCases) {
        const QRectF& r = rects_[index(t)];
        QPainterPath capsule;
        capsule.addRoundedRect(r, r.height() / 2, r.height() / 2);
        if (capsule.contains(pos)) return index(t);
    }
    return -1;
}

void TabBar::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) pressed_ = tabAt(e->position());
}

void TabBar::mouseReleaseEvent(QMouseEvent* e) {
    const int i = tabAt(e->position());
    if (e->button() == Qt::LeftButton && i >= 0 && i == pressed_) emit tabClicked(AppTabs::allCases[i]);
    pressed_ = -1;
}

void TabBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // At rest the bar is one picture: it repaints whenever a star passes behind it.
    const bool dots = std::find(dotShown_.begin(), dotShown_.end(), true) != dotShown_.end();
    if (slide_.isRunning() || pillFade_.isRunning() || isMarkSpinning() || dots) {
        draw(p);
        return;
    }
    still_.paint(p, QRectF(rect()), devicePixelRatioF(),
                 combinedKey({size_t(selection_), size_t(showsSelection_)}),
                 [this](QPainter& on) { draw(on); });
}

void TabBar::draw(QPainter& p) const {
    p.setRenderHint(QPainter::Antialiasing);
    paintOutlinedRoundedRect(p, QRectF(rect()), height() / 2.0, Theme::black(0.25));

    QueltoMark{markPhase()}.paint(p, mark_);

    // The pill, faded while it appears or leaves with the settings screen.
    const QRectF pill = pillRect();
    double pillOpacity = pillFade_.isRunning() ? std::clamp(pillFade_.progress(), 0.0, 1.0) : 1.0;
    if (!showsSelection_) pillOpacity = 1 - pillOpacity;
    QPainterPath pillPath;
    if (!pill.isEmpty() && pillOpacity > 0) {
        pillPath.addRoundedRect(pill, pill.height() / 2, pill.height() / 2);
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::white(0.95 * pillOpacity));
        p.drawPath(pillPath);
    }

    // Titles: light everywhere, dark where the pill lies under them, so the colour
    // follows the pill as it slides.
    p.setFont(font_);
    auto drawTitles = [&] {
        for (AppTab t : AppTabs::allCases) {
            const QStaticText& text = titles_[index(t)];
            const QRectF& r = rects_[index(t)];
            const QSizeF s = text.size();
            p.drawStaticText(QPointF(r.center().x() - s.width() / 2, r.center().y() - s.height() / 2), text);
        }
    };
    p.setPen(Theme::withOpacity(Theme::text(), 0.8));
    drawTitles();
    if (!pillPath.isEmpty()) {
        p.save();
        p.setClipPath(pillPath);
        p.setOpacity(pillOpacity);
        p.setPen(Theme::ink());
        drawTitles();
        p.restore();
    }

    const double t = markTimeline_.currentTime();
    for (AppTab tab : AppTabs::allCases) {
        if (!dotShown_[index(tab)]) continue;
        const QRectF r = rects_[index(tab)];
        const QRectF dot(r.right() - 6 - dotSide, r.top() + 5, dotSide, dotSide);
        const Pulse pulse = busyDotPulse(t - dotSince_[index(tab)]);
        QColor c = Theme::color(glow(tab));
        p.setOpacity(pulse.opacity);
        QRadialGradient halo(dot.center(), dotSide / 2 + pulse.shadowRadius);
        QColor soft = c;
        soft.setAlphaF(0.6f);
        halo.setColorAt(dotSide / 2 / (dotSide / 2 + pulse.shadowRadius), soft);
        soft.setAlphaF(0);
        halo.setColorAt(1, soft);
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(dot.center(), dotSide / 2 + pulse.shadowRadius, dotSide / 2 + pulse.shadowRadius);
        p.setBrush(c);
        p.drawEllipse(dot);
        p.setOpacity(1);
    }
}
