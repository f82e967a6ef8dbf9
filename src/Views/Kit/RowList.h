#pragma once
#include <QAbstractScrollArea>

#include <functional>
#include <optional>
#include <unordered_map>

#include "Views/Kit/StillPicture.h"

// A scrolling list of rows of one height that the owner draws row by row. Only
// the rows on screen are drawn, and where a row lies follows from its index, so a
// list of ten thousand rows lays out and paints as fast as a screenful.
class RowList : public QAbstractScrollArea {
    Q_OBJECT
public:
    struct Geometry {
        int rowHeight = 34;
        int spacing = 0;  // between rows
        int padding = 0;  // around all rows
    };
    explicit RowList(Geometry geometry, QWidget* parent = nullptr);

    const Geometry& geometry() const { return geometry_; }
    // Rows of another height; everything on screen is drawn again.
    void setRowHeight(int height);
    int count() const { return count_; }
    // A new number of rows; everything on screen is drawn again.
    void setCount(int count);
    // Content height of what shows when there are no rows (0 for nothing).
    void setEmptyHeight(int height);

    // Viewport coordinates; empty for a row out of range.
    QRect rowRect(int row) const;
    // The row under a point of the viewport, or -1.
    int rowAt(QPoint viewportPos) const;
    // Draws the row again if it is on screen.
    void updateRow(int row);
    // Rows drawn by the last paint: what is on screen, never the whole list.
    int rowsPainted() const { return rowsPainted_; }
    int contentHeight() const;

protected:
    // Draws one row into `rect` (viewport coordinates).
    virtual void paintRow(QPainter& painter, int row, const QRect& rect) = 0;
    // Draws what shows when there are no rows, in the content's top `rect`.
    virtual void paintEmpty(QPainter&, const QRect&) {}
    // A line of text centred in `rect` in the quiet colour, for paintEmpty: kept as a
    // picture while it reads the same, since the list repaints whenever a star passes.
    void paintNote(QPainter& painter, const QRect& rect, const QFont& font, const QString& text);
    // The pointer moved to a point of the content (scroll offset removed), or left
    // (nullopt); also when the content moved under a pointer at rest (scrolling).
    virtual void pointerMoved(std::optional<QPoint>) {}
    // Tells pointerMoved again where the pointer rests now, if it is over the list.
    void pointerAgain();
    // A click that began and ended on one row, at `inRow` relative to the row's rectangle.
    virtual void rowClicked(int, QPoint, Qt::MouseButton) {}
    virtual void rowMenuRequested(int, QPoint /*inRow*/, QPoint /*global*/) {}
    virtual QString toolTip(int, QPoint) const { return {}; }
    // Draws a row from its picture while `key` (what the row shows) stays the same:
    // over the animated sky a row repaints whenever a star passes behind it.
    // `draw` paints the row at the origin.
    void paintFromPicture(QPainter& painter, int row, const QRect& rect, size_t key,
                          const std::function<void(QPainter&)>& draw);

    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;

private:
    void relayout();
    int stride() const { return geometry_.rowHeight + geometry_.spacing; }

    Geometry geometry_;
    int count_ = 0;
    int emptyHeight_ = 0;
    int pressed_ = -1;
    int rowsPainted_ = 0;
    std::optional<QPoint> pointer_;  // in the viewport, while it is over it
    std::unordered_map<int, StillPicture> pictures_;
    StillPicture note_;
};
