#include "core/number_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

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

float fromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Every exponent, then the places where the integer arithmetic changes: around 2^64, where the
// text leaves the fast path; around 2^-21, below which every value rounds to zero; the exact
// ties, odd multiples of 2^-7, whose seventh decimal is a 5 followed by nothing.
TEST(number_format, FixedMatchesPrintfOnMillionsOfFloats) {
    std::mt19937 random(7);
    const auto withExponent = [&](int biased) {
        return fromBits((random() & 0x807FFFFFu) | static_cast<std::uint32_t>(biased) << 23);
    };
    std::vector<float> values;
    for (int i = 0; i < 600000; ++i) values.push_back(fromBits(random()));
    for (int i = 0; i < 600000; ++i) values.push_back(withExponent(100 + i % 60));  // 1e-7..1e10
    for (int i = 0; i < 100000; ++i) {
        values.push_back(withExponent(0));                 // subnormals
        values.push_back(withExponent(254));               // the largest floats
        values.push_back(withExponent(150 + 40 + i % 2));  // 2^63..2^65
        values.push_back(withExponent(127 - 22 + i % 3 - 1));  // 2^-23..2^-20
        const auto odd = static_cast<float>(2 * (random() % (1u << 22)) + 1);
        values.push_back((i % 2 ? odd : -odd) / 128);
    }
    for (const float value : values) {
        if (!std::isfinite(value)) continue;
        ASSERT_EQ(formatted(value), printfFixed(value)) << std::hexfloat << value;
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
