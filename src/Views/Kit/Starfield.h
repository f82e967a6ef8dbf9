#pragma once
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <array>
#include <cstdint>
#include <optional>

class QImage;
class QPainter;
class QRegion;
class QPoint;

// The small seeded generator behind both star fields and the shooting star, so
// the sky is the same on every launch.
struct StarRandom {
    uint64_t state;
    explicit StarRandom(uint64_t seed) : state((seed * 0x9E3779B97F4A7C15ull) | 1ull) {}
    uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    // 0.0000 ... 0.9999 in steps of 0.0001.
    double unit() { return static_cast<double>(next() % 10000) / 10000.0; }
};

// The drifting, twinkling field with a shooting star every 11 seconds.
struct LiveStarfield {
    struct Star {
        double x, y;    // fractions of the width and height
        double r;       // diameter before the depth factor
        double alpha;   // base opacity
        double speed;   // twinkle, radians per second
        double phase;   // twinkle phase, radians
        bool near;      // the near layer drifts faster and draws larger
    };
    static constexpr int count = 120;
    static const std::array<Star, count>& stars();

    // Where star s is drawn at time t (seconds since the reference date) and how bright.
    struct Dot {
        QRectF rect;
        double opacity;
    };
    static Dot dot(const Star& s, double t, QSizeF size);
    using Dots = std::array<Dot, count>;
    static void dots(Dots& out, double t, QSizeF size);

    struct Streak {
        QPointF tail, head;
        double headOpacity;  // the tail end is fully clear
    };
    // The shooting star at t, if one is in flight.
    static std::optional<Streak> shootingStar(double t, QSizeF size);
    static constexpr double shootingStarDuration = 0.9;

    // The shooting star at t, if one flies; the painter is untransformed.
    static void drawShootingStar(QPainter& painter, QSizeF size, double t);
    // One frame over `area`: the stars at `starsAt` that touch it, then the shooting
    // star at t. The painter is untransformed.
    static void paint(QPainter& painter, QSizeF size, double starsAt, double t, const QRegion& area);
    // The stars at `starsAt` blended straight into `image` (32-bit, opaque where they
    // fall), only inside `clip`: the field's top left is at `origin` in the image and a
    // point is `ratio` of its pixels. The same pixels as paint(), without a painter's
    // cost for each of the many small places a frame touches.
    static void blend(QImage& image, QPoint origin, double ratio, QSizeF size, double starsAt, const QRegion& clip);
    // The same with the stars' places and brightness worked out already.
    static void blend(QImage& image, QPoint origin, double ratio, const Dots& dots, const QRegion& clip);
};

// A still field, drawn once per layout.
struct Starfield {
    static void paint(QPainter& painter, QSizeF size, int count, uint64_t seed);
};
