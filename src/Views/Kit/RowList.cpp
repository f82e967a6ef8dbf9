#include "Views/Kit/RowList.h"

#include "Views/Kit/Theme.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

#include "Views/Kit/Controls.h"

RowList::RowList(Geometry geometry, QWidget* parent) : QAbstractScrollArea(parent), geometry_(geometry) {
    makeDrawnList(this, geometry_.rowHeight);
}

void RowList::setRowHeight(int height) {
    if (height == geometry_.rowHeight) return;
    geometry_.rowHeight = height;
    pictures_.clear();
    relayout();
}

void RowList::setCount(int count) {
    count_ = std::max(0, count);
    pictures_.clear();
    relayout();
}

void RowList::paintFromPicture(QPainter& p, int row, const QRect& rect, size_t key,
                               const std::function<void(QPainter&)>& draw) {
    // The rows of a screenful or two; the others are drawn again when they come back.
    if (pictures_.size() > 128 && !pictures_.count(row)) pictures_.clear();
    pictures_[row].paint(p, QRectF(rect), viewport()->devicePixelRatioF(), key, draw);
}

void RowList::setEmptyHeight(int height) {
    if (height == emptyHeight_) return;
    emptyHeight_ = height;
    relayout();
}

int RowList::contentHeight() const {
    if (count_ == 0) return emptyHeight_ ? emptyHeight_ + 2 * geometry_.padding : 0;
    return 2 * geometry_.padding + count_ * geometry_.rowHeight + (count_ - 1) * geometry_.spacing;
}

void RowList::relayout() {
    setContentHeight(this, contentHeight());
    viewport()->update();
}

QRect RowList::rowRect(int row) const {
    if (row < 0 || row >= count_) return {};
    const int top = geometry_.padding + row * stride() - verticalScrollBar()->value();
    return QRect(geometry_.padding, top, viewport()->width() - 2 * geometry_.padding, geometry_.rowHeight);
}

int RowList::rowAt(QPoint pos) const {
    const int y = pos.y() + verticalScrollBar()->value() - geometry_.padding;
    if (y < 0 || pos.x() < geometry_.padding || pos.x() >= viewport()->width() - geometry_.padding) return -1;
    const int row = y / stride();
    if (row >= count_ || y - row * stride() >= geometry_.rowHeight) return -1;
    return row;
}

void RowList::updateRow(int row) {
    const QRect r = rowRect(row);
    if (r.isValid() && r.intersects(viewport()->rect())) viewport()->update(r);
}

void RowList::paintEvent(QPaintEvent* e) {
    QPainter p(viewport());
    p.setRenderHint(QPainter::Antialiasing);
    rowsPainted_ = 0;
    const int offset = verticalScrollBar()->value();
    if (count_ == 0) {
        if (emptyHeight_)
            paintEmpty(p, QRect(geometry_.padding, geometry_.padding - offset,
                                viewport()->width() - 2 * geometry_.padding, emptyHeight_));
        return;
    }
    // Only the rows inside the region asked for: a row that changed is drawn alone.
    const QRegion& dirty = e->region();
    const QRect bounds = dirty.boundingRect();
    const int top = bounds.top() + offset - geometry_.padding, bottom = bounds.bottom() + offset - geometry_.padding;
    const int first = std::max(0, top / stride());
    const int last = std::min(count_ - 1, std::max(0, bottom) / stride());
    for (int row = first; row <= last; ++row) {
        const QRect r = rowRect(row);
        if (!dirty.intersects(r)) continue;
        p.save();
        paintRow(p, row, r);
        p.restore();
        ++rowsPainted_;
    }
}

void RowList::paintNote(QPainter& p, const QRect& rect, const QFont& font, const QString& text) {
    note_.paint(p, QRectF(rect), devicePixelRatioF(), combinedKey({qHash(text), qHash(font)}), [&](QPainter& on) {
        on.setFont(font);
        on.setPen(Theme::tertiary());
        on.drawText(QRectF(QPointF(0, 0), rect.size()), Qt::AlignCenter, text);
    });
}

void RowList::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    relayout();
}

void RowList::scrollContentsBy(int, int) {
    viewport()->update();
    pointerAgain();
}

void RowList::pointerAgain() {
    if (pointer_) pointerMoved(*pointer_ + QPoint(0, verticalScrollBar()->value()));
}

bool RowList::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const int row = rowAt(help->pos());
        const QString tip = row < 0 ? QString() : toolTip(row, help->pos() - rowRect(row).topLeft());
        if (tip.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), tip, viewport(), rowRect(row));
        return true;
    }
    if (e->type() == QEvent::Leave) {
        pointer_.reset();
        pointerMoved(std::nullopt);
    }
    return QAbstractScrollArea::viewportEvent(e);
}

void RowList::mousePressEvent(QMouseEvent* e) { pressed_ = rowAt(e->position().toPoint()); }

void RowList::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    const int row = rowAt(pos);
    if (row >= 0 && row == std::exchange(pressed_, -1)) rowClicked(row, pos - rowRect(row).topLeft(), e->button());
}

void RowList::mouseMoveEvent(QMouseEvent* e) {
    pointer_ = e->position().toPoint();
    pointerMoved(*pointer_ + QPoint(0, verticalScrollBar()->value()));
}

void RowList::contextMenuEvent(QContextMenuEvent* e) {
    const int row = rowAt(e->pos());
    if (row >= 0) rowMenuRequested(row, e->pos() - rowRect(row).topLeft(), e->globalPos());
}
