#pragma once
#include <QStaticText>
#include <QWidget>

#include <array>
#include <functional>

#include "Models/Window/AppTab.h"
#include "Models/Kit/PacedSchedule.h"
#include "Views/Kit/Spring.h"
#include "Views/Kit/StillPicture.h"

// The main window's capsule tab bar: the product mark, then one title per tab.
// The selected tab sits on a white pill that slides when the selection changes;
// a busy tab that is not selected carries a pulsing dot in its glow colour, and
// while any tab is busy the mark's ring turns.
class TabBar : public QWidget {
    Q_OBJECT
public:
    explicit TabBar(QWidget* parent = nullptr);

    AppTab selection() const { return selection_; }
    // Slides the pill to `tab` (at once while the bar is not on screen).
    void setSelection(AppTab tab);

    bool showsSelection() const { return showsSelection_; }
    void setShowsSelection(bool shows);

    // Asked once per tab whenever the bar refreshes; must be cheap.
    void setBusyTest(std::function<bool(AppTab)> isBusy);
    // Re-asks the busy test (call when the answer may have changed).
    void refreshBusy();

    bool isSelected(AppTab tab) const { return showsSelection_ && selection_ == tab; }
    bool showsBusyDot(AppTab tab) const;
    bool isMarkSpinning() const;
    // The ring's phase for the frame on display: 0 when nothing is busy.
    double markPhase() const;
    const PacedTimeline& markTimeline() const { return markTimeline_; }

    QRectF tabRect(AppTab tab) const;
    QRectF markRect() const;
    // The pill where it is drawn now; empty while no tab shows as selected.
    QRectF pillRect() const;
    bool isSliding() const { return slide_.isRunning(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Opacity and glow radius of a dot that has been on screen for `seconds`:
    // it starts dim and breathes with a 0.8-second ease-in-out, back and forth.
    struct Pulse {
        double opacity;
        double shadowRadius;
    };
    static Pulse busyDotPulse(double seconds);

signals:
    // The user chose a tab (also the one already selected).
    void tabClicked(AppTab tab);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void draw(QPainter& p) const;
    void layoutTabs();
    void updateTimeline();
    int tabAt(QPointF pos) const;

    AppTab selection_ = AppTab::clean;
    bool showsSelection_ = true;
    std::function<bool(AppTab)> isBusy_;
    std::array<bool, 5> busy_{};
    std::array<double, 5> dotSince_{};  // when each dot came on screen
    std::array<bool, 5> dotShown_{};
    std::array<QRectF, 5> rects_;
    std::array<QStaticText, 5> titles_;  // laid out once; the bar repaints at frame rate
    QRectF mark_;
    QSize size_;
    QFont font_;
    int pressed_ = -1;

    QRectF pillFrom_;
    SpringAnimator slide_;
    SpringAnimator pillFade_;
    bool pillVisible_ = true;
    PacedTimeline markTimeline_;
    StillPicture still_;
};
