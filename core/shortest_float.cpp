#include "core/shortest_float.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>

namespace tarvex {
namespace {

int digitCount(std::uint32_t value) {
    int count = 1;
    while (value >= 10) {
        value /= 10;
        ++count;
    }
    return count;
}

std::uint32_t pow10(int n) {
    std::uint32_t power = 1;
    while (n-- > 0) power *= 10;
    return power;
}

// Writes the last `count` decimal digits of `value`.
char *writeDigits(char *out, std::uint32_t value, int count) {
    for (int i = count; i-- > 0; value /= 10) out[i] = static_cast<char>('0' + value % 10);
    return out + count;
}

}  // namespace

char *format_shortest(char *out, float value) {
    if (std::signbit(value)) {
        *out++ = '-';
        value = -value;
    }
    if (value == 0) {
        *out = '0';
        return out + 1;
    }
    // Dragonbox's digits are the shortest that read back, the nearest to the value among them.
    const auto decimal = fmt::detail::dragonbox::to_decimal(value);
    const std::uint32_t digits = decimal.significand;
    const int count = digitCount(digits);
    const int exponent = decimal.exponent;  // value = digits * 10^exponent
    const int scientificExponent = exponent + count - 1;
    const int scientificLength = count + (count > 1 ? 1 : 0) + 2 +
                                 (scientificExponent <= -100 || scientificExponent >= 100 ? 3 : 2);
    const int fixedLength = exponent >= 0       ? count + exponent
                            : -exponent < count ? count + 1
                                                : 2 - exponent;
    if (fixedLength > scientificLength) {
        *out++ = static_cast<char>('0' + digits / pow10(count - 1));
        if (count > 1) {
            *out++ = '.';
            out = writeDigits(out, digits, count - 1);
        }
        *out++ = 'e';
        *out++ = scientificExponent < 0 ? '-' : '+';
        const int magnitude = scientificExponent < 0 ? -scientificExponent : scientificExponent;
        return writeDigits(out, static_cast<std::uint32_t>(magnitude), magnitude >= 100 ? 3 : 2);
    }
    if (exponent >= 0) {  // a whole number below 10^14: written exactly, as std::to_chars does
        auto whole = static_cast<std::uint64_t>(value);
        char text[20];
        char *end = text + sizeof text, *first = end;
        do {
            *--first = static_cast<char>('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        while (first != end) *out++ = *first++;
        return out;
    }
    const int whole = count + exponent;  // digits before the point
    if (whole > 0) {
        out = writeDigits(out, digits / pow10(-exponent), whole);
        *out++ = '.';
        return writeDigits(out, digits, -exponent);
    }
    *out++ = '0';
    *out++ = '.';
    for (int i = 0; i < -whole; ++i) *out++ = '0';
    return writeDigits(out, digits, count);
}

}  // namespace tarvex
