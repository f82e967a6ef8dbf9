#pragma once
#include <QAbstractButton>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

class QAbstractScrollArea;
class QScrollArea;
class QPainter;
class QVBoxLayout;

// The painted pieces every screen is built from.

// A rounded rectangle on `fill`, outlined inside its edge by a one-point line in
// Theme::stroke(): cards, the settings panel and the tab bar.
void paintOutlinedRoundedRect(QPainter& painter, const QRectF& rect, double radius, const QColor& fill);

// The ground of a dialog or sheet window: opaque dark ink under the card tint, with
// a faint edge. Opaque, since without a compositor a translucent window shows black corners.
void paintWindowGround(QPainter& painter, const QRect& rect);

// Rounded dark card: faint white fill, one-point inner outline.
namespace CardModifier {
inline constexpr double cornerRadius = 14;
void paint(QPainter& painter, const QRectF& rect);
}  // namespace CardModifier

// Content padded by `padding` on a card.
class Card : public QWidget {
public:
    explicit Card(double padding, QWidget* parent = nullptr);
    QVBoxLayout* contentLayout() const { return layout_; }
    // Wraps `content` in a new card (the card takes ownership).
    static Card* wrap(QWidget* content, double padding, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QVBoxLayout* layout_;
};

// A card's heading: symbol and upper-case title in one colour.
class CardLabel : public QWidget {
public:
    CardLabel(const QString& symbol, const QString& title, const QColor& color, QWidget* parent = nullptr);
    QString displayedTitle() const { return title_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString symbol_;
    QString title_;
    QColor color_;
    QFont font_;
};

// A tool tip that shows `text` literally, line breaks and runs of spaces kept: it
// is marked up on purpose, so the escaped text can never be taken for markup itself.
QString plainToolTip(const QString& text);

// `text` in at most `maxLines` lines of `width`, the last one cut with an ellipsis when
// more would follow. Line breaks in the text break lines; long runs without spaces
// (command output, paths) break anywhere.
QStringList wrappedLines(const QString& text, const QFont& font, double width, int maxLines);

// A label that shows its text literally (never as markup), in one font and colour.
class QLabel;
QLabel* plainLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);

// A symbol (optional) and one line of text in one colour, drawn as plain text.
class SymbolLabel : public QWidget {
public:
    SymbolLabel(const QString& symbol, const QString& text, const QFont& font, const QColor& color,
                QWidget* parent = nullptr);
    void set(const QString& symbol, const QString& text, const QColor& color);
    QString symbol() const { return symbol_; }
    QString text() const { return text_; }
    QColor color() const { return color_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString symbol_;
    QString text_;
    QFont font_;
    QColor color_;
};

// A short fact on a faint rounded rectangle; grows with its text, never truncates.
class Chip : public QWidget {
public:
    Chip(const QString& text, const QColor& color, QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const { return text_; }
    // For views that draw rows themselves: the chip's size and look at `topLeft`.
    static QSizeF size(const QString& text);
    static void paint(QPainter& painter, const QPointF& topLeft, const QString& text, const QColor& color);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
    QColor color_;
};

// The capsule look of action buttons.
struct PillButtonStyle {
    enum class Kind { primary, secondary };
    Kind kind = Kind::primary;

