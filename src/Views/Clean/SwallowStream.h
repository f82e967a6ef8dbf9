#pragma once
#include <QImage>
#include <QPointF>
#include <QRectF>

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "Models/Clean/SwallowFeed.h"

class QPainter;

// The icons of a run spiralling into the hole and coming apart on the way, tile by
// tile: each loose tile flies on towards the hole, reddening, shrinking and
// fading. Every frame follows from the events and the frame's time alone; the
// same event breaks up the same way in every frame.
class SwallowStream {
public:
    static constexpr int grid = 11;  // tiles a side

    // 0 for 1,000 bytes or less, 1 from 10^10 bytes on: how large an icon flies
    // and, through the feed's one flight rule, how long.
    static double sizeClass(int64_t bytes);

    // Where one event is at a moment, relative to the hole's canvas centre.
    struct Flight {
        double p = 0;         // share of the flight done
        double eased = 0;
        double sizeClass = 0;
        QPointF centre;       // the icon's centre
        double side = 0;      // the icon's side
        double fadeIn = 0;
        double dissolve = 0;  // 0 until the break-up starts, 1 when every tile is loose
        QPointF hole;
    };
    // Absent before the event starts and once its flight is over.
    static std::optional<Flight> flight(const SwallowFeed::Event& event, double now, double size);

    struct Tile {
        QRectF rect;         // its place in the icon
        double threshold;    // the dissolve at which it comes loose
        bool loose;
        double q = 0;        // how far a loose tile has gone, 0...1
        QPointF jitter;      // its own sideways drift at q = 1
        QPointF at;          // where its centre is drawn
        double scale = 1;
    };
    static std::array<Tile, grid * grid> tiles(const Flight& flight, int id);  // column by column
    // The repeatable hash behind the thresholds and jitters: a 64-bit finalizer, 0 ... 0.9999.
    static double unit(uint64_t key);
    // What the events in flight cover now around the canvas centre.
    static QRectF bounds(const std::vector<SwallowFeed::Event>& events, double now, double size);

    // Draws the events in flight around `centre`, in the painter's coordinates.
    // `pixelScale` is the device pixels per point the painter ends up at.
    void paint(QPainter& painter, QPointF centre, const std::vector<SwallowFeed::Event>& events, double now,
               double size, double pixelScale);

private:
    const QImage& icon(const SwallowFeed::Event& event, int pixels);

    QImage canvas_;  // device pixels of the 2.2 × size square
    QRect drawn_;    // where the last frame drew on it
    double drawnAt_ = -1;            // the frame time drawn_ shows
    std::vector<int> drawnEvents_;   // and the events it shows
    double size_ = 0, scale_ = 0;
    struct Icon {
        QImage image;
        int pixels = 0;
        bool used = false;
    };
    std::unordered_map<int, Icon> icons_;  // by event id
};
