#include "Views/Clean/HeroColumn.h"

#include <QVBoxLayout>

#include "Views/Clean/BlackHole.h"

HeroColumn::HeroColumn(QWidget* host, double holeSize, const QColor& glow, int spacing, int sideMargin)
    : layout_(new QVBoxLayout(host)), hole_(new BlackHole(holeSize)) {
    layout_->setContentsMargins(sideMargin, 0, sideMargin, 0);
    layout_->setSpacing(spacing);
    layout_->addStretch(1);
    hole_->setGlow(glow);
    layout_->addWidget(hole_, 0, Qt::AlignHCenter);
    layout_->addStretch(1);
}

void HeroColumn::add(QWidget* widget, Qt::Alignment alignment) {
    layout_->insertWidget(layout_->count() - 1, widget, 0, alignment);
}
