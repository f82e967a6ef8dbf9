#pragma once
#include <QWidget>

class QVBoxLayout;

// The card of the analyzer's lists: its content is clipped to the rounded shape
// and the outline is drawn over it, so rows and the removal bar end inside the
// card's edge.
class ListCard : public QWidget {
public:
    explicit ListCard(QWidget* parent = nullptr);
    QVBoxLayout* contentLayout() const { return layout_; }
    // Keeps a child (a list's viewport) inside the rounded corners.
    void clipToCorners(QWidget* child);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void clip(QWidget* child);
    QVBoxLayout* layout_;
    QWidget* outline_;
};
