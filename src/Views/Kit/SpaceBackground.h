#pragma once
#include <QImage>
#include <QRegion>
#include <QVariantAnimation>
#include <QWidget>

#include <array>
#include <vector>

class QPainter;

#include "Models/Window/AppTab.h"
#include "Models/Kit/PacedSchedule.h"
#include "Views/Kit/Starfield.h"

// The night sky behind the main window: the tab's gradient, a faint glow at the
// upper right, and either the live star field or a still one.
class SpaceBackground : public QWidget {
    Q_OBJECT
public:
    SpaceBackground(AppTab tab, bool animated, QWidget* parent = nullptr);

    AppTab tab() const { return tab_; }
    // A new tab's colours fade in over half a second; the stars stay put.
    void setTab(AppTab tab);
    // The gradient and glow colours on show now, mid-fade included.
    TabTint shownTint() const;
    Rgba shownGlow() const;
    bool isAnimated() const { return animated_; }
    void setAnimated(bool animated);

    // The live field's timeline (12 frames a second, 30 while a shooting star flies).
    const PacedTimeline& timeline() const { return timeline_; }
    PacedTimeline& timeline() { return timeline_; }
    // The time of the frame on display, seconds since the reference date.
    double frameTime() const { return timeline_.currentTime(); }

    // The sky at this size without the live stars (still ones when not animated), for
    // a view that draws it itself.
    void paintSky(QPainter& p) const;

    // Where a frame at `to` differs from the one at `from`: every star's old and new
    // place, and the shooting star's.
    QRegion dirtyRegion(double from, double to) const;

    static constexpr int stillStarCount = 90;
    static constexpr uint64_t stillStarSeed = 7;
    static constexpr double stillStarOpacity = 0.5;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void updatePause();
    void rebuildBackdrop();
    void frame(double t);
    double starTime(double t) const;  // when the stars shown at frame t are
    // Where the stars of `starsAt` lie, each with a pixel to spare.
    const std::vector<QRect>& starRects(double starsAt) const;
    const LiveStarfield::Dots& starDots(double starsAt) const;
    // Paints straight into the window's pixels when it can; false when it cannot.
    bool paintDirectly(QPainter& p);

    AppTab tab_;
    TabTint fromTint_;  // the colours a fade starts from
    Rgba fromGlow_;
    bool animated_;
    double blend_ = 1.0;  // 0 = the from colours, 1 = tab_'s
    QVariantAnimation fade_;
    QImage backdrop_;     // gradient, glow and (when still) the still stars
    PacedTimeline timeline_;
    double shownTime_ = 0;  // the frame time last painted
    struct StarRects {
        double time = -1;
        QSize size;
        LiveStarfield::Dots dots;
        std::vector<QRect> rects;
    };
    StarRects& starsAt(double t) const;
    mutable std::array<StarRects, 2> starRects_;
    mutable int nextStarRects_ = 0;
    mutable std::vector<uint64_t> cells_;  // a frame's cells to repaint, a bit each
};
