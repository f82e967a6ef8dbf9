#include "Views/Clean/CleanScreen.h"

#include <QVBoxLayout>

#include "Views/Clean/BlackHole.h"
#include "Views/Clean/HeroText.h"

CleanScreen::CleanScreen(const QColor& glow, const QString& idleTitle, const QString& idleSubtitle, QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(40, 0, 40, 0);
    column->setSpacing(26);
    column->addStretch(1);
    hero_ = new BlackHole(heroSize);
    hero_->setGlow(glow);
    column->addWidget(hero_, 0, Qt::AlignHCenter);
    text_ = new HeroText(idleTitle, idleSubtitle);
    column->addWidget(text_);
    column->addStretch(1);
}
