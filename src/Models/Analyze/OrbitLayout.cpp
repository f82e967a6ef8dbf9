#include "Models/Analyze/OrbitLayout.h"

const std::array<Rgba, 8>& OrbitLayout::palette() {
    static constexpr std::array<Rgba, 8> colors{{
        {0.62, 0.76, 1.00, 1},
        {1.00, 0.93, 0.82, 1},
        {1.00, 0.78, 0.38, 1},
        {1.00, 0.58, 0.26, 1},
        {1.00, 0.40, 0.34, 1},
        {0.95, 0.38, 0.58, 1},
        {0.80, 0.38, 0.80, 1},
        {0.58, 0.44, 0.98, 1},
    }};
    return colors;
}

const Rgba& OrbitLayout::paletteColor(int position) {
    const int n = int(palette().size());
    return palette()[size_t(((position % n) + n) % n)];
}
