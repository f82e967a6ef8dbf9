#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "Sensors/Fans/SmcRecord.h"

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct EncodeCase {
    const char* name;
    const char* type;
    uint32_t size;
    double number;
    std::vector<uint8_t> bytes;  // empty: refused
};

class SmcEncode : public testing::TestWithParam<EncodeCase> {};

TEST_P(SmcEncode, Bytes) {
    const auto& c = GetParam();
    const auto got = Smc::encode(c.type, c.size, c.number);
    if (c.bytes.empty()) {
        EXPECT_FALSE(got.has_value());
    } else {
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(*got, c.bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmcEncode,
    testing::Values(EncodeCase{"fpe2RoundsQuarters", "fpe2", 2, 1000.6, {0x0F, 0xA2}},
                    EncodeCase{"fpe2Exact", "fpe2", 2, 1000.0, {0x0F, 0xA0}},
                    EncodeCase{"ui16BelowZero", "ui16", 2, -5, {0, 0}},
                    EncodeCase{"ui16Clamped", "ui16", 2, 70000, {0xFF, 0xFF}},
                    EncodeCase{"ui16HalfAway", "ui16", 2, 2.5, {0, 3}},
                    EncodeCase{"ui8Clamped", "ui8 ", 1, 300.9, {255}},
                    EncodeCase{"ui8Truncated", "ui8 ", 1, 12.9, {12}},
                    EncodeCase{"ui8WiderKeyZeroFilled", "ui8 ", 3, 1, {1, 0, 0}},
                    EncodeCase{"fltNative", "flt ", 4, 1.0, {0x00, 0x00, 0x80, 0x3F}},
                    EncodeCase{"ui16NaN", "ui16", 2, kNaN, {}}, EncodeCase{"ui8Inf", "ui8 ", 1, kInf, {}},
                    EncodeCase{"fpe2MinusInf", "fpe2", 2, -kInf, {}}, EncodeCase{"fltNaN", "flt ", 4, kNaN, {}},
                    EncodeCase{"fltBeyondFloat", "flt ", 4, 1e300, {}},
                    EncodeCase{"ui16InOneByte", "ui16", 1, 1000, {}}, EncodeCase{"fpe2InOneByte", "fpe2", 1, 1000, {}},
                    EncodeCase{"fltInTwoBytes", "flt ", 2, 1, {}}, EncodeCase{"otherType", "sp78", 2, 1, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SmcDecode, ByTypeAndSize) {
    const uint8_t fpe2[] = {0x0F, 0xA3};
    EXPECT_EQ(Smc::decode("fpe2", fpe2, 2), 1000.0);
    EXPECT_EQ(Smc::decode("ui16", fpe2, 2), 4003.0);
    EXPECT_EQ(Smc::decode("ui8 ", fpe2, 2), 15.0);
    EXPECT_FALSE(Smc::decode("ui16", fpe2, 1)) << "a key too small for its type reads as absent";
    EXPECT_FALSE(Smc::decode("sp78", fpe2, 2));
    for (float f : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        uint8_t b[4];
        std::memcpy(b, &f, 4);
        EXPECT_FALSE(Smc::decode("flt ", b, 4)) << f;
    }
}

TEST(SmcCodes, FoldAndText) {
    EXPECT_EQ(Smc::code("FNum"), 0x464E756Du);
    EXPECT_EQ(Smc::text(Smc::code("ui8 ")), "ui8 ");
    EXPECT_FALSE(Smc::text(0x00FF4142u));
}
}  // namespace
