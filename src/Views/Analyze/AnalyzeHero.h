#pragma once
#include <QWidget>

#include "Models/Kit/Rgba.h"

class HeroText;

// The analyzer's green: its heroes' glow and the chosen place.
inline constexpr Rgba analyzeGreen{0.45, 0.9, 0.62, 1};

// The spinning black hole with a title under it, shown while a folder is read or
// large files are searched; it fills the room it is given and centres itself.
class AnalyzeHero : public QWidget {
public:
    AnalyzeHero(const QString& title, const QString& subtitle, QWidget* parent = nullptr);
    void setSubtitle(const QString& subtitle);
    HeroText* text() const { return text_; }

private:
    HeroText* text_;
};
