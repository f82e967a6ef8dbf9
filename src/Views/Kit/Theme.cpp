#include "Views/Kit/Theme.h"

#include <QApplication>
#include <QPalette>
#include <QScreen>
#include <QStyleFactory>
#include <QToolTip>

namespace Theme {

namespace {
QColor srgb(double r, double g, double b) { return QColor::fromRgbF(float(r), float(g), float(b), 1.0f); }
}  // namespace

const QColor& text() { static const QColor c = white(0.92); return c; }
const QColor& secondary() { static const QColor c = white(0.55); return c; }
const QColor& tertiary() { static const QColor c = white(0.32); return c; }
const QColor& card() { static const QColor c = white(0.05); return c; }
const QColor& cardHover() { static const QColor c = white(0.08); return c; }
const QColor& stroke() { static const QColor c = white(0.08); return c; }
const QColor& ink() { static const QColor c = srgb(0.09, 0.12, 0.20); return c; }
const QColor& review() { static const QColor c = srgb(0.98, 0.72, 0.35); return c; }
const QColor& good() { static const QColor c = srgb(0.45, 0.85, 0.62); return c; }
const QColor& danger() { static const QColor c = srgb(1.0, 0.45, 0.42); return c; }
const QColor& accent() { static const QColor c = srgb(0.04, 0.52, 1.0); return c; }

QColor white(double opacity) { return QColor::fromRgbF(1, 1, 1, float(opacity)); }
QColor black(double opacity) { return QColor::fromRgbF(0, 0, 0, float(opacity)); }

QColor withOpacity(const QColor& c, double opacity) {
    QColor out = c;
    out.setAlphaF(float(c.alphaF() * opacity));
    return out;
}

QColor color(const Rgba& c) {
    return QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha));
}

QFont font(double size, QFont::Weight weight, Design design) {
    QFont f(design == Design::monospaced ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
    f.setStyleHint(design == Design::monospaced ? QFont::Monospace : QFont::SansSerif);
    // Design points are logical pixels; Qt's points depend on the screen's dpi.
    double dpi = 96.0;
    if (auto* screen = QGuiApplication::primaryScreen()) dpi = screen->logicalDotsPerInchY();
    f.setPointSizeF(size * 72.0 / dpi);
    f.setWeight(weight);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void applyApplicationLook(QApplication& app) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette p;
    const QColor window = srgb(0.09, 0.11, 0.17);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text());
    p.setColor(QPalette::Base, srgb(0.07, 0.08, 0.13));
    p.setColor(QPalette::AlternateBase, srgb(0.10, 0.12, 0.18));
    p.setColor(QPalette::Text, text());
    p.setColor(QPalette::PlaceholderText, tertiary());
    p.setColor(QPalette::Button, srgb(0.14, 0.16, 0.23));
    p.setColor(QPalette::ButtonText, text());
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, accent());
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, srgb(0.13, 0.15, 0.22));
    p.setColor(QPalette::ToolTipText, text());
    p.setColor(QPalette::Link, srgb(0.40, 0.62, 1.0));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, tertiary());
    app.setPalette(p);
    QToolTip::setPalette(p);
    app.setFont(font(13));
}

}  // namespace Theme
