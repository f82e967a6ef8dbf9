#pragma once
#include <QColor>
#include <QImage>
#include <QTransform>
#include <QPointer>
#include <QWidget>

#include <optional>

#include "Models/Clean/SwallowFeed.h"
#include "Models/Kit/PacedSchedule.h"
#include "Views/Clean/BlackHoleArt.h"
#include "Views/Clean/BlackHoleLayers.h"
#include "Views/Clean/SwallowStream.h"

class OverflowOverlay;

// The eased motion of a hero, carried from frame to frame.
struct MotionClock {
    std::optional<double> last;  // the previous frame's time
    double phase = 0;            // turns, kept below 1000
    double pace = 0.22;          // spin rate
    double energy = 0;           // brightness
    double growth = 0;           // the smoothed growth

    // Moves the state to the frame at `now`, easing towards the targets. A frame
    // after a long pause moves at most 0.1 s worth; one dated before the last
    // moves nothing.
    void advance(double now, double paceTarget, double energyTarget, double growthTarget);
};

// The animated black hole at the top of the Clean screen and the other hero
// screens. The caller describes the mood (scanning, how open, swallowing, how much
// has been swallowed); the hero eases its own motion towards it frame by frame,
// on a paced timeline of 12 frames a second, 60 while something moves fast, and
// none at all while no main window is on screen or the desktop asks for less motion.
//
// The widget itself is only the square box the hero takes in the layout; its
// layers (glow, art, the icons flying in, the shockwave) reach far beyond it and
// are drawn by an overlay that follows it.
class BlackHole : public QWidget {
    Q_OBJECT
public:
    using Events = std::vector<SwallowFeed::Event>;

    explicit BlackHole(double size = 240, QWidget* parent = nullptr);
    ~BlackHole() override;

    // The warm light of the hero, its layers and the orbit chart.
    static const QColor& peach();

    QColor glow() const { return glow_; }
    bool spinning() const { return spinning_; }
    double open() const { return open_; }
    double heroSize() const { return size_; }
    bool suction() const { return suction_; }
    double growth() const { return growth_; }
    bool animated() const { return animated_; }
    // The desktop asks for less motion: the hero rests (MotionPause.reduceMotion).
    bool reduceMotion() const;
    const std::optional<Events>& feed() const { return feed_; }

    void setGlow(const QColor& glow);
    // The scanning look: orbit ring, ripples and probe star, faster spin.
    void setSpinning(bool spinning);
    // How open the hole looks, 0 to 1.
    void setOpen(double open);
    // The swallowing look: fastest spin, full energy.
    void setSuction(bool suction);
    // The flying icons of a run, or none. Absent and empty differ: swallowing
    // without a feed shows the particle field, with an empty one nothing flies.
    void setFeed(std::optional<Events> feed);
    // Swallowed progress, 0 to 1: the hero grows with it.
    void setGrowth(double growth);
    // False freezes the hero.
    void setAnimated(bool animated);

    // What the frame on show was drawn from.
    struct Frame {
        double t = 0;          // seconds since the reference date
        double phase = 0, pace = 0.22;
        double intensity = 0;  // brightness with the pull of flying icons and the shockwave
        double scale = 1;      // the whole stack grows with the swallowed progress and the intensity
        double pull = 0;       // of the icons about to land
        std::optional<double> shockAge;  // seconds into a live shockwave
        double shockStrength = 0;
        double ringSize = 0;   // the shockwave's size: the hero's, grown with the swallowed progress
    };
    const Frame& shownFrame() const { return frame_; }
    const MotionClock& motion() const { return clock_; }
    const PacedTimeline& timeline() const { return timeline_; }
    PacedTimeline& timeline() { return timeline_; }

    // Draws every layer of the frame on show around `centre` (the box's centre).
    void paintLayers(QPainter& painter, QPointF centre);
    // What the layers of `frame` cover around the box's centre.
    QRectF layerBounds(const Frame& frame) const;
    // Everything the frame on show draws, the glow and a shockwave included.
    QRectF paintedExtent() const;

    // How hard the icons about to land pull at `now`: the nearer its landing and the
    // larger its batch, the more an icon adds.
    static double pull(const Events& events, double now);
    // A shockwave the hero draws at `now`: only while animated and at least 120 points large.
    std::optional<double> shockAge(double now) const;

    // Where the probe star runs on the orbit at time t, from the centre, and
    // whether it passes behind the hole.
    struct Probe {
        QPointF offset;
        bool behind;
    };
    static Probe probe(double t, double size);

protected:
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void onFrame(double t);
    // Re-runs the frame on show with the new fields (no time passes).
    void refresh();
    void updateSchedule();
    double pixelScale(const QPainter& painter, double scale) const;
    void paintGlow(QPainter& painter, QPointF centre, double intensity, double pixelScale);
    void paintOrbit(QPainter& painter, QPointF centre, double pixelScale);
    void paintProbe(QPainter& painter, QPointF centre, double t, double opacity);

    QColor glow_;
    bool spinning_ = false;
    double open_ = 0;
    double size_;
    bool suction_ = false;
    double growth_ = 0;
    bool animated_ = true;
    std::optional<Events> feed_;

    MotionClock clock_;
    Frame frame_;
    QRectF painted_;  // what the last update covered, around the centre
    PacedTimeline timeline_;
    QPointer<OverflowOverlay> overlay_;

    // What stays the same from frame to frame.
    BlackHoleArt art_;
    Quelto::Sprites particleSprites_;
    SwallowStream stream_;
    struct GlowCache {
        QImage image;
        double size = 0, pixelScale = 0;
        int level = -1;
        QRgb glow = 0;
    } glowCache_;
    // The glow at rest, drawn at the exact place and scale it shows at and then only
    // copied: the scaled picture above costs a smooth resampling of every pixel.
    struct StillGlow {
        QImage image;
        QTransform at;   // the device transform it was drawn for
        int level = -1;
        QRgb glow = 0;
        double size = 0;
        QPoint origin;   // its top left, in device pixels
    } stillGlow_;
    QTransform lastGlowAt_;  // the glow's device transform in the previous paint
    QImage orbit_;  // the dashed ring, drawn once per size and resolution
    double orbitKey_ = 0;
    ScanRipples::Outlines ripples_;
    QImage probeSprite_;
    double probeKey_ = 0;
};
