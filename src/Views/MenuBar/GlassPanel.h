#pragma once
#include <QPointer>
#include <QRect>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

// The floating panel the status item opens: a frameless pop-up by the tray button,
// above every window and on every desktop, as large as its content wherever the
// screen has room for it. A click outside it or on the button closes it, a click
// inside keeps it; a click on another window of ours goes on to that window. Its
// content is made afresh at each show and let go at each hide.
class GlassPanel : public QWidget {
    Q_OBJECT
public:
    // Points between the panel and the button, and from the panel to the screen's edges.
    static constexpr int gap = 6;
    static constexpr int margin = 8;
    static constexpr double fadeSeconds = 0.16;
    static constexpr int cornerRadius = 20;

    // Makes the content for one show; the panel owns what it returns.
    using ContentMaker = std::function<QWidget*()>;
    explicit GlassPanel(ContentMaker makeContent, QWidget* parent = nullptr);

    // Where the panel goes for content that wants `fitting`, by a button at
    // `button`, on a screen whose free area is `visible`: centred on the button and
    // kept `margin` inside the free area on both axes; under the button in the
    // screen's upper half and above it in the lower (as for a bottom tray), or on the
    // other side when only that one has room for all of it. Where neither has, it
    // takes the side with more room and is cut to it (the content scrolls). Content
    // that has not measured itself yet gets 320 x 480.
    static QRect place(QSize fitting, QRect button, QRect visible);

    // Shows fresh content by the button (a frame on the screen) and fades it in. It
    // follows the content's size while shown: a section that appears or goes
    // resizes it. Where the frame is the tray icon's own (`isIcon`), a click on it
    // only closes the panel; otherwise it is a place to open by, and holds no click.
    void showBy(QRect button, bool isIcon);
    QWidget* content() const { return content_; }
    // The opacity of the fade now.
    double fade() const { return fade_.state() == QAbstractAnimation::Running ? fade_.currentValue().toDouble() : 1.0; }

protected:
    bool event(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();
    void releaseContent();
    ContentMaker makeContent_;
    QPointer<QWidget> content_;
    QRect button_;
    QRect icon_;  // empty where the tray tells no frame
    QVariantAnimation fade_;
};
