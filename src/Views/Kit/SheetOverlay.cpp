#include "Views/Kit/SheetOverlay.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

#include "Views/Kit/Bloom.h"
#include "Views/Kit/Theme.h"
#include "Views/Kit/WindowActions.h"

namespace {
constexpr double dimOpacity = 0.4;
constexpr double shadowBlur = 24, shadowDrop = 10, shadowOpacity = 0.5;
}  // namespace

SheetOverlay::SheetOverlay(QWidget* sheet, QWidget* host, std::function<void()> onEscape)
    : QWidget(host), host_(host), sheet_(sheet), onEscape_(std::move(onEscape)) {
    setFocusPolicy(Qt::ClickFocus);
    sheet_->setParent(this);
    sheet_->show();
    host_->installEventFilter(this);
    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { keepFocus(now); });
    place();
    raise();
}

// The focus moves while the widget base deletes the sheet, when this is no overlay any more.
SheetOverlay::~SheetOverlay() {
    disconnect(focusWatch_);
    host_->removeEventFilter(this);
}

QRect SheetOverlay::sheetRect(QSize size, QSize sheet) {
    const QSize fitted = sheet.boundedTo(size);
    return QRect(QPoint((size.width() - fitted.width()) / 2, (size.height() - fitted.height()) / 2), fitted);
}

void SheetOverlay::place() {
    setGeometry(host_->rect());
    sheet_->setGeometry(sheetRect(size(), sheet_->sizeHint()));
}

bool SheetOverlay::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::ShortcutOverride:
        // Every key is the sheet's: no shortcut of the window or the application acts behind it.
        e->accept();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (!isAncestorOf(QApplication::focusWidget())) setFocus(Qt::MouseFocusReason);
        [[fallthrough]];
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::KeyRelease:
        e->accept();
        return true;
    default:
        return QWidget::event(e);
    }
}

void SheetOverlay::keyPressEvent(QKeyEvent* e) {
    e->accept();
    if (e->key() == Qt::Key_Escape && !(e->modifiers() & ~Qt::KeypadModifier)) {
        if (onEscape_) onEscape_();
        return;
    }
    WindowActions::handleKey(this, e);
}

bool SheetOverlay::focusNextPrevChild(bool next) {
    // Tab goes round the sheet's own controls, never on to those beneath.
    QWidget* from = QApplication::focusWidget();
    if (!from || !isAncestorOf(from)) from = this;
    for (QWidget* w = from;;) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == from) return true;
        if (isAncestorOf(w) && w->isVisibleTo(this) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
}

void SheetOverlay::keepFocus(QWidget* now) {
    if (!now || !isVisible() || now == this || isAncestorOf(now) || !host_->isAncestorOf(now)) return;
    setFocus(Qt::OtherFocusReason);
}

void SheetOverlay::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    QWidget* focus = QApplication::focusWidget();
    if (focus && host_->isAncestorOf(focus) && !isAncestorOf(focus)) focusBefore_ = focus;
    place();
    setFocus(Qt::OtherFocusReason);
    scheduleStill();
}

void SheetOverlay::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (focusBefore_ && focusBefore_->isVisible() && focusBefore_->isEnabled())
        focusBefore_->setFocus(Qt::OtherFocusReason);
}

bool SheetOverlay::eventFilter(QObject* watched, QEvent* e) {
    if (watched == host_) {
        if (e->type() == QEvent::Resize) {
            // Beneath, the window lays itself out anew: show it live until it is pictured again.
            still_ = QPixmap();
            setAttribute(Qt::WA_OpaquePaintEvent, false);
            place();
            scheduleStill();
        } else if (e->type() == QEvent::ChildAdded && static_cast<QChildEvent*>(e)->child() != this &&
                   static_cast<QChildEvent*>(e)->child()->isWidgetType()) {
            // Whatever the window adds meanwhile goes beneath the sheet.
            QTimer::singleShot(0, this, [this] { raise(); });
        }
    }
    return QWidget::eventFilter(watched, e);
}

void SheetOverlay::scheduleStill() {
    if (stillPending_) return;
    stillPending_ = true;
    // One turn later, once what lies beneath has settled.
    QTimer::singleShot(0, this, &SheetOverlay::takeStill);
}

void SheetOverlay::takeStill() {
    stillPending_ = false;
    if (!isVisible() || size().isEmpty()) return;
    const qreal ratio = devicePixelRatioF();
    QPixmap still(size() * ratio);
    still.setDevicePixelRatio(ratio);
    still.fill(Qt::black);
    QPainter p(&still);
    // As the window paints them: backgrounds only where a widget fills its own.
    host_->render(&p, QPoint(), QRegion(), {});
    for (QObject* o : host_->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w == this || w->isWindow() || w->isHidden()) continue;
        w->render(&p, w->pos(), QRegion(), QWidget::DrawChildren);
    }
    paintDim(p);
    p.end();
    still_ = still;
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    update();
}

void SheetOverlay::paintDim(QPainter& p) {
    p.fillRect(rect(), Theme::black(dimOpacity));
    // The sheet's shadow, blurred once per size.
    const QRectF sheet = sheet_->geometry();
    const double margin = 2 * shadowBlur;
    Bloom::keepShadow(shadow_, sheet.size(), cornerRadius, shadowBlur, shadowOpacity, devicePixelRatioF());
    p.drawImage(sheet.topLeft() + QPointF(-margin, -margin + shadowDrop), shadow_);
}

void SheetOverlay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!still_.isNull()) {
        p.drawPixmap(0, 0, still_);
        return;
    }
    paintDim(p);
}
