#pragma once
#include <QCoreApplication>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "Models/Analyze/ChildPath.h"

#include "Models/Analyze/AnalyzeFocus.h"
#include "Models/Analyze/FileCount.h"
#include "Models/Analyze/OrbitLayout.h"
#include "Models/Kit/QtBridge.h"
#include "Views/Analyze/PathText.h"
#include "Models/Kit/Localization.h"

class QPainter;

// The pieces the orbit chart is drawn from. Sizes are fractions of R, half the
// smaller side of the square the chart draws in (d = 2 R).

// One sector of a ring, from `start` to `end` (fractions of a turn, 0 at the top,
// clockwise). A sector wider than 0.006 of a turn leaves a gap of 0.0015 at each
// end, so neighbours stand apart; a narrower one is drawn edge to edge so that it
// stays visible.
struct RingArc {
    double start = 0;
    double end = 0;
    double inner = 0;
    double outer = 0;

    static constexpr double gap = 0.0015;
    QPainterPath path(const QRectF& rect) const;
};

// The band of each ring (fractions of R: inner edge, outer edge, outer edge while
// lit), its opacity at rest and where the highlight along its inner edge fades out.
struct RingBand {
    double r0, r1, litR1;
    double opacity;
    double highlightEnd;
};
inline constexpr RingBand innerRing{0.4, 0.68, 0.71, 0.92, 0.596};
inline constexpr RingBand outerRing{0.7, 0.92, 0.95, 0.5, 0.854};

// The glow of the rings: both rings at rest, blurred by 0.035 d, added onto what
// lies behind at 0.75.
namespace RingBloom {
inline constexpr double opacity = 0.75;
inline double blurRadius(double d) { return 0.035 * d; }
// What the glow covers around the chart's square: the blur reaches past it.
QRectF bounds(const QRectF& square);
// The rings at rest, unblurred, in an image of bounds(square) at `dpr`.
QImage rings(const OrbitLayout::Layout& layout, double reveal, const QRectF& square, double dpr);
// The blurred copy at `opacity`, to be added as it is at bounds(square).
QImage render(const OrbitLayout::Layout& layout, double reveal, const QRectF& square, double dpr);
}  // namespace RingBloom

// The dark centre: a black disc that fades out under the inner ring.
namespace HorizonShadow {
// `radius` is a fraction of the smaller side of `frame`.
void paint(QPainter& painter, const QRectF& frame, double radius);
}  // namespace HorizonShadow

// Light sweeping round the band of the rings, orbiting streaks and a breathing
// ring at the horizon; a function of the frame time alone.
namespace ChartMotion {
struct Streak {
    double radius;  // 0 at the band's inner edge, 1 at its outer edge
    double start;   // turns
    double length;  // turns
    double speed;   // turns per second
    double alpha;
};
inline constexpr int streakCount = 56;
// The same table in every chart and on every run.
const std::array<Streak, streakCount>& streaks();

// Draws the frames of one canvas size. What stays the same from frame to frame (each
// pixel's angle, its place in the band and at the horizon) is worked out once, so a
// frame costs a table lookup per lit pixel rather than a gradient evaluated afresh.
class Canvas {
public:
    // A square of `side` device pixels at `dpr`; `inner`, `outer` and `horizon` are fractions of R.
    void prepare(int side, double dpr, double inner, double outer, double horizon);
    int side() const { return side_; }
    // Draws the frame at time t (seconds since the reference date) into `image`
    // (premultiplied, side by side), replacing what it held.
    void paint(QImage& image, double t) const;

private:
    // A pixel on a circle, found by its angle: clockwise from three o'clock, in 1/65536
    // of a turn.
    struct ArcPixel {
        uint16_t angle;
        uint8_t coverage;  // 255 inside
        uint32_t index;
        bool operator<(const ArcPixel& o) const { return angle < o.angle; }
    };
    struct SheenPixel {
        uint32_t index;
        uint8_t amount;  // the sheen's opacity here at full strength, times the band's coverage
    };
    struct RingPixel {
        uint32_t index;
        uint16_t angle;
        uint16_t distance;  // from the horizon circle, in steps of 1/ringSteps device pixel
    };
    static constexpr int ringSteps = 16, ringTable = 512;
    int side_ = 0;
    double dpr_ = 1;
    // The band by angle: a frame lights the stretches the flares cover.
    std::vector<ArcPixel> band_;
    std::vector<SheenPixel> sheen_;
    std::vector<RingPixel> ring_;
    // Each streak's circle of pixels, by angle; a frame lights the stretch it covers.
    std::array<std::vector<ArcPixel>, streakCount> streakPixels_;
    std::array<double, streakCount> streakRadius_{};  // device pixels
};
}  // namespace ChartMotion

