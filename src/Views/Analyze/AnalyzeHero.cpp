#include "Views/Analyze/AnalyzeHero.h"

#include <QVBoxLayout>

#include "Views/Clean/BlackHole.h"
#include "Views/Clean/HeroText.h"
#include "Views/Kit/Theme.h"

AnalyzeHero::AnalyzeHero(const QString& title, const QString& subtitle, QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(18);
    column->addStretch(1);
    auto* hole = new BlackHole(150);
    hole->setGlow(Theme::color(analyzeGreen));
    hole->setSpinning(true);
    column->addWidget(hole, 0, Qt::AlignHCenter);
    text_ = new HeroText(title, subtitle);
    column->addWidget(text_);
    column->addStretch(1);
}

void AnalyzeHero::setSubtitle(const QString& subtitle) { text_->setSubtitle(subtitle); }
