#pragma once

// A colour as plain sRGB components in 0...1; the views turn it into a QColor.
struct Rgba {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    constexpr bool operator==(const Rgba&) const = default;
};
