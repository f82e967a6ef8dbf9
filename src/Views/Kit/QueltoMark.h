#pragma once
#include <QImage>
#include <QRectF>

class QPainter;

// The product's round badge; while work runs, a bright arc circles it.
struct QueltoMark {
    // 0: no work, no ring; in (0, 1): the fraction of a turn the ring has made.
    double phase = 0;

    void paint(QPainter& painter, const QRectF& frame) const;

    // The application icon drawn by us, used as the window icon and wherever the
    // platform has no icon for the application.
    static QImage applicationIconImage(int size);
};
