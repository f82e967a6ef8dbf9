#pragma once
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>

// A sheet inside a window: covers `host` (the window's content) whole, with the
// sheet centred at its own size (smaller only in a smaller host), and what lies
// beneath dimmed. While it shows, no click, key or shortcut reaches the widgets
// beneath, and the focus stays inside it; they stay as they are meanwhile. Escape
// runs `onEscape` wherever the focus was; Return presses the sheet's default
// button (WindowActions). It follows the host as the window moves and resizes.
class SheetOverlay : public QWidget {
    Q_OBJECT
public:
    SheetOverlay(QWidget* sheet, QWidget* host, std::function<void()> onEscape);
    ~SheetOverlay() override;

    QWidget* sheet() const { return sheet_; }
    // Where the sheet goes in a host of `size`.
    static QRect sheetRect(QSize size, QSize sheet);

    static constexpr double cornerRadius = 14;

protected:
    bool event(QEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    void paintDim(QPainter& p);
    void scheduleStill();
    void takeStill();
    void keepFocus(QWidget* now);

    QWidget* host_;
    QWidget* sheet_;
    std::function<void()> onEscape_;
    QPointer<QWidget> focusBefore_;
    QMetaObject::Connection focusWatch_;
    // What lies beneath, dimmed, as it was once the host last settled: the sky and
    // heroes moving beneath then cost no repaint of the sheet.
    QPixmap still_;
    QImage shadow_;
    bool stillPending_ = false;
};
