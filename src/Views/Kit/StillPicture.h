#pragma once
#include <QPixmap>
#include <QRectF>
#include <QString>

#include <functional>

class QPainter;
class QWidget;

// Copies `picture` into `rect` one painted rectangle at a time: under the many
// small rectangles the stars leave, one clipped copy of a large picture goes to the
// raster engine's thread pool, which costs more than the copy.
void copyPainted(QPainter& painter, const QRectF& rect, const QPixmap& picture);

// A look kept as a picture while it does not change. Over the animated sky a view
// repaints whenever a star passes behind it; copying its picture costs far less than
// drawing it again.
class StillPicture {
public:
    // Draws `rect` (of `size` at `ratio`) through `draw` when `key`, the size or the
    // ratio changed since the last time, then copies the picture.
    void paint(QPainter& painter, const QRectF& rect, double ratio, const QString& key,
               const std::function<void(QPainter&)>& draw);
    // Forgets the picture.
    void clear() { key_.clear(); }

private:
    QPixmap picture_;
    QString key_;
};
