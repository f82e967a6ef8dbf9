#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Models/Analyze/AnalyzeFocus.h"
#include "Models/Kit/Rgba.h"

// Where the arcs of the analyzer's orbit chart lie, and the colours they share
// with the rows of the detail table. Angles are fractions of a full turn, 0 at the
// top, growing clockwise.
//
// Entries are listed children with a `url` and an optional `size`; sub-slices have
// a `url` and a `size`; the sub-slice map is keyed by the entry's path.
namespace OrbitLayout {

// Below this share of the folder an entry has no arc (it joins "other"), and its
// row no colour.
inline constexpr double minimumShare = 0.004;
// Below this share of the folder a sub-slice draws nothing, but keeps its room.
inline constexpr double minimumSliceShare = 0.002;

// The eight arc colours, picked by an entry's position among the sized entries.
const std::array<Rgba, 8>& palette();
const Rgba& paletteColor(int position);  // position modulo 8
// The "other" segment's grey.
inline constexpr Rgba otherColor{0.55, 0.55, 0.55, 1};
inline const std::string otherId = "other";

struct Segment {
    std::string id;  // the path, or "other"
    double start = 0;
    double end = 0;
    Rgba color;
    AnalyzeFocus focus;
    bool operator==(const Segment&) const = default;
};

struct Layout {
    std::vector<Segment> inner;
    std::vector<Segment> outer;
    bool operator==(const Layout&) const = default;
};

// An entry takes part in the colour numbering, and in the rings, only with a
// size of at least one byte.
inline bool isSized(const std::optional<int64_t>& size) { return size && *size > 0; }

// Each entry's place in the colour numbering, aligned with `entries`: the sized
// entries count 0, 1, 2… in list order; the others have none.
template <class Entries>
std::vector<std::optional<int>> colourNumbers(const Entries& entries) {
    std::vector<std::optional<int>> out;
    out.reserve(entries.size());
    int next = 0;
    for (const auto& e : entries) out.push_back(isSized(e.size) ? std::optional<int>(next++) : std::nullopt);
    return out;
}

template <class Entries, class SubSlices>
Layout layout(const Entries& entries, const SubSlices& subSlices) {
    Layout out;
    int64_t total = 0;
    for (const auto& e : entries)
        if (isSized(e.size)) total += *e.size;
    if (total <= 0) return out;
    double cursor = 0, small = 0;
    int position = 0;
    for (const auto& e : entries) {
        if (!isSized(e.size)) continue;
        const int i = position++;
        const double f = double(*e.size) / double(total);
        if (f < minimumShare) {
            small += f;
            continue;
        }
        const Rgba& color = paletteColor(i);
        std::string path(e.url);
        if (auto it = subSlices.find(typename SubSlices::key_type(e.url)); it != subSlices.end()) {
            double s = cursor;
            for (const auto& slice : it->second) {
                const double g = double(slice.size) / double(total);
                if (g >= minimumSliceShare) {
                    std::string slicePath(slice.url);
                    out.outer.push_back({slicePath, s, s + g, color, AnalyzeFocus::slice(slicePath)});
                }
                s += g;
            }
        }
        out.inner.push_back({path, cursor, cursor + f, color, AnalyzeFocus::entry(path)});
        cursor += f;
    }
    if (small > 0) out.inner.push_back({otherId, cursor, cursor + small, otherColor, AnalyzeFocus::other()});
    return out;
}

}  // namespace OrbitLayout