// The text in the middle of the chart: what is in focus, or the shown folder.
namespace CenterReadout {
struct Detail {
    QString name;
    std::optional<int64_t> size;  // none where it is not known (a folder that cannot be read)
    QString caption;
    QString symbol;
    bool operator==(const Detail&) const = default;
};

inline QString files(int64_t n) { return counted("%n files", n, FileCount::format(n)); }
inline QString percent(double part, double total) { return QString::asprintf("%.1f%%", part / total * 100); }

// The folder shown with its own totals: none while it cannot be read.
struct Shown {
    std::filesystem::path folder;
    std::optional<int64_t> size, files;
};

// Entries have `url`, `size`, `files` and `isFolder`; sub-slices `url`, `size` and
// `files`; shares are of `total`, the entries' sum.
template <class Entries, class SubSlices>
Detail detail(const Entries& entries, const SubSlices& subSlices, const Shown& shown, int64_t total,
              const std::optional<AnalyzeFocus>& focus) {
    const double t = total < 1 ? 1.0 : double(total);
    if (focus && focus->kind == AnalyzeFocus::Kind::entry) {
        for (const auto& e : entries) {
            if (!samePath(e.url, focus->path)) continue;
            if (!e.size) break;
            QString caption = percent(double(*e.size), t);
            if (e.files) caption += QStringLiteral(" · ") + files(*e.files);
            return {pathToQString(e.url.filename()), *e.size, caption,
                    e.isFolder ? QStringLiteral("folder") : QStringLiteral("doc")};
        }
    } else if (focus && focus->kind == AnalyzeFocus::Kind::slice) {
        for (const auto& [key, slices] : subSlices)
            for (const auto& s : slices) {
                if (!samePath(s.url, focus->path)) continue;
                const QString caption = pathToQString(s.url.parent_path().filename()) + QStringLiteral("/ · ") +
                                        percent(double(s.size), t) + QStringLiteral(" · ") +
                                        files(s.files);
                return {pathToQString(s.url.filename()), s.size, caption, QStringLiteral("folder")};
            }
    } else if (focus) {
        int64_t count = 0, sum = 0;
        for (const auto& e : entries)
            if (OrbitLayout::isSized(e.size) && double(*e.size) / t < OrbitLayout::minimumShare) {
                ++count;
                sum += *e.size;
            }
        return {counted("%n small items", count), sum, percent(double(sum), t), QStringLiteral("square.grid.3x3")};
    }
    if (!shown.size)
        return {PathText::folderName(shown.folder), std::nullopt,
                QCoreApplication::translate("CenterReadout", "Quelto can't read it"), QStringLiteral("internaldrive")};
    return {PathText::folderName(shown.folder), shown.size,
            counted("%n items", qlonglong(entries.size())) + QStringLiteral(" · ") + files(shown.files.value_or(0)),
            QStringLiteral("internaldrive")};
}

// Lays the four lines out in the readout's square.
void paint(QPainter& painter, const QRectF& square, const Detail& detail);
}  // namespace CenterReadout
