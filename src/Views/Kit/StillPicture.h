#pragma once
#include <QPixmap>
#include <QRgb>
#include <QRectF>

#include <cstddef>
#include <functional>
#include <initializer_list>

class QPainter;

// Copies `picture` into `rect` one painted rectangle at a time: under the many
// small rectangles the stars leave, one clipped copy of a large picture goes to the
// raster engine's thread pool, which costs more than the copy.
void copyPainted(QPainter& painter, const QRectF& rect, const QPixmap& picture);

// Lays `count` premultiplied pixels of `in` over those of `out` as the painter does;
// `opaque` when `out` is an image without alpha.
void blendRow(QRgb* out, const QRgb* in, int count, bool opaque);

// One key made of several values' hashes.
size_t combinedKey(std::initializer_list<size_t> parts);

// A look kept as a picture while it does not change. Over the animated sky a view
// repaints whenever a star passes behind it; copying its picture costs far less than
// drawing it again.
class StillPicture {
public:
    // Draws `rect` at `ratio` through `draw` when `key` (what the look depends on), the
    // size or the ratio changed since the last time, then copies the picture.
    void paint(QPainter& painter, const QRectF& rect, double ratio, size_t key,
               const std::function<void(QPainter&)>& draw);

private:
    QPixmap picture_;
    QSizeF size_;
    double ratio_ = 0;
    size_t key_ = 0;
};