    static constexpr double horizontalPadding = 22;
    static constexpr double verticalPadding = 10;
    static QFont font();
    // Opacity of the whole button: dimmed while pressed, faint while disabled.
    static double opacity(bool enabled, bool pressed);
    QColor textColor() const;
    QColor fill() const;
    QColor outline() const;  // transparent for primary
    // The label is a row of the spinner (at `spinnerStep`, none when negative),
    // the symbol (none when empty) and the text.
    void paint(QPainter& painter, const QRectF& rect, const QString& text, bool enabled,
               double pressedAmount, const QString& symbol = {}, int spinnerStep = -1) const;
    static double labelWidth(const QString& text, bool symbol, bool spinner);
    // The capsule around such a label.
    static QSizeF size(const QString& text, bool symbol = false, bool spinner = false, double padding = horizontalPadding);
};

// The platform's small indeterminate spinner: twelve spokes, the brightest at
// `step` (0...11), turning once a second at twelve steps a second.
namespace Spinner {
inline constexpr int steps = 12;
inline constexpr double side = 12;
void paint(QPainter& painter, const QRectF& box, const QColor& color, int step);

// The step a drawn spinner shows, advanced while the clock runs; `stepped` repaints.
class Clock {
public:
    explicit Clock(std::function<void()> stepped);
    int step() const { return step_; }
    // A clock already running keeps its rhythm.
    void run(bool on);

private:
    QTimer timer_;
    int step_ = 0;
};
}  // namespace Spinner

// The small spinner on its own, turning only while it can be seen.
class SpinnerView : public QWidget {
public:
    explicit SpinnerView(const QColor& color, QWidget* parent = nullptr);
    int step() const { return spin_.step(); }
    QSize sizeHint() const override { return {int(Spinner::side), int(Spinner::side)}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    QColor color_;
    Spinner::Clock spin_;
};

class PillButton : public QPushButton {
    Q_OBJECT
public:
    PillButton(const QString& text, PillButtonStyle::Kind kind, QWidget* parent = nullptr);
    PillButtonStyle::Kind kind() const { return style_.kind; }
    // A symbol before the text.
    void setSymbol(const QString& symbol);
    QString symbol() const { return symbol_; }
    // Shows the spinner before the label, turning while the button is shown.
    void setBusy(bool busy);
    bool isBusy() const { return busy_; }
    // Where a row is short of room (the menu-bar panel's), less than the style's padding.
    void setHorizontalPadding(double padding);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void syncSpinner();
    PillButtonStyle style_;
    double pressedAmount_ = 0;
    QVariantAnimation press_;
    QString symbol_;
    bool busy_ = false;
    double horizontalPadding_ = PillButtonStyle::horizontalPadding;
    Spinner::Clock spin_{[this] { update(); }};
    QPixmap resting_;  // the button at rest, drawn once for its size, text and state
    QString restingKey_;
};

// A three-state check box; the caller's action decides the new state.
class CheckBox : public QAbstractButton {
    Q_OBJECT
public:
    enum class Mark { on, off, mixed };
    static constexpr int side = 15;

    CheckBox(Mark state, std::function<void()> action = {}, QWidget* parent = nullptr);
    // For views that draw rows themselves: the box in the side-by-side square at `topLeft`.
    static void paint(QPainter& painter, const QPointF& topLeft, Mark state);
    Mark state() const { return state_; }
    void setState(Mark state);
    QSize sizeHint() const override { return {side, side}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Mark state_;
};

// The platform's on/off switch.
class Switch : public QAbstractButton {
    Q_OBJECT
public:
    explicit Switch(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {34, 20}; }
    // Shows a value without the slide (for the first state of a row).
    void setCheckedImmediately(bool on);
    // For views that draw rows themselves: the switch in `track` with its knob at
    // `knob` (0 off ... 1 on).
    static void paint(QPainter& painter, const QRectF& track, double knob, bool enabled, bool pressed);

protected:
    void paintEvent(QPaintEvent*) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    void slideTo(bool on);
    double knob_ = 0;  // 0 off ... 1 on
    QVariantAnimation slide_;
};

// The platform's small up/down stepper: emits +1 or -1, repeating while held.
class Stepper : public QWidget {
    Q_OBJECT
public:
    explicit Stepper(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {15, 24}; }
    void setCanStep(bool up, bool down);

signals:
    void stepped(int delta);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    int pressed_ = 0;  // +1 upper half, -1 lower half
    bool canUp_ = true, canDown_ = true;
    QTimer repeat_;
};

// The platform's ordinary push button, with an optional leading symbol. A
// dialog's default button is filled with the accent colour.
class BorderedButton : public QPushButton {
public:
    BorderedButton(const QString& text, const QString& symbol = {}, QWidget* parent = nullptr);
    // A destructive action reads in Theme::danger().
    void setTextColor(const QColor& color);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString symbol_;
    QColor textColor_;
};

// A scroll area without a frame, scroll bars or a background of its own: its
// content lies straight on what is behind it.
void makePlainScrollArea(QAbstractScrollArea* area);
// The scroll area of a list its owner draws: plain, following the pointer, `step`
// points a wheel notch, and the sky's motion paused while it scrolls.
void makeDrawnList(QAbstractScrollArea* area, int step);
// A scroll area over `content` that lets what is behind it show through, with a
// thin scroll bar while the content is taller than the area when `showIndicators`.
QScrollArea* makeTransparentScrollArea(QWidget* content, bool showIndicators);
// Lets the area scroll through `height` points of content, a page at a time.
void setContentHeight(QAbstractScrollArea* area, int height);

// A borderless text button, with an optional leading symbol.
class PlainButton : public QAbstractButton {
public:
    PlainButton(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);
    void setSymbol(const QString& symbol);
    QString symbol() const { return symbol_; }
    QColor color() const { return color_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QFont font_;
    QColor color_;
    QString symbol_;
};

// A borderless symbol button (the header's History and Settings).
class SymbolButton : public QAbstractButton {
public:
    SymbolButton(const QString& symbol, double fontSize, QWidget* parent = nullptr);
    void setColor(const QColor& color);
    QColor color() const { return color_; }
    QString symbol() const { return symbol_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString symbol_;
    double size_;
    QColor color_;
};
