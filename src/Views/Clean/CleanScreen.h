#pragma once
#include <QColor>
#include <QWidget>

class BlackHole;
class HeroText;

// The Clean tab's screen for one sub-mode: the black hole over the sub-mode's
// title and subtitle, centred in the screen.
class CleanScreen : public QWidget {
    Q_OBJECT
public:
    CleanScreen(const QColor& glow, const QString& idleTitle, const QString& idleSubtitle, QWidget* parent = nullptr);

    static constexpr double heroSize = 240;

    BlackHole* hero() const { return hero_; }
    HeroText* heroText() const { return text_; }

private:
    BlackHole* hero_;
    HeroText* text_;
};
