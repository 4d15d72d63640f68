#include "core/number_format.h"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "core/bit_cast.h"

namespace tarvex {
namespace {

constexpr std::uint32_t kMillion = 1'000'000;

// With a larger exponent, the 24-bit significand shifted into place no longer fits 64 bits.
constexpr int kMaxWholeExponent = 40;
// With a smaller exponent, significand * 10^6 (below 2^44) * 2^exponent is below one half: the
// value rounds to zero.
constexpr int kMinExponent = -45;

constexpr std::array<char, 200> makeDigitPairs() {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}
constexpr std::array<char, 200> kDigitPairs = makeDigitPairs();

char *writeTwoDigits(char *out, std::uint32_t value) {
    std::memcpy(out, &kDigitPairs[2 * value], 2);
    return out + 2;
}

char *writeUnsigned(char *out, std::uint64_t value) {
    return std::to_chars(out, out + kMaxFixedFloatChars, value).ptr;
}

// Most coordinates have one or two integer digits; they skip std::to_chars' length search.
char *writeSmallUnsigned(char *out, std::uint32_t value) {
    if (value < 10) {
        *out = static_cast<char>('0' + value);
        return out + 1;
    }
    if (value < 100) return writeTwoDigits(out, value);
    return std::to_chars(out, out + kMaxFixedFloatChars, value).ptr;
}

// `millionths` as integer part, point and six decimals.
char *writeMillionths(char *out, std::uint64_t millionths) {
    const auto whole = static_cast<std::uint32_t>(millionths / kMillion);  // below 2^24
    const auto fraction = static_cast<std::uint32_t>(millionths - std::uint64_t{whole} * kMillion);
    out = writeSmallUnsigned(out, whole);
    *out++ = '.';
    out = writeTwoDigits(out, fraction / 10'000);
    out = writeTwoDigits(out, fraction / 100 % 100);
    return writeTwoDigits(out, fraction % 100);
}

char *writeWhole(char *out, std::uint64_t value) {
    out = writeUnsigned(out, value);
    std::memcpy(out, ".000000", 7);
    return out + 7;
}

// significand * 2^-shift * 10^6 rounded to the nearest integer, ties to even, for
// 0 < shift <= -kMinExponent.
std::uint64_t roundedMillionths(std::uint64_t significand, int shift) {
    const std::uint64_t scaled = significand * kMillion;  // below 2^44
    const std::uint64_t whole = scaled >> shift;
    const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    return whole + (rest > half || (rest == half && (whole & 1) != 0) ? 1 : 0);
}

}  // namespace

// A float is an integer significand (24 bits at most) times a power of two, so its "%f" text
// follows from integer arithmetic; only values of 2^64 and more, infinities and NaNs take the
// general, slower formatting of fmt.
char *format_fixed6(char *out, float value) {
    const auto bits = bit_cast<std::uint32_t>(value);
    const auto biasedExponent = static_cast<int>(bits >> 23 & 0xFF);
    std::uint64_t significand = bits & 0x7FFFFF;
    int exponent = -149;  // value = significand * 2^exponent
    if (biasedExponent != 0) {
        significand |= std::uint64_t{1} << 23;
        exponent = biasedExponent - 150;
    }
    if (exponent > kMaxWholeExponent) {
        return fmt::format_to_n(out, kMaxFixedFloatChars, "{:.6f}", static_cast<double>(value)).out;
    }
    if ((bits >> 31) != 0) *out++ = '-';
    if (exponent >= 0) return writeWhole(out, significand << exponent);
    if (exponent < kMinExponent) return writeMillionths(out, 0);
    return writeMillionths(out, roundedMillionths(significand, -exponent));
}

}  // namespace tarvex
