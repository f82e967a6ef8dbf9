#include "Sensors/Fans/SmcRecord.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace Smc {
namespace {
// Bytes each understood type needs; 0 for any other type.
uint32_t width(std::string_view type) {
    if (type == "flt ") return 4;
    if (type == "fpe2" || type == "ui16") return 2;
    if (type == "ui8 ") return 1;
    return 0;
}

// Rounds half away from zero and clamps to 0...limit; the number is finite.
uint32_t clampedRound(double number, double limit) {
    const double r = std::round(number);
    return static_cast<uint32_t>(r < 0 ? 0 : r > limit ? limit : r);
}
}  // namespace

std::optional<std::string> text(uint32_t code) {
    std::string out(4, ' ');
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(code >> (24 - 8 * i));
        if (c < 0x20 || c > 0x7E) return std::nullopt;
        out[static_cast<size_t>(i)] = static_cast<char>(c);
    }
    return out;
}

std::optional<double> decode(std::string_view type, const uint8_t* bytes, uint32_t size) {
    const uint32_t need = width(type);
    if (need == 0 || size < need) return std::nullopt;
    if (type == "flt ") {
        float f;
        std::memcpy(&f, bytes, sizeof f);
        if (!std::isfinite(f)) return std::nullopt;
        return static_cast<double>(f);
    }
    const uint32_t word = (static_cast<uint32_t>(bytes[0]) << 8) | (need > 1 ? bytes[1] : 0);
    if (type == "ui8 ") return static_cast<double>(bytes[0]);
    if (type == "fpe2") return static_cast<double>(word >> 2);
    return static_cast<double>(word);
}

std::optional<std::vector<uint8_t>> encode(std::string_view type, uint32_t size, double number) {
    const uint32_t need = width(type);
    if (need == 0 || size < need || size > 32 || !std::isfinite(number)) return std::nullopt;
    std::vector<uint8_t> out(size, 0);
    if (type == "flt ") {
        if (std::fabs(number) > FLT_MAX) return std::nullopt;
        const float f = static_cast<float>(number);
        std::memcpy(out.data(), &f, sizeof f);
    } else if (type == "ui8 ") {
        const double t = std::trunc(number);
        out[0] = static_cast<uint8_t>(t < 0 ? 0 : t > 255 ? 255 : t);
    } else {
        const uint32_t word = clampedRound(type == "fpe2" ? number * 4 : number, 65535);
        out[0] = static_cast<uint8_t>(word >> 8);
        out[1] = static_cast<uint8_t>(word);
    }
    return out;
}
}  // namespace Smc
