#include "Views/MenuBar/GlassPanel.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "Platform/Gui/Compositor.h"

GlassPanel::GlassPanel(ContentMaker makeContent, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), makeContent_(std::move(makeContent)) {
    setObjectName(QStringLiteral("glass-panel"));
    // A click outside closes the panel; where it goes on is ours to decide (below).
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
    const int top = visible.y() + margin, bottom = visible.y() + visible.height() - margin;
    int x = button.x() + button.width() / 2 - w / 2;
    x = std::max(x, visible.x() + margin);
    x = std::min(x, right - w - margin);  // the right margin wins on a narrow screen
    // Never over the button: a click there must reach it.
    const int roomAbove = button.y() - gap - top, roomBelow = bottom - (button.y() + button.height() + gap);
    bool above = button.y() + button.height() / 2 > visible.y() + visible.height() / 2;
    const int roomHere = above ? roomAbove : roomBelow, roomThere = above ? roomBelow : roomAbove;
    if (h > roomHere && (h <= roomThere || roomThere > roomHere)) above = !above;
    int room = above ? roomAbove : roomBelow;
    if (room < 160) room = visible.height();  // the button is off the screen's free area
    h = std::min({h, room, std::max(bottom - top, 1)});
    int y = above ? button.y() - gap - h : button.y() + button.height() + gap;
    y = std::min(y, bottom - h);
    y = std::max(y, top);
    return {x, y, w, h};
}

void GlassPanel::showBy(QRect button, bool isIcon) {
    releaseContent();
    content_ = makeContent_();
    layout()->addWidget(content_);
    // Transparent corners need a compositor; without one, the window is cut round.
    // Decided once, before the window is made.
    if (!testAttribute(Qt::WA_WState_Created)) setAttribute(Qt::WA_TranslucentBackground, Platform::hasCompositor());
    button_ = button;
    icon_ = isIcon ? button : QRect();
    fit();

    setWindowOpacity(0.0);
    show();
    raise();
    activateWindow();
    fade_.stop();
    fade_.start();
}

void GlassPanel::fit() {
    QScreen* screen = QGuiApplication::screenAt(button_.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect visible = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    const QRect placed = place(content_->sizeHint(), button_, visible);
    if (placed != geometry()) setGeometry(placed);
}

bool GlassPanel::event(QEvent* event) {
    const bool done = QWidget::event(event);
    // The content's size changed: its first full readings came, a section appeared or went.
    if (event->type() == QEvent::LayoutRequest && content_ && isVisible()) fit();
    return done;
}

void GlassPanel::mousePressEvent(QMouseEvent* event) {
    const bool outside = !rect().contains(event->position().toPoint());
    QWidget::mousePressEvent(event);  // closes the panel on a click outside
    const QPoint at = event->globalPosition().toPoint();
    // The tray icon's own click only closes: going on, it would open the panel again.
    if (!outside || icon_.contains(at)) return;
    QWidget* target = QApplication::widgetAt(at);
    if (!target || target->window() == this) return;
    QWindow* window = target->window()->windowHandle();
    // A window behind a dialog takes no clicks.
    if (!window || (QGuiApplication::modalWindow() && QGuiApplication::modalWindow() != window)) return;
    target->activateWindow();
    target->window()->raise();
    const QPointF local = window->mapFromGlobal(event->globalPosition());
    QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonPress, local, local, event->globalPosition(),
                                                        event->button(), event->buttons(), event->modifiers(),
                                                        event->pointingDevice()));
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
