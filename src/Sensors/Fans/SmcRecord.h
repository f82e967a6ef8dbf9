#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The controller's 80-byte parameter record, byte for byte, and the four-character
// codes it carries. Multi-byte integers are in the machine's own byte order.
struct SmcRecord {
    uint32_t key = 0;
    uint8_t version[6] = {};
    uint8_t padding1[2] = {};
    uint8_t powerLimit[16] = {};
    uint32_t dataSize = 0;
    uint32_t dataType = 0;
    uint8_t dataAttributes = 0;
    uint8_t padding2[3] = {};
    uint8_t result = 0;
    uint8_t status = 0;
    uint8_t command = 0;
    uint8_t padding3 = 0;
    uint32_t data32 = 0;
    uint8_t bytes[32] = {};

    static constexpr uint8_t kKeyInfo = 9;
    static constexpr uint8_t kReadBytes = 5;
    static constexpr uint8_t kWriteBytes = 6;
};
static_assert(sizeof(SmcRecord) == 80);
static_assert(offsetof(SmcRecord, dataSize) == 28 && offsetof(SmcRecord, dataType) == 32);
static_assert(offsetof(SmcRecord, result) == 40 && offsetof(SmcRecord, command) == 42);
static_assert(offsetof(SmcRecord, data32) == 44 && offsetof(SmcRecord, bytes) == 48);

namespace Smc {
// A key or type name folded into a word, first character most significant.
constexpr uint32_t code(std::string_view name) {
    uint32_t c = 0;
    for (char ch : name) c = (c << 8) | static_cast<uint8_t>(ch);
    return c;
}
// The four characters of a word, first character first; nothing when one is not printable ASCII.
std::optional<std::string> text(uint32_t code);

// The value bytes of a key as a number, by its type text; nothing for another type,
// for fewer bytes than the type needs, or for a value that is not finite.
std::optional<double> decode(std::string_view type, const uint8_t* bytes, uint32_t size);
// The value bytes that carry `number` in a key of this type and size (the rest zero);
// nothing for another type, a size too small for it, or a number that is not finite
// or does not fit a 32-bit float.
std::optional<std::vector<uint8_t>> encode(std::string_view type, uint32_t size, double number);
}  // namespace Smc
