#include "Views/Analyze/AnalyzeHero.h"

#include "Views/Clean/BlackHole.h"
#include "Views/Clean/HeroColumn.h"
#include "Views/Clean/HeroText.h"
#include "Views/Kit/Theme.h"

AnalyzeHero::AnalyzeHero(const QString& title, const QString& subtitle, QWidget* parent) : QWidget(parent) {
    HeroColumn column(this, 150, Theme::color(analyzeGreen), 18);
    column.hole()->setSpinning(true);
    text_ = new HeroText(title, subtitle);
    column.add(text_);
}

void AnalyzeHero::setSubtitle(const QString& subtitle) { text_->setSubtitle(subtitle); }
