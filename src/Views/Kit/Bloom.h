#pragma once
#include <QImage>
#include <QRectF>
#include <QSizeF>

class QPainter;

// Soft light: a layer blurred and added onto what lies beneath it (the additive,
// plus-lighter blend), so it brightens the picture instead of covering it.
namespace Bloom {

// A Gaussian-like blur of `radius` pixels of the image (three box passes). Large
// radii are blurred at a reduced resolution, which looks the same and costs far
// less. The result keeps the image's size.
QImage blurred(const QImage& image, double radius);

// Draws `layer` blurred by `radius` points into `target`, added at `opacity`.
void add(QPainter& painter, const QRectF& target, const QImage& layer, double radius, double opacity = 1.0);
// The same for a layer blurred beforehand (one kept while it does not change).
void addBlurred(QPainter& painter, const QRectF& target, const QImage& blurredLayer, double opacity = 1.0);

// How much of a band `width` wide around `middle` (a circle's outline seen across
// it), blurred by `blur`, covers the point at `at`: the blur of a band in closed
// form, for outlines too large to blur as pictures.
double blurredBand(double at, double middle, double width, double blur);

// A sheet's shadow: a rounded rectangle of `shape` in black at `opacity`, blurred by
// `blur`, on a margin of twice the blur all round, at `ratio` pixels a point. `kept`
// is drawn afresh only when its size or ratio would change.
void keepShadow(QImage& kept, const QSizeF& shape, double radius, double blur, double opacity, qreal ratio);

}  // namespace Bloom
