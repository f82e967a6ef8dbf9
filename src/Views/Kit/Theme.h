#pragma once
#include <QColor>
#include <QFont>

#include "Models/Kit/Rgba.h"

class QApplication;

// The application's one dark look: every colour a screen uses comes from here.
namespace Theme {
const QColor& text();       // white 0.92
const QColor& secondary();  // white 0.55
const QColor& tertiary();   // white 0.32
const QColor& card();       // white 0.05
const QColor& cardHover();  // white 0.08
const QColor& stroke();     // white 0.08
const QColor& ink();        // dark text on light fills
const QColor& review();
const QColor& good();
const QColor& danger();
const QColor& accent();     // the platform's accent: switched-on controls, selections

QColor white(double opacity);
QColor black(double opacity);
QColor withOpacity(const QColor& c, double opacity);  // multiplies c's own opacity
QColor color(const Rgba& rgba);

// Fonts are sized in points of the design, which are logical pixels here.
enum class Design { standard, monospaced, rounded };
QFont font(double size, QFont::Weight weight = QFont::Normal, Design design = Design::standard);

// Dark palette and font for the parts drawn by the toolkit itself (tool tips,
// the folder panel).
void applyApplicationLook(QApplication& app);
}  // namespace Theme
