#include "Views/Analyze/ListCard.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "Views/Kit/Controls.h"
#include "Views/Kit/Theme.h"

namespace {
class Outline : public QWidget {
public:
    explicit Outline(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        paintOutlinedRoundedRect(p, QRectF(rect()), CardModifier::cornerRadius, Qt::transparent);
    }
};
}  // namespace

ListCard::ListCard(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)), outline_(new Outline(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
}

void ListCard::clipToCorners(QWidget* child) {
    child->installEventFilter(this);
    clip(child);
}

void ListCard::clip(QWidget* child) {
    // The card's shape in the child's coordinates, as a mask (the outline drawn over
    // it smooths the edge).
    QPainterPath shape;
    const double r = CardModifier::cornerRadius;
    shape.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), r - 1, r - 1);
    const QPoint origin = child->mapTo(this, QPoint(0, 0));
    child->setMask(QRegion(shape.translated(-origin).toFillPolygon().toPolygon()));
}

bool ListCard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move) clip(static_cast<QWidget*>(watched));
    return QWidget::eventFilter(watched, event);
}

void ListCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::card());
    p.drawRoundedRect(QRectF(rect()), CardModifier::cornerRadius, CardModifier::cornerRadius);
}

void ListCard::resizeEvent(QResizeEvent*) {
    outline_->setGeometry(rect());
    outline_->raise();
}

void ListCard::showEvent(QShowEvent*) { outline_->raise(); }
