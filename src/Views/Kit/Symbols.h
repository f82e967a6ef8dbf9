#pragma once
#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <QString>

class QPainter;

// Our own line drawings for the system symbol names the screens use. Each is
// drawn on a 24-unit square grid and scaled to the box it is given.
namespace Symbols {
bool has(const QString& name);
// Draws `name` centred in `box` (the larger side is ignored). `weight` scales the
// line width: 1 is regular, about 1.4 bold, 1.8 heavy. An unknown name draws a
// small ring and logs a warning.
void paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color,
           double weight = 1.0);
QPixmap pixmap(const QString& name, double size, const QColor& color, double weight = 1.0,
               double devicePixelRatio = 1.0);
// Makes these drawings what a file or app icon falls back to when the icon themes
// have nothing for it.
void installAsIconFallback();
// The symbol size that matches text of the given font size.
inline double sizeForFont(double fontSize) { return fontSize * 1.15; }
}  // namespace Symbols
