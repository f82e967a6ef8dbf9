#pragma once
#include <Qt>

class BlackHole;
class QColor;
class QVBoxLayout;
class QWidget;

// The hero column: the black hole on top and what the caller adds under it, held
// in the middle of the host by a stretch above and below.
class HeroColumn {
public:
    HeroColumn(QWidget* host, double holeSize, const QColor& glow, int spacing, int sideMargin = 0);

    BlackHole* hole() const { return hole_; }
    // Adds `widget` under what the column holds.
    void add(QWidget* widget, Qt::Alignment alignment = {});

private:
    QVBoxLayout* layout_;
    BlackHole* hole_;
};
