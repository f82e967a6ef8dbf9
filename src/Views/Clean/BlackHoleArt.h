#pragma once
#include <QImage>
#include <QPointF>
#include <QRectF>

#include <array>
#include <cstdint>
#include <vector>

class QPainter;

// The hole itself: a dark core, the "BlackHoleArt" image, and the light that
// sweeps over its disk (a white wash, a turning white-and-peach flare, a sheen and
// the disk's knots), masked by "BlackHoleGlow" and added onto the image.
//
// One instance keeps what does not change from frame to frame for its size (the
// image scaled, the mask, each pixel's angle about the centre), so a frame only
// mixes the light into the masked pixels and draws the result once.
class BlackHoleArt {
public:
    // The side of the art's square for a hero of `size` points.
    static double side(double size) { return 1.6 * size; }
    static double breathing(double t);
    static double sheen(double t, double energy);
    // Where the art draws around the hero's centre, breathing included: its
    // square, or only the part of it that holds anything once it is prepared.
    QRectF bounds(double t, double size) const;

    // Draws the art for the hero centred on `centre`. `pixelScale` is the device
    // pixels per point that the painter's transform ends up at (its pixel ratio
    // times the hero's own scale); the art is prepared at that resolution.
    void paint(QPainter& painter, QPointF centre, double t, double phase, double pace, double size, double energy,
               double pixelScale);

    // The art composed for one frame, before it is placed and breathed (for tests).
    const QImage& compose(double t, double phase, double pace, double size, double energy, double pixelScale);

private:
    void prepare(double size, double pixelScale);
    void placeKnots(double phase);

    double size_ = 0, scale_ = 0;
    int side_ = 0;                      // pixels
    QRect content_;                     // the pixels that can ever hold anything
    QImage base_;                       // the core and the image
    QImage frame_;                      // base_ with this frame's light added
    std::vector<uint8_t> mask_;         // the glow mask's alpha per pixel
    std::vector<uint16_t> angle_;       // each pixel's angle about the centre, in 1/1024 turns
    std::vector<std::array<int, 2>> spans_;  // per row, runs of pixels the mask lets light onto (flattened)
    std::vector<int> rowSpans_;         // index of each row's first run in spans_, plus one past the end
    std::vector<uint8_t> knots_;        // this frame's knot light, per pixel
    struct KnotSprite {
        std::vector<uint8_t> alpha;
        int width = 0, height = 0;
    };
    std::array<KnotSprite, 2> knotSprites_;
    std::vector<std::array<int, 4>> knotRects_;  // where last frame's knots were: x, y, w, h
    std::array<double, 4> composed_{};  // t, phase, pace and energy of frame_
    bool fresh_ = false;
};
