#pragma once
#include <QLayout>
#include <QList>

// Cells in rows of as many equal columns as fit, each at least `minimumWidth`
// wide, `spacing` apart both ways; a row is as high as its tallest cell and every
// cell is stretched to it. Hidden widgets take no cell.
class AdaptiveGridLayout : public QLayout {
public:
    AdaptiveGridLayout(double minimumWidth, int spacing, QWidget* parent = nullptr);
    ~AdaptiveGridLayout() override;

    // Columns that fit in `width`: at least one.
    static int columns(double width, double minimumWidth, int spacing);
    int columns() const;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Lays the cells out in `rect` (placing them when `apply`); the height used.
    int arrange(const QRect& rect, bool apply) const;
    QList<QLayoutItem*> items_;
    double minimumWidth_;
};
