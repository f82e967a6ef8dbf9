#pragma once
#include <QList>
#include <QString>
#include <QStaticText>
#include <QWidget>

#include "Views/Kit/Spring.h"
#include "Views/Kit/StillPicture.h"

// A small capsule bar of modes. Items are identified by a text value (the raw
// value of the caller's selection type); a selection that matches no item
// highlights nothing.
class SubTabs : public QWidget {
    Q_OBJECT
public:
    struct Item {
        QString value;
        QString title;
    };

    explicit SubTabs(QList<Item> items, QWidget* parent = nullptr);

    QString selection() const { return selection_; }
    void setSelection(const QString& value);
    QList<Item> items() const { return items_; }
    QRectF itemRect(int index) const;
    int highlightedIndex() const;  // -1 when no item matches the selection
    // Ends the highlight's move under way (for tests and pictures).
    void finishAnimation() { fade_.stop(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // The user chose an item; the owner stores it and calls setSelection.
    void selectionRequested(const QString& value);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    int indexAt(QPointF pos) const;
    void layoutItems();
    void paintBar(QPainter& p) const;

    QList<Item> items_;
    QList<QRectF> rects_;
    QList<QStaticText> titles_;  // laid out once: the bar repaints as stars pass behind it
    QString selection_;
    QString previous_;
    int pressed_ = -1;
    QFont font_;
    SpringAnimator fade_;
    StillPicture still_;
};
