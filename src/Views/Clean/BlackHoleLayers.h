#pragma once
#include <QColor>
#include <QHash>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRegion>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <array>
#include <optional>

class QPainter;

// The black hole's lighter layers. Each is a pure function of the values handed
// in: t is seconds since the reference date, sizes are the hero's side in points,
// and every position is relative to the point the layer is centred on.

// Seven bright knots riding the accretion disk, drifting apart and meeting again.
struct DiskKnots {
    struct Knot {
        QPointF centre;  // from the middle of the disk
        double r;        // the knot is 3.6 r wide and r high
    };
    static std::array<Knot, 7> knots(double phase, double width);
    // Canvas blur, in points, that softens the knots' flat edges.
    static double blur(double width) { return 0.006 * width; }
};

// Three ellipses shrinking towards the hole while a list scans.
struct ScanRipples {
    struct Ripple {
        QSizeF frame;
        double opacity;
    };
    static std::array<Ripple, 3> ripples(double t, double size);
    static constexpr double rotation = -9;  // degrees

    // The three outlines of one frame, about the centre, made once and filled as
    // often as the frame is painted.
    struct Outlines {
        double t = -1, size = 0;
        std::array<QPainterPath, 3> paths;
        std::array<double, 3> opacity{};
    };
    static void paint(QPainter& painter, QPointF centre, double t, double size, Outlines& outlines);
};

// Four brief flashes near the hole while it swallows.
struct SwallowFlashes {
    struct Flash {
        QPointF offset;
        double opacity;  // 0 outside the first quarter of the flash's cycle
    };
    static std::array<Flash, 4> flashes(double t, double size);
    static void paint(QPainter& painter, QPointF centre, double t, double size);
};

// The field of documents and dust spiralling in while the hole swallows without icons.
struct Quelto {
    struct Particle {
        double angle, radius, speed, phase, scale;
        std::optional<QString> symbol;  // absent: a dust grain
    };
    static constexpr int count = 26;
    // The same list on every launch: it is drawn from a fixed seed.
    static const std::array<Particle, count>& particles();

    struct Placement {
        QPointF offset;
        double scaleX, scaleY;
        double rotation;  // radians, pointing the stretch at the hole
        double opacity;
    };
    static Placement place(const Particle& particle, double t, double size);

    // The particles' pictures with their glow, made once for a size, colour and pixel ratio.
    class Sprites {
    public:
        struct Sprite {
            QImage image;
            QSizeF frame;  // points, centred on the particle
        };
        const Sprite& get(const std::optional<QString>& symbol, double size, const QColor& glow, qreal pixelRatio);

    private:
        QHash<QString, Sprite> sprites_;
        double size_ = 0;
        qreal ratio_ = 0;
        QRgb glow_ = 0;
    };
    static void paint(QPainter& painter, QPointF centre, double t, double size, const QColor& glow, Sprites& sprites);
};

// The expanding rings of the clean-done shockwave.
struct ShockwaveRing {
    struct Ring {
        double radius, fade, width;
    };
    // Ring 0 or 1 at `age` seconds, while it runs (as long as the shockwave lasts).
    static std::optional<Ring> ring(int which, double age, double strength, double size);
    // The canvas is 6 × size square; the rings centre a little above its middle.
    static QPointF centre(QPointF canvasCentre, double size) { return canvasCentre - QPointF(0, 0.02 * size); }
    // What the rings cover at `age`, relative to the canvas centre (empty when nothing shows).
    static QRectF bounds(double age, double strength, double size);
    // Where a frame at `age` differs from one at `before`, relative to the canvas
    // centre: a band around the rings, never the still middle inside them.
    static QRegion changed(double before, double age, double strength, double size);
    static void paint(QPainter& painter, QPointF canvasCentre, double age, double strength, double size);
};
