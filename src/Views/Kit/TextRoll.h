#pragma once
#include <QFontMetricsF>
#include <QString>

class QPainter;

// A text that changes by rolling: the characters that differ from the old text
// rise and fade out while the new ones rise into place, each in its own column,
// so a changing number counts rather than flickers.
namespace TextRoll {
struct Split {
    int prefix = 0, suffix = 0;  // characters the two texts share at either end
};
Split split(const QString& from, const QString& to);
// Draws `to` (rolling in from `from` at `progress`, 0…1) from `left` on `baseline`
// in the painter's font, whose metrics are `fm`.
void paint(QPainter& painter, const QFontMetricsF& fm, const QString& from, const QString& to, double progress,
           double left, double baseline);
// How far the characters travel.
inline double rise(const QFontMetricsF& fm) { return 0.6 * fm.ascent(); }
}  // namespace TextRoll
