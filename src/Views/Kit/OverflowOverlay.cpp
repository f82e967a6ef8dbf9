#include "Views/Kit/OverflowOverlay.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QVariant>

#include <cmath>

namespace {
const char* hostProperty = "quelto.overflowHost";
const char* backdropProperty = "quelto.overflowBackdrop";

QList<OverflowOverlay*>& overlays() {
    static QList<OverflowOverlay*> all;
    return all;
}

QPointF centreIn(const QWidget* anchor, const QWidget* ancestor) {
    return QPointF(anchor->mapTo(ancestor, QPoint(0, 0))) + QPointF(anchor->width() / 2.0, anchor->height() / 2.0);
}
}  // namespace

OverflowOverlay::OverflowOverlay(QWidget* anchor, double reach, Paint paint)
    : anchor_(anchor), reach_(reach), paint_(std::move(paint)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    overlays().append(this);
    connect(anchor, &QObject::destroyed, this, &QObject::deleteLater);
    attach();
}

OverflowOverlay::~OverflowOverlay() { overlays().removeAll(this); }

void OverflowOverlay::markHost(QWidget* host, QWidget* backdrop) {
    host->setProperty(hostProperty, true);
    host->setProperty(backdropProperty, QVariant::fromValue(static_cast<QObject*>(backdrop)));
}

void OverflowOverlay::attach() {
    for (const auto& w : watched_)
        if (w) w->removeEventFilter(this);
    watched_.clear();
    if (!anchor_) return;
    QWidget* host = nullptr;
    for (QWidget* w = anchor_->parentWidget(); w; w = w->parentWidget()) {
        if (w->property(hostProperty).toBool() || w->isWindow()) {
            host = w;
            break;
        }
    }
    // Watch the whole way up: any of these moving moves the anchor in the host.
    for (QWidget* w = anchor_; w; w = w->parentWidget()) {
        w->installEventFilter(this);
        watched_.append(w);
        if (w == host) break;
    }
    host_ = host;
    if (!host) {
        hide();
        return;
    }
    if (parentWidget() != host) setParent(host);
    // Right above the host's backdrop, under everything else.
    auto* backdrop = qobject_cast<QWidget*>(host->property(backdropProperty).value<QObject*>());
    const QObjectList& siblings = host->children();
    const qsizetype at = backdrop ? siblings.indexOf(backdrop) : -1;
    QWidget* above = nullptr;
    for (qsizetype i = at + 1; i < siblings.size() && !above; ++i) {
        auto* w = qobject_cast<QWidget*>(siblings[i]);
        if (w && w != this && !qobject_cast<OverflowOverlay*>(w)) above = w;
    }
    if (above) stackUnder(above);
    else if (!backdrop) lower();
    follow();
}

void OverflowOverlay::follow() {
    if (!anchor_ || !host_) return;
    const QPointF c = centreIn(anchor_, host_);
    const QRect area = QRectF(c - QPointF(reach_, reach_), QSizeF(2 * reach_, 2 * reach_)).toAlignedRect() & host_->rect();
    if (area != geometry()) setGeometry(area);
    setVisible(anchor_->isVisibleTo(host_) && !area.isEmpty());
}

QPointF OverflowOverlay::anchorCentre() const {
    if (!anchor_ || !host_) return {};
    return centreIn(anchor_, host_) - QPointF(pos());
}

void OverflowOverlay::updateAround(const QRectF& area) {
    if (!isVisible() || area.isEmpty()) return;
    update(area.translated(anchorCentre()).toAlignedRect().adjusted(-1, -1, 1, 1));
}

void OverflowOverlay::updateAround(const QRegion& area) {
    if (!isVisible() || area.isEmpty()) return;
    const QPointF c = anchorCentre();
    update(area.translated(int(std::lround(c.x())), int(std::lround(c.y()))));
}

void OverflowOverlay::paintBehind(QPainter& painter, QWidget* screen) {
    for (OverflowOverlay* o : overlays()) {
        QWidget* anchor = o->anchor_;
        if (!anchor || !(anchor == screen || screen->isAncestorOf(anchor)) || !anchor->isVisibleTo(screen)) continue;
        painter.save();
        o->paint_(painter, centreIn(anchor, screen));
        painter.restore();
    }
}

void OverflowOverlay::paintEvent(QPaintEvent* event) {
    if (!anchor_) return;
    QRegion area = event->region();
    if (extent_) {
        area &= extent_().translated(anchorCentre()).toAlignedRect().adjusted(-2, -2, 2, 2);
        if (area.isEmpty()) return;
    }
    QPainter p(this);
    // Layers that compute their own pixels read what needs painting from the clip.
    p.setClipRegion(area);
    paint_(p, anchorCentre());
}

bool OverflowOverlay::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ParentChange:
        attach();
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        follow();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
