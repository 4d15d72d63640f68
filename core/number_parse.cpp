#include "core/number_parse.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>
#include <type_traits>

#include "core/bit_cast.h"

namespace tarvex {
namespace {

bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isHexPrefix(const char *p, const char *last) {
    return last - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
}

int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    return (c | 0x20) - 'a' + 10;
}

// The hexadecimal number whose digits begin [p, last), with its optional point and binary
// exponent, rounded once to the nearest Real (ties to even), as strtod rounds it; infinite when
// too large.
template <class Real>
Real readHexadecimal(const char *p, const char *last) {
    constexpr int kPrecision = std::numeric_limits<Real>::digits;
    constexpr int kMinExponent = std::numeric_limits<Real>::min_exponent - 1;  // of the top bit
    constexpr std::int64_t kCap = std::int64_t{1} << 40;
    std::uint64_t bits = 0;  // the first 16 significant digits
    bool sticky = false;     // whether a digit after them is not zero
    std::int64_t exponent = 0;
    bool inFraction = false;
    for (; p != last; ++p) {
        if (*p == '.' && !inFraction) {
            inFraction = true;
            continue;
        }
        if (!isHexDigit(*p)) break;
        if (bits >> 60 == 0) {
            bits = bits << 4 | static_cast<unsigned>(hexValue(*p));
            if (inFraction) exponent = std::max(exponent - 4, -kCap);
        } else {
            sticky |= *p != '0';
            if (!inFraction) exponent = std::min(exponent + 4, kCap);
        }
    }
    if (p != last && (*p == 'p' || *p == 'P')) {
        const char *q = p + 1;
        const bool negative = q != last && *q == '-';
        if (q != last && (*q == '+' || *q == '-')) ++q;
        std::int64_t power = 0;
        for (; q != last && isDigit(*q); ++q) power = std::min(power * 10 + (*q - '0'), kCap);
        exponent += negative ? -power : power;
    }
    if (bits == 0) return 0;
    const int leadingZeros = std::countl_zero(bits);
    bits <<= leadingZeros;  // value = bits * 2^exponent, bits' top bit set
    exponent -= leadingZeros;
    const std::int64_t top = exponent + 63;
    if (top > std::numeric_limits<Real>::max_exponent) return std::numeric_limits<Real>::infinity();
    // Below the normal range fewer bits are kept; none at all lie below half the least value.
    const std::int64_t kept = top >= kMinExponent ? kPrecision : kPrecision - (kMinExponent - top);
    if (kept < 0) return 0;
    const int dropped = static_cast<int>(64 - kept);
    std::uint64_t significand = dropped == 64 ? 0 : bits >> dropped;
    const std::uint64_t rest = dropped == 64 ? bits : bits & ((std::uint64_t{1} << dropped) - 1);
    const std::uint64_t half = std::uint64_t{1} << (dropped - 1);
    if (rest > half || (rest == half && (sticky || (significand & 1) != 0))) ++significand;
    return std::ldexp(static_cast<Real>(significand), static_cast<int>(exponent + dropped));
}

// The forms the fast paths leave to this: leading white space, a '+', and hexadecimal. Read as
// strtof/strtod read them in the "C" locale, without the C library, whose locale-pinned
// variants not every platform has.
template <class Real>
bool parseRareForm(std::string_view token, Real &out) {
    const char *p = token.data();
    const char *last = p + token.size();
    while (p != last && isCSpace(*p)) ++p;
    const bool negative = p != last && *p == '-';
    if (p != last && (*p == '+' || *p == '-')) ++p;
    if (p == last || *p == '+' || *p == '-') return false;
    Real value{};
    if (isHexPrefix(p, last)) {
        p += 2;
        const bool hexDigitsFollow =
            p != last && (isHexDigit(*p) || (*p == '.' && p + 1 != last && isHexDigit(p[1])));
        if (!hexDigitsFollow) {  // only the "0" before the x is a number
            out = negative ? -Real{0} : Real{0};
            return true;
        }
        value = readHexadecimal<Real>(p, last);
    } else if (fast_float::from_chars(p, last, value).ec != std::errc{}) {
        return false;
    }
    if (!std::isfinite(value)) return false;
    out = negative ? -value : value;
    return true;
}

// A decimal number without an exponent: `digits` / 10^`decimals`, negated when `negative`.
struct PlainDecimal {
    std::uint64_t digits = 0;
    int decimals = 0;
    bool negative = false;
};

// With at most 15 digits (below 2^53) and 22 decimals, both operands of digits / 10^decimals are
// exact doubles, so the one division is correctly rounded, as strtod is.
constexpr std::ptrdiff_t kMaxExactDigits = 15;
constexpr std::array<double, 16> kExactPowersOfTen = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Appends the digits that begin [p, last) to `digits` (which wraps around when they are too
// many) and returns their end.
const char *readDigits(const char *p, const char *last, std::uint64_t &digits) {
    std::uint64_t value = digits;  // a local: through the reference each digit waited on memory
    for (; p != last && isDigit(*p); ++p) value = value * 10 + static_cast<unsigned>(*p - '0');
    digits = value;
    return p;
}

// Reads the number of the form -?digits(.digits)? that begins [first, last), the form nearly
// every file uses; false for any other start, or when the digits are too many for
// exactDouble() or an exponent may follow.
bool readPlainDecimal(const char *first, const char *last, PlainDecimal &number) {
    const char *p = first;
    number.negative = p != last && *p == '-';
    if (number.negative) ++p;
    const char *integerStart = p;
    p = readDigits(p, last, number.digits);
    std::ptrdiff_t digitCount = p - integerStart;
    if (p != last && *p == '.') {
        const char *fractionStart = ++p;
        p = readDigits(p, last, number.digits);
        number.decimals = static_cast<int>(p - fractionStart);
        digitCount += number.decimals;
    }
    const bool exponentMayFollow = p != last && (*p == 'e' || *p == 'E');
    return digitCount > 0 && digitCount <= kMaxExactDigits && !exponentMayFollow;
}

double exactDouble(const PlainDecimal &number) {
    const double magnitude =
        static_cast<double>(number.digits) / kExactPowersOfTen[number.decimals];
    return number.negative ? -magnitude : magnitude;
}

// Rounding the correctly rounded double to float again gives the correctly rounded float
// unless the double lies exactly halfway between two floats. Only normal floats come here.
bool isHalfwayBetweenFloats(double value) {
    constexpr std::uint64_t lowBits = (std::uint64_t{1} << 29) - 1;  // the bits float drops
    return (bit_cast<std::uint64_t>(value) & lowBits) == std::uint64_t{1} << 28;
}

// The plain decimal form takes the fast path. fast_float takes neither leading white space, a
// '+', nor the hexadecimal form; those few cases go to parseRareForm.
template <class Real>
bool parseReal(std::string_view token, Real &out) {
    const char *first = token.data();
    const char *last = first + token.size();
    if (first == last) return false;
    if (isCSpace(*first) || *first == '+') return parseRareForm(token, out);
    if (isHexPrefix(*first == '-' ? first + 1 : first, last)) {
        return parseRareForm(token, out);
    }
    PlainDecimal plain;
    if (readPlainDecimal(first, last, plain)) {
        const double value = exactDouble(plain);
        if (std::is_same_v<Real, double> || !isHalfwayBetweenFloats(value)) {
            out = static_cast<Real>(value);
            return true;
        }
    }
    // fast_float, correctly rounded like strtod, gives infinity for a value too large and zero
    // for one too small.
    Real value;
    if (fast_float::from_chars(first, last, value).ec != std::errc{} || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

}  // namespace

bool plain_decimal_to_float(std::uint64_t digits, int decimals, bool negative, float &out) {
    const double value = exactDouble(PlainDecimal{digits, decimals, negative});
    if (isHalfwayBetweenFloats(value)) return false;
    out = static_cast<float>(value);
    return true;
}

bool parse_int(std::string_view token, int &out) {
    std::size_t i = 0;
    const std::size_t n = token.size();
    while (i < n && isCSpace(token[i])) ++i;
    bool negative = false;
    if (i < n && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    if (i == n || !isDigit(token[i])) return false;
    constexpr std::int64_t limit = std::int64_t{1} << 31;  // magnitude of INT_MIN
    std::int64_t magnitude = 0;
    for (; i < n && isDigit(token[i]); ++i) {
        magnitude = magnitude * 10 + (token[i] - '0');
        if (magnitude > limit) return false;
    }
    if (!negative && magnitude == limit) return false;
    out = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

bool parse_float(std::string_view token, float &out) {
    return parseReal(token, out);
}
bool parse_double(std::string_view token, double &out) {
    return parseReal(token, out);
}

}  // namespace tarvex
