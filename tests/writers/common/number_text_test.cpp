#include "writers/common/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace tarvex::writers {
namespace {

std::string text(float value, std::uint64_t &nonFinite) {
    char buffer[kMaxFloatChars];
    return std::string(buffer, format_float(buffer, value, nonFinite));
}

// Zero without its sign; no nan or infinity, each counted.
TEST(number_text, WritesZeroUnsignedAndNeverNanOrInfinity) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    const struct {
        float value;
        const char *expected;
        std::uint64_t counted;
    } cases[] = {
        {0.0f, "0", 0}, {-0.0f, "0", 0}, {std::nanf(""), "0", 1}, {-inf, "0", 1}, {inf, "0", 1},
    };
    for (const auto &c : cases) {
        std::uint64_t nonFinite = 0;
        EXPECT_EQ(text(c.value, nonFinite), c.expected) << c.value;
        EXPECT_EQ(nonFinite, c.counted) << c.value;
    }
}

// std::to_chars is the reference for the digits and their layout; its shortest text reads back
// to the same bits. The ends of the range and short decimals first, then floats at random.
TEST(number_text, EveryFiniteFloatReadsBackToTheSameBits) {
    using limits = std::numeric_limits<float>;
    const float first[] = {
        1, -2.5f, 0.1f, 0.8f, 1e10f, -limits::min(), limits::denorm_min(), limits::max()};
    std::mt19937 random(12345);
    std::uint64_t nonFinite = 0;
    for (int i = 0; i < 400000; ++i) {
        const float value = i < int(std::size(first))
                                ? first[i]
                                : std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        if (!std::isfinite(value) || value == 0) continue;
        const std::string written = text(value, nonFinite);
        ASSERT_LE(written.size(), kMaxFloatChars);
        char expected[kMaxFloatChars];
        ASSERT_EQ(written,
                  std::string(expected, std::to_chars(expected, std::end(expected), value).ptr));
    }
    EXPECT_EQ(nonFinite, 0u);
}

}  // namespace
}  // namespace tarvex::writers
