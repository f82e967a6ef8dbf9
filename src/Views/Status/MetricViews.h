#pragma once
#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

#include "Views/Kit/Controls.h"
#include "Views/Kit/Spring.h"

class QLayout;
class OneLine;

// The graphs of the live readings and the card that frames each reading. They hold
// no state of their own: callers hand in fractions of full scale (0 empty, 1 full),
// which the graphs clamp rather than rescale.

namespace MetricGraph {
// A fraction clamped to 0…1; anything not a number counts as empty.
double clamped(double fraction);
}  // namespace MetricGraph

// A capsule bar 8 points high along the bottom of its frame; changes spring to the
// new fraction while it is on screen.
class Meter : public QWidget {
public:
    static constexpr double barHeight = 8;
    Meter(double fraction, const QColor& color, QWidget* parent = nullptr);
    void setFraction(double fraction);
    double fraction() const { return to_; }
    void setColor(const QColor& color);
    QColor color() const { return color_; }
    // The clamped fraction drawn now (mid-spring while one runs).
    double shownFraction() const;
    QSize sizeHint() const override { return {120, int(barHeight)}; }
    QSize minimumSizeHint() const override { return {0, int(barHeight)}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor color_;
    double from_, to_;
    SpringAnimator spring_;
};

// A graph of a history of fractions in one colour.
class HistoryGraph : public QWidget {
public:
    HistoryGraph(const QList<double>& values, const QColor& color, QWidget* parent);
    void setValues(const QList<double>& values);
    const QList<double>& values() const { return values_; }
    QSize sizeHint() const override { return {120, 34}; }
    QSize minimumSizeHint() const override { return {0, 0}; }

protected:
    QList<double> values_;
    QColor color_;
};

// A line graph of a history, filled below with a fading wash.
class Sparkline : public HistoryGraph {
public:
    Sparkline(const QList<double>& values, const QColor& color, QWidget* parent = nullptr)
        : HistoryGraph(values, color, parent) {}
    // Where each value is drawn in a frame of this size.
    static QList<QPointF> points(const QList<double>& values, QSizeF size);

protected:
    void paintEvent(QPaintEvent*) override;
};

// One rounded bar per value, bottom-aligned, sharing the width; never lower than 2 points.
class Bars : public HistoryGraph {
public:
    Bars(const QList<double>& values, const QColor& color, QWidget* parent = nullptr)
        : HistoryGraph(values, color, parent) {}
    static QList<QRectF> rects(const QList<double>& values, QSizeF size);

protected:
    void paintEvent(QPaintEvent*) override;
};

// A 32-point ring filled clockwise from the top by the fraction (above 1 a full
// circle), red below a fifth, around a symbol.
class Ring : public QWidget {
public:
    static constexpr int side = 32;
    Ring(double fraction, const QString& symbol, QWidget* parent = nullptr);
    void setFraction(double fraction);
    double fraction() const { return fraction_; }
    QString symbol() const { return symbol_; }
    static QColor color(double fraction);
    QSize sizeHint() const override { return {side, side}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double fraction_;
    QString symbol_;
};

// The big reading with its unit on one baseline: the value shrinks to 60 % of its
// size before it is cut short.
class MetricValue : public QWidget {
public:
    static constexpr double fontSize = 28, minimumScale = 0.6;
    // The value's and the unit's font sizes, and the room between them.
    struct Size {
        double value = fontSize;
        double unit = 13;
        double gap = 4;
    };
    MetricValue(const QString& value, const QString& unit, QWidget* parent = nullptr);
    MetricValue(const QString& value, const QString& unit, Size size, QWidget* parent = nullptr);
    void set(const QString& value, const QString& unit);
    QString value() const { return value_; }
    QString unit() const { return unit_; }
    // The value's font size and text at the current width.
    double shownFontSize() const;
    QString shownValue() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double unitWidth() const;
    QString value_, unit_;
    Size size_;
};

// The card of one live reading: a labelled header with an optional chip, the value
// and unit, a graph 34 points high, and a one-line footer. A chip with no room beside
// the title goes on a line of its own below it, so it is never cut.
class MetricCard : public Card {
public:
    static constexpr int graphHeight = 34;
    // The card takes ownership of `graph`.
    MetricCard(const QString& symbol, const QString& title, const QString& value, const QString& unit,
               const std::optional<QString>& chip, const QColor& chipColor, const QString& footer, QWidget* graph,
               QWidget* parent = nullptr);

    void setValue(const QString& value, const QString& unit);
    void setChip(const std::optional<QString>& chip, const QColor& color);
    void setFooter(const QString& footer);

    CardLabel* label() const { return label_; }
    MetricValue* valueView() const { return value_; }
    Chip* chip() const { return chip_; }  // none without a chip
    QString footer() const;
    QWidget* graph() const { return graph_; }

private:
    QLayout* header_;
    CardLabel* label_;
    Chip* chip_ = nullptr;
    std::optional<QString> chipText_;
    QColor chipColor_;
    MetricValue* value_;
    QWidget* graph_;
    OneLine* footer_;
};
