#include "Views/Kit/TextRoll.h"

#include <QPainter>

#include <algorithm>

TextRoll::Split TextRoll::split(const QString& from, const QString& to) {
    Split s;
    const int shorter = int(std::min(from.size(), to.size()));
    while (s.prefix < shorter && from[s.prefix] == to[s.prefix]) ++s.prefix;
    while (s.suffix < shorter - s.prefix && from[from.size() - 1 - s.suffix] == to[to.size() - 1 - s.suffix]) ++s.suffix;
    return s;
}

void TextRoll::paint(QPainter& p, const QFontMetricsF& fm, const QString& from, const QString& to, double f,
                     double left, double baseline) {
    if (f >= 1 || from == to) {
        p.drawText(QPointF(left, baseline), to);
        return;
    }
    const Split s = split(from, to);
    const double r = rise(fm);
    const double middle = left + fm.horizontalAdvance(to.left(s.prefix));
    p.drawText(QPointF(left, baseline), to.left(s.prefix));
    p.drawText(QPointF(left + fm.horizontalAdvance(to.left(to.size() - s.suffix)), baseline), to.right(s.suffix));
    const double opacity = p.opacity();
    auto roll = [&](const QString& text, double offset, double alpha) {
        if (alpha <= 0) return;
        p.setOpacity(opacity * std::min(alpha, 1.0));
        const int first = s.prefix, last = int(text.size()) - s.suffix;
        for (int i = first; i < last; ++i) {
            const double x = middle + fm.horizontalAdvance(text.mid(first, i - first));
            p.drawText(QPointF(x, baseline + offset), QString(text[i]));
        }
    };
    roll(from, -r * f, 1 - f);
    roll(to, r * (1 - f), f);
    p.setOpacity(opacity);
}
