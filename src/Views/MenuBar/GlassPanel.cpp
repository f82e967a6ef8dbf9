#include "Views/MenuBar/GlassPanel.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "Platform/Gui/Compositor.h"

GlassPanel::GlassPanel(ContentMaker makeContent, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), makeContent_(std::move(makeContent)) {
    setObjectName(QStringLiteral("glass-panel"));
    // A click outside closes the panel and goes no further: a click on the tray button
    // must not open it again at once.
    setAttribute(Qt::WA_NoMouseReplay);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    fade_.setStartValue(0.0);
    fade_.setEndValue(1.0);
    fade_.setDuration(int(fadeSeconds * 1000));
    connect(&fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) { setWindowOpacity(v.toDouble()); });
}

QRect GlassPanel::place(QSize fitting, QRect button, QRect visible) {
    const bool unmeasured = fitting.width() < 100;
    const int w = unmeasured ? 320 : fitting.width();
    int h = unmeasured && fitting.height() <= 480 ? 480 : fitting.height();

    const int right = visible.x() + visible.width();
    const int bottom = visible.y() + visible.height();
    int x = button.x() + button.width() / 2 - w / 2;
    x = std::max(x, visible.x() + margin);
    x = std::min(x, right - w - margin);  // the right margin wins on a narrow screen
    // Hung below the button, or stood above it in the lower half of the screen; cut to
    // the room on that side, so it never covers the button.
    const bool above = button.y() + button.height() / 2 > visible.y() + visible.height() / 2;
    int room = above ? button.y() - gap - (visible.y() + margin) : bottom - margin - (button.y() + button.height() + gap);
    if (room < 160) room = visible.height();  // the button is off the screen's free area
    h = std::min({h, room, std::max(visible.height() - 2 * margin, 1)});
    int y = above ? button.y() - gap - h : button.y() + button.height() + gap;
    y = std::min(y, bottom - h - margin);
    y = std::max(y, visible.y() + margin);
    return {x, y, w, h};
}

void GlassPanel::showBy(QRect button) {
    releaseContent();
    content_ = makeContent_();
    layout()->addWidget(content_);
    // Transparent corners need a compositor; without one, the window is cut round.
    // Decided once, before the window is made.
    if (!testAttribute(Qt::WA_WState_Created)) setAttribute(Qt::WA_TranslucentBackground, Platform::hasCompositor());

    QScreen* screen = QGuiApplication::screenAt(button.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect visible = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    setGeometry(place(content_->sizeHint(), button, visible));

    setWindowOpacity(0.0);
    show();
    raise();
    activateWindow();
    fade_.stop();
    fade_.start();
}

void GlassPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (testAttribute(Qt::WA_TranslucentBackground)) {
        clearMask();
        return;
    }
    QPainterPath round;
    round.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    setMask(QRegion(round.toFillPolygon().toPolygon()));
}

void GlassPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    fade_.stop();
    releaseContent();
}

void GlassPanel::releaseContent() {
    if (!content_) return;
    // The content's own buttons close the panel: it goes once their click is over.
    QWidget* old = content_;
    content_ = nullptr;
    layout()->removeWidget(old);
    old->hide();
    old->deleteLater();
}
