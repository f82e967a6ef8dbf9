#include "Views/Kit/AdaptiveGrid.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

AdaptiveGridLayout::AdaptiveGridLayout(double minimumWidth, int spacing, QWidget* parent)
    : QLayout(parent), minimumWidth_(minimumWidth) {
    setSpacing(spacing);
    setContentsMargins(0, 0, 0, 0);
}

AdaptiveGridLayout::~AdaptiveGridLayout() {
    while (QLayoutItem* item = takeAt(0)) delete item;
}

int AdaptiveGridLayout::columns(double width, double minimumWidth, int spacing) {
    if (!(width > 0) || !(minimumWidth > 0)) return 1;
    return std::max(1, int(std::floor((width + spacing) / (minimumWidth + spacing))));
}

int AdaptiveGridLayout::columns() const { return columns(contentsRect().width(), minimumWidth_, spacing()); }

void AdaptiveGridLayout::addItem(QLayoutItem* item) { items_.append(item); }

QLayoutItem* AdaptiveGridLayout::takeAt(int index) {
    if (index < 0 || index >= items_.size()) return nullptr;
    return items_.takeAt(index);
}

int AdaptiveGridLayout::heightForWidth(int width) const { return arrange(QRect(0, 0, width, 0), false); }

QSize AdaptiveGridLayout::sizeHint() const {
    // Two columns at their smallest, as a starting point; the height follows the width.
    const int w = int(std::ceil(2 * minimumWidth_ + spacing()));
    return QSize(w, heightForWidth(w));
}

QSize AdaptiveGridLayout::minimumSize() const {
    const int w = int(std::ceil(minimumWidth_));
    return QSize(w, 0);
}

void AdaptiveGridLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int AdaptiveGridLayout::arrange(const QRect& rect, bool apply) const {
    QList<QLayoutItem*> cells;
    for (QLayoutItem* item : items_)
        if (!item->isEmpty()) cells.append(item);
    if (cells.isEmpty()) return 0;
    const int gap = spacing();
    const int n = columns(rect.width(), minimumWidth_, gap);
    const double w = (rect.width() - gap * double(n - 1)) / n;
    int y = rect.top();
    for (qsizetype first = 0; first < cells.size(); first += n) {
        const qsizetype last = std::min(cells.size(), first + n);
        int h = 0;
        for (qsizetype i = first; i < last; ++i) {
            QLayoutItem* c = cells[i];
            const int need = c->hasHeightForWidth() ? c->heightForWidth(int(w)) : c->sizeHint().height();
            h = std::max({h, need, c->minimumSize().height()});
        }
        if (apply) {
            for (qsizetype i = first; i < last; ++i) {
                // Whole points, the last column ending exactly at the right edge.
                const int left = rect.left() + int(std::lround(double(i - first) * (w + gap)));
                const int right = rect.left() + int(std::lround(double(i - first) * (w + gap) + w));
                cells[i]->setGeometry(QRect(left, y, right - left, h));
            }
        }
        y += h + gap;
    }
    return y - gap - rect.top();
}
