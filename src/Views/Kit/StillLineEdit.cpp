#include "Views/Kit/StillLineEdit.h"

#include <QPainter>
#include <QTimer>

#include "Views/Kit/StillPicture.h"

StillLineEdit::Key StillLineEdit::currentKey() const {
    return {placeholderText(), size(), devicePixelRatioF(), font(), palette().cacheKey(), isEnabled(), hasFrame(),
            int(alignment()), textMargins(), int(layoutDirection())};
}

void StillLineEdit::paintEvent(QPaintEvent* event) {
    if (rendering_ || !showsPlaceholderOnly()) {
        QLineEdit::paintEvent(event);
        return;
    }
    if (picture_.isNull() || !(currentKey() == key_)) {
        // Painted as it is this once; the picture is made outside any paint, where a
        // widget can render itself.
        QLineEdit::paintEvent(event);
        if (!pending_) {
            pending_ = true;
            QTimer::singleShot(0, this, [this] {
                pending_ = false;
                makePicture();
            });
        }
        return;
    }
    QPainter p(this);
    copyPainted(p, QRectF(rect()), picture_);
}

void StillLineEdit::makePicture() {
    // Typed into or focused since the paint that asked: the field draws as it is until
    // it is empty and unfocused again, and that paint asks anew.
    if (!showsPlaceholderOnly()) return;
    // The key of the field as it is rendered now, not of the paint that asked.
    const Key key = currentKey();
    QPixmap picture((QSizeF(key.size) * key.ratio).toSize().expandedTo(QSize(1, 1)));
    picture.setDevicePixelRatio(key.ratio);
    picture.fill(Qt::transparent);
    rendering_ = true;
    render(&picture, QPoint(), QRegion(), {});
    rendering_ = false;
    picture_ = picture;
    key_ = key;
}
