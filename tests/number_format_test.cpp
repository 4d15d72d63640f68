#include "core/number_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace tarvex {
namespace {

std::string formatted(float value) {
    char text[kMaxFixedFloatChars];
    return std::string(text, format_fixed6(text, value));
}

std::string printfFixed(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    return text;
}

TEST(number_format, FixedMatchesPrintfOnTiesSignsAndExtremes) {
    const float values[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 0.0078125f, 0.0234375f, 2.5e-7f,
                            1.5e-6f, 0.8f, 1e-7f, 123456.789f, 16777216.0f, FLT_MAX, -FLT_MAX,
                            FLT_MIN, FLT_TRUE_MIN, 0.9999995f, 9.9999995f};
    for (const float value : values) EXPECT_EQ(formatted(value), printfFixed(value)) << value;
    EXPECT_EQ(formatted(0.0078125f), "0.007812");  // a tie rounds to even
    EXPECT_EQ(formatted(-0.0f), "-0.000000");
}

TEST(number_format, FixedMatchesPrintfOnRandomFloats) {
    std::mt19937 random(7);
    for (int i = 0; i < 200000; ++i) {
        std::uint32_t bits = random();
        if (i % 2) bits = (bits & 0x807FFFFFu) | ((100u + bits % 60u) << 23);  // near 1e-7..1e10
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        ASSERT_EQ(formatted(value), printfFixed(value)) << bits;
    }
}

TEST(number_format, IntMatchesPrintf) {
    for (const int value : {0, -1, 7, 2147483647, INT32_MIN}) {
        char text[kMaxIntChars];
        char expected[32];
        std::snprintf(expected, sizeof expected, "%d", value);
        EXPECT_EQ(std::string(text, format_int(text, value)), expected);
    }
}

}  // namespace
}  // namespace tarvex
