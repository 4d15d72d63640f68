#include "core/number_parse.h"

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <type_traits>

namespace {

// Whether `parse` reads `token` as the C library does (strtol base 10, strtof, strtod): failing,
// and leaving the value alone, when nothing converts, when an int leaves the 32-bit range and
// when a real value is not finite; otherwise giving the same bits.
template <class T>
bool readsLikeTheCLibrary(const std::string &token, bool (*parse)(std::string_view, T &)) {
    const char *text = token.c_str();
    char *end = nullptr;
    errno = 0;
    const double value = std::is_same_v<T, int>     ? std::strtol(text, &end, 10)
                         : std::is_same_v<T, float> ? std::strtof(text, &end)
                                                    : std::strtod(text, &end);
    const bool ok =
        end != text &&
        (std::is_same_v<T, int> ? errno != ERANGE && value >= INT32_MIN && value <= INT32_MAX
                                : std::isfinite(value));
    T actual = T(7), expected = ok ? static_cast<T>(value) : T(7);
    return parse(token, actual) == ok && std::memcmp(&actual, &expected, sizeof(T)) == 0;
}

// A million tokens from the pieces real and hostile files are made of: signs and leading white
// space; long digit strings; exponents up to overflow and underflow; hexadecimal; infinities and
// NaNs, whole and cut short; the ends of the int range; the midpoints between adjacent floats,
// printed with many digits; then what may end a number.
TEST(number_parse, RandomTokensReadLikeTheCLibrary) {
    std::mt19937_64 random(20261206);
    const auto upTo = [&](int n) { return static_cast<int>(random() % (n + 1u)); };
    const auto digits = [&](int count, const char *alphabet = "0123456789") {
        std::string text;
        while (count-- > 0) text += alphabet[random() % std::strlen(alphabet)];
        return text;
    };
    const auto pick = [&](std::initializer_list<const char *> choices) {
        return std::string(choices.begin()[random() % choices.size()]);
    };
    for (int i = 0; i < 150000; ++i) {
        char midpoint[128];  // between a float and the next one up
        const float below = std::bit_cast<float>(static_cast<std::uint32_t>(random() % 0x7F7FFFFF));
        std::snprintf(midpoint, sizeof midpoint, "%.*g", upTo(1) ? 60 : 6 + upTo(12),
                      (double{below} + std::nextafter(below, INFINITY)) / 2);
        for (const std::string &body :
             {digits(upTo(40)) + "." + digits(upTo(40)),
              digits(upTo(9)) + "." + digits(upTo(9)) + pick({"e", "E-", "e+"}) +
                  std::to_string(upTo(420)),
              pick({"0x", "0X"}) + digits(upTo(8), "0123456789abcdefABCDEF") +
                  pick({"", ".8", "p-", "P+"}) + std::to_string(upTo(150)),
              pick({"inf", "INF", "infinity", "Infinity", "nan", "NaN", "nan(0x1f)", "nan(", "in",
                    "na", ""}),
              std::to_string(std::int64_t{INT32_MAX} + upTo(4) - 2), std::string(midpoint),
              digits(upTo(8)) + "." + digits(upTo(9))}) {
            const std::string token =
                pick({"", "", "-", "+", " ", "\v+", "\f-", "\t", "+-", "--"}) + body +
                pick({"", "", ")", "x", "e", "E+", ".", ".5"});
            ASSERT_TRUE(readsLikeTheCLibrary(token, tarvex::parse_int) &&
                        readsLikeTheCLibrary(token, tarvex::parse_float) &&
                        readsLikeTheCLibrary(token, tarvex::parse_double))
                << '"' << token << '"';
        }
    }
}

}  // namespace
