#include "core/number_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace {

template <class T>
std::string printed(const char *format, T value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A million floats against printf: every exponent at random; then the places where the integer
// arithmetic changes: around 2^64, where the text leaves the fast path, and around 2^-21, below
// which every value rounds to zero; the exact ties, odd multiples of 2^-7 (0.0078125 rounds to
// 0.007812); negative zero, subnormals and the largest floats. "%d" rides along on the bits.
TEST(number_format, FixedAndIntMatchPrintf) {
    const float special[] = {-0.0f, 0.0078125f, -0.0234375f, FLT_MAX, -FLT_MAX, FLT_TRUE_MIN};
    std::mt19937 random(7);
    for (std::uint32_t i = 0; i < 1000000; ++i) {
        const std::uint32_t bits = random();
        const std::uint32_t exponents[] = {bits >> 23 & 0xFF, 100 + i % 60, 0, 254,
                                           190 + i % 2,       104 + i % 3};
        float value = std::bit_cast<float>((bits & 0x807FFFFF) | exponents[i % 6] << 23);
        if (i % 7 == 6)
            value = static_cast<float>(bits % (1 << 23) | 1) / (bits >> 31 ? -128 : 128);
        if (i < std::size(special)) value = special[i];
        char text[tarvex::kMaxFixedFloatChars];
        if (std::isfinite(value)) {
            ASSERT_EQ(std::string(text, tarvex::format_fixed6(text, value)),
                      printed("%f", static_cast<double>(value)))
                << std::hexfloat << value;
        }
        ASSERT_EQ(std::string(text, tarvex::format_int(text, static_cast<int>(bits))),
                  printed("%d", static_cast<int>(bits)));
    }
}

}  // namespace
