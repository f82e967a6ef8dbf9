#pragma once
#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

// Texts of the status cards that a plain label cannot lay out.

// One line of plain text in one colour, cut short with an ellipsis when narrow;
// optionally on a rounded plate of its own (a chip).
class OneLine : public QWidget {
public:
    OneLine(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const { return text_; }
    // The plate's colour, the text's padding on it and its corner radius.
    void setPlate(const QColor& fill, QSizeF padding, double radius);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
    QFont font_;
    QColor color_;
    QColor plate_ = Qt::transparent;
    QSizeF padding_;
    double radius_ = 0;
};

// Texts side by side on the first one's baseline (a big reading, its unit, a word),
// each in its own font and colour; what does not fit is cut short at the end, or,
// once set to wrap, goes on to a line of its own below (cut only when wider than the
// whole width).
class BaselineTexts : public QWidget {
public:
    struct Part {
        QString text;
        QFont font;
        QColor color;
    };
    BaselineTexts(QList<Part> parts, double spacing, QWidget* parent = nullptr);
    void setWraps(bool wraps);
    void setText(int index, const QString& text);
    QString text(int index) const { return parts_.value(index).text; }
    struct Placed {
        int index;     // of the part
        QString text;  // as drawn
        QRectF rect;   // its advance, from its font's ascent to its descent
        double baseline;
    };
    // Where the parts that show go in a width of `width`.
    QList<Placed> place(double width) const;
    bool hasHeightForWidth() const override { return wraps_; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double ascent() const;
    QList<Part> parts_;
    double spacing_;
    bool wraps_ = false;
};

// Text wrapped to the width, at most `maxLines` lines, the last cut short.
class WrappedText : public QWidget {
public:
    WrappedText(const QFont& font, const QColor& color, int maxLines, QWidget* parent = nullptr);
    void setText(const QString& text);
    void setColor(const QColor& color);
    QString text() const { return text_; }
    QColor color() const { return color_; }
    // The lines shown at `width`.
    QStringList lines(double width) const;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
    QFont font_;
    QColor color_;
    int maxLines_;
};

// Chips in a row, 4 points apart, going on to a next line when the row is full; a
// chip wider than the whole row (a long processor name) is cut short.
class ChipRow : public QWidget {
public:
    ChipRow(const QColor& color, QWidget* parent = nullptr);
    void setTexts(const QStringList& texts);
    QStringList texts() const { return texts_; }
    struct Placed {
        QString text;  // as drawn
        QPointF at;
    };
    // Where each chip goes in a row `width` wide.
    QList<Placed> place(double width) const;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QStringList texts_;
    QColor color_;
};
