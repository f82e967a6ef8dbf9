#pragma once
#include <QWidget>

class QVBoxLayout;

// The card of the analyzer's lists. Its content stays inside the card's outline
// and rounded corners, so rows and the removal bar end inside its edge.
class ListCard : public QWidget {
public:
    explicit ListCard(QWidget* parent = nullptr);
    QVBoxLayout* contentLayout() const { return layout_; }
    // Keeps a child (a list's viewport) inside the rounded corners.
    void clipToCorners(QWidget* child);

protected:
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void clip(QWidget* child);
    QVBoxLayout* layout_;
};
