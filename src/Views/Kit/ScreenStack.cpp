#include "Views/Kit/ScreenStack.h"

#include <QPainter>

#include "Views/Kit/OverflowOverlay.h"

#include <algorithm>

ScreenStack::ScreenStack(QWidget* parent) : QWidget(parent) {
    connect(&transition_, &SpringAnimator::progressChanged, this, [this] { update(); });
    connect(&transition_, &SpringAnimator::finished, this, &ScreenStack::finish);
}

QImage ScreenStack::snapshot(QWidget* w) const {
    const qreal dpr = devicePixelRatioF();
    QImage img(size() * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        OverflowOverlay::paintBehind(p, w);
    }
    w->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    return img;
}

void ScreenStack::setScreen(const QString& identity, QWidget* screen, std::optional<Spring> animation) {
    QWidget* old = screen_;
    const bool animate = animation && isVisible() && width() > 0 && height() > 0;
    if (animate && old) {
        outgoing_ = snapshot(old);
        outgoingOrigin_ = mapTo(window(), QPoint(0, 0));
    }
    identity_ = identity;
    screen_ = screen;
    screen_->setParent(this);
    screen_->setGeometry(rect());
    if (old) {
        old->hide();
        old->deleteLater();
    }
    if (!animate) {
        transition_.stop();
        finish();
        return;
    }
    incoming_ = snapshot(screen_);
    screen_->hide();
    transition_.start(*animation);
}

void ScreenStack::finish() {
    outgoing_ = {};
    incoming_ = {};
    if (screen_) screen_->show();
    update();
}

QPoint ScreenStack::outgoingOffset() const { return outgoingOrigin_ - mapTo(window(), QPoint(0, 0)); }

void ScreenStack::resizeEvent(QResizeEvent*) {
    if (!screen_) return;
    screen_->setGeometry(rect());
    // The arriving screen's picture must match the size it will have once shown.
    if (transition_.isRunning()) incoming_ = snapshot(screen_);
}

void ScreenStack::paintEvent(QPaintEvent*) {
    if (!transition_.isRunning()) return;
    const double f = transition_.progress();
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    auto draw = [&](const QImage& img, QPointF at, double scale, double opacity) {
        if (img.isNull() || opacity <= 0) return;
        const QPointF c = QRectF(at, img.deviceIndependentSize()).center();
        p.save();
        p.setOpacity(std::clamp(opacity, 0.0, 1.0));
        p.translate(c);
        p.scale(scale, scale);
        p.translate(-c);
        p.drawImage(at, img);
        p.restore();
    };
    draw(outgoing_, outgoingOffset(), 1.0 + (outgoingScale - 1.0) * f, 1.0 - f);
    draw(incoming_, QPointF(0, 0), incomingScale + (1.0 - incomingScale) * f, f);
}
