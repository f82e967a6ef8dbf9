#include "Views/Analyze/ListCard.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "Views/Kit/Controls.h"

ListCard::ListCard(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
    // The outline is a point wide inside the card's edge: the content stays within it.
    layout_->setContentsMargins(1, 0, 1, 1);
    layout_->setSpacing(0);
}

void ListCard::clipToCorners(QWidget* child) {
    child->installEventFilter(this);
    clip(child);
}

void ListCard::clip(QWidget* child) {
    QPainterPath shape;
    const double r = CardModifier::cornerRadius - 1;
    shape.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), r, r);
    const QPoint origin = child->mapTo(this, QPoint(0, 0));
    child->setMask(QRegion(shape.translated(-origin).toFillPolygon().toPolygon()));
}

bool ListCard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move) clip(static_cast<QWidget*>(watched));
    return QWidget::eventFilter(watched, event);
}

void ListCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    CardModifier::paint(p, QRectF(rect()));
}
