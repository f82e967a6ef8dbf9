#pragma once
#include <QImage>
#include <QRegion>
#include <QWidget>

#include <filesystem>
#include <optional>
#include <unordered_map>

#include "Models/Analyze/AnalyzeFocus.h"
#include "Models/Analyze/OrbitLayout.h"
#include "Models/Kit/PacedSchedule.h"
#include "Views/Analyze/ChartLayers.h"
#include "Views/Kit/Spring.h"

// The analyzer's picture of the shown folder: two rings of arcs around a dark
// centre, with their glow, the slow light of the band and the readout in the
// middle. Pointing at an arc focuses it, a click opens it; the arcs sweep in from
// the top when the chart comes on screen and whenever the shown folder changes.
//
// The chart draws what it is given; its owner feeds it from the analyzer model
// and carries the focus and the opening back.
class OrbitChart : public QWidget {
    Q_OBJECT
public:
    using Segment = OrbitLayout::Segment;

    // The motion band spans both rings; the horizon lies just inside the inner one.
    static constexpr double horizon = 0.376;

    explicit OrbitChart(QWidget* parent = nullptr);

    const OrbitLayout::Layout& rings() const { return layout_; }
    void setRings(OrbitLayout::Layout layout);
    const CenterReadout::Detail& readout() const { return readout_; }
    void setReadout(CenterReadout::Detail detail);
    // A new folder (after the first) sweeps the arcs in again.
    void setShownFolder(const std::filesystem::path& folder);
    const std::optional<AnalyzeFocus>& chartFocus() const { return focus_; }
    // The focus as the owner holds it; lit arcs follow it with a spring.
    void setChartFocus(const std::optional<AnalyzeFocus>& focus);

    // How far the arcs have grown in, 0 to 1.
    double reveal() const { return reveal_; }
    void sweepIn();
    // Shows the sweep at `reveal` and stops it there (for tests and pictures).
    void showRevealAt(double reveal);
    // Ends the change of the lit arcs at once (for tests and pictures).
    void settleFocus();

    // The square the chart draws in, and d, its side.
    QRectF square() const;
    // The arc under a point: its hit area is the sector at rest.
    std::optional<Segment> segmentAt(QPointF pos) const;

    const PacedTimeline& timeline() const { return timeline_; }
    PacedTimeline& timeline() { return timeline_; }
    // How many times the glow of the rings was blurred (it is kept while only the focus changes).
    int bloomRenders() const { return bloomRenders_; }

    QSize sizeHint() const override { return {230, 230}; }

signals:
    // The pointer moved onto an arc or off the chart's focused arc.
    void focusEdited(const std::optional<AnalyzeFocus>& focus);
    // A click on an arc; the owner opens it and clears the focus.
    void openRequested(const AnalyzeFocus& focus);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    struct Look {
        double lit = 0;  // 0…1: brighter, edged, glowing
        double dim = 0;  // 0…1: faded while another arc is lit
    };
    Look targetLook(const Segment& s) const;
    Look shownLook(const Segment& s) const;
    void hover(const std::optional<Segment>& s);
    void updatePause();
    void renderArcs(double dpr);
    void paintArc(QPainter& p, const Segment& s, const RingBand& band, const QRectF& square);

    OrbitLayout::Layout layout_;
    CenterReadout::Detail readout_;
    std::optional<std::filesystem::path> folder_;
    std::optional<AnalyzeFocus> focus_;
    std::optional<Segment> hovered_;
    std::optional<AnalyzeFocus> pressed_;

    double reveal_ = 0;
    SpringAnimator sweep_;
    bool frozen_ = false;

    // The lit change: each arc's look when it began, and the spring's progress.
    std::unordered_map<std::string, Look> fromLooks_;
    double lookProgress_ = 1;
    SpringAnimator lookSpring_;

    PacedTimeline timeline_;
    // Layers kept between frames: the glow (redone when the rings or the sweep
    // change), the arcs with the dark centre (also when the lit arcs change) and the
    // readout.
    QImage disc_, bloom_, arcs_, readoutImage_, motion_;
    ChartMotion::Canvas motionCanvas_;
    std::optional<double> motionTime_;  // of the frame in motion_
    bool bloomDirty_ = true, arcsDirty_ = true, readoutDirty_ = true;
    QRegion motionArea_;  // what a frame of the motion repaints
    int bloomRenders_ = 0;
};
