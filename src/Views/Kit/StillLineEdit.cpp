#include "Views/Kit/StillLineEdit.h"

#include <QPainter>
#include <QTimer>

#include "Views/Kit/StillPicture.h"

void StillLineEdit::paintEvent(QPaintEvent* event) {
    if (rendering_ || hasFocus() || !text().isEmpty()) {
        QLineEdit::paintEvent(event);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const Key key{placeholderText(), size(), ratio, font(), palette().cacheKey(), isEnabled(), hasFrame(),
                  int(alignment()), textMargins(), int(layoutDirection())};
    if (picture_.isNull() || !(key == key_)) {
        // Painted as it is this once; the picture is made outside any paint, where a
        // widget can render itself.
        QLineEdit::paintEvent(event);
        if (!pending_) {
            pending_ = true;
            QTimer::singleShot(0, this, [this, key] {
                pending_ = false;
                const qreal r = key.ratio;
                QPixmap picture((QSizeF(key.size) * r).toSize().expandedTo(QSize(1, 1)));
                picture.setDevicePixelRatio(r);
                picture.fill(Qt::transparent);
                rendering_ = true;
                render(&picture, QPoint(), QRegion(), {});
                rendering_ = false;
                picture_ = picture;
                key_ = key;
            });
        }
        return;
    }
    QPainter p(this);
    copyPainted(p, QRectF(rect()), picture_);
}
