#include "Views/Kit/StillLabel.h"

#include <QPainter>
#include <QStyle>

#include "Views/Kit/StillPicture.h"

StillLabel::StillLabel(const QString& text, QWidget* parent) : QLabel(text, parent) { setTextFormat(Qt::PlainText); }

void StillLabel::paintEvent(QPaintEvent* event) {
    if (!pixmap().isNull() || indent() > 0) {
        QLabel::paintEvent(event);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const Key key{text(), size(), ratio, font(), palette().cacheKey(), isEnabled(), int(alignment()), wordWrap()};
    if (picture_.isNull() || !(key == key_)) {
        picture_ = QPixmap((QSizeF(size()) * ratio).toSize());
        picture_.setDevicePixelRatio(ratio);
        picture_.fill(Qt::transparent);
        QPainter on(&picture_);
        on.setFont(font());
        const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        const int flags = int(QStyle::visualAlignment(layoutDirection(), alignment())) | (wordWrap() ? Qt::TextWordWrap : 0);
        style()->drawItemText(&on, area, flags, palette(), isEnabled(), text(), foregroundRole());
        key_ = key;
    }
    QPainter p(this);
    copyPainted(p, QRectF(rect()), picture_);
}
