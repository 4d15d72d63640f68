#include "core/number_parse.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <type_traits>

namespace tarvex {
namespace {

TEST(number_parse, IntReadsLikeStrtolWithin32Bits) {
    struct Case {
        const char *token;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {"12abc", true, 12},      {"1.9", true, 1},           {"-1.0", true, -1},
        {"+5", true, 5},          {"\v\f-7", true, -7},       {"007", true, 7},
        {"2147483647", true, 2147483647},                     {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0}, {"-2147483649", false, 0},  {"99999999999999999999", false, 0},
        {"0x10", true, 0},        {"x", false, 0},            {"-", false, 0},
        {"+-1", false, 0},        {"", false, 0},             {"(", false, 0},
    };
    for (const Case &c : cases) {
        int value = 12345;
        EXPECT_EQ(parse_int(c.token, value), c.ok) << c.token;
        EXPECT_EQ(value, c.ok ? c.value : 12345) << c.token;
    }
}

// The reference: strtof/strtod, failing when nothing converts or the value is not finite.
template <class Real>
bool referenceParse(const std::string &token, Real &value) {
    char *end = nullptr;
    if constexpr (std::is_same_v<Real, float>) {
        value = std::strtof(token.c_str(), &end);
    } else {
        value = std::strtod(token.c_str(), &end);
    }
    return end != token.c_str() && std::isfinite(value);
}

template <class Real>
void expectSameAsCLibrary(const std::string &token) {
    Real expected{}, actual{};
    const bool expectedOk = referenceParse(token, expected);
    bool ok;
    if constexpr (std::is_same_v<Real, float>) {
        ok = parse_float(token, actual);
    } else {
        ok = parse_double(token, actual);
    }
    ASSERT_EQ(ok, expectedOk) << token;
    if (ok) {
        ASSERT_EQ(std::memcmp(&actual, &expected, sizeof(Real)), 0) << token;
    }
}

TEST(number_parse, RealsReadLikeTheCLibraryIncludingItsRareForms) {
    const char *tokens[] = {
        "1.5",      "+1.5",     "\f2",          "-0",          "0.1x",      ".5",
        "5.",       "1e",       "1e+",          "1e-3)",       "0x1p3",     "-0X1.8p1",
        "0x",       "0xg",      "1e39",         "-1e39",       "3.4028235e38", "3.40282356e38",
        "3.4028236e38", "1e-50", "-1e-50",      "1e-45",       "1e-400",    "1e309",
        "nan",      "-nan",     "NAN(123)",     "inf",         "-Infinity", "infx",
        "(",        ")",        "True",         "-",           "+",         ".",
        "--1",      "+-1",      "4.9406564584124654e-324",     "2.2250738585072011e-308",
        "0.000000000000000000000000000000000000000000001401298464324817",
        "123456789012345678901234567890", "0.30000000000000004441"};
    for (const char *token : tokens) {
        expectSameAsCLibrary<float>(token);
        expectSameAsCLibrary<double>(token);
    }
}

// Random tokens from the pieces real and hostile files are made of.
class TokenMaker {
public:
    explicit TokenMaker(std::uint64_t seed) : random_(seed) {}

    std::string digits(int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += static_cast<char>('0' + random_() % 10);
        return text;
    }
    template <std::size_t N>
    const char *pick(const char *const (&choices)[N]) {
        return choices[random_() % N];
    }
    int upTo(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n + 1)); }

    // Mostly the plain forms the fast paths take, mixed with every form they hand on.
    std::string real() {
        static const char *const prefixes[] = {"", "", "", "", "-", "-", "+", " ", "\t-", "\v+"};
        static const char *const suffixes[] = {"", "", "", "", ")", "x", "e", "E+", "e-", "."};
        std::string token = pick(prefixes);
        switch (upTo(6)) {
            case 0:  // long digit strings
                token += digits(upTo(40)) + "." + digits(upTo(40));
                break;
            case 1:  // exponents up to overflow and underflow
                token += digits(upTo(9)) + "." + digits(upTo(9)) + pick({"e", "E"}) +
                         pick({"", "+", "-"}) + std::to_string(upTo(420));
                break;
            case 2:  // hexadecimal
                token += std::string(pick({"0x", "0X"})) + "1." + hex(upTo(8)) + "p" +
                         std::to_string(upTo(300) - 150);
                break;
            case 3:  // infinities and NaNs, whole and cut short
                token += pick({"inf", "INF", "infinity", "Infinity", "nan", "NaN", "nan(0x1f)",
                               "nan(", "in", "na"});
                break;
            default:  // six-decimal and shorter plain numbers
                token += digits(upTo(8)) + "." + digits(upTo(9));
                break;
        }
        return token + pick(suffixes);
    }

    std::string integer() {
        static const char *const prefixes[] = {"", "", "-", "+", " ", "\f-", "+-", "--"};
        static const char *const suffixes[] = {"", "", ".5", "x", ")", "e3"};
        return std::string(pick(prefixes)) + digits(1 + upTo(11)) + pick(suffixes);
    }

    // Near and on the points where a decimal rounds one way or the other between two floats.
    std::string floatBoundary() {
        float below;
        do {
            const auto bits = static_cast<std::uint32_t>(random_());
            std::memcpy(&below, &bits, sizeof below);
        } while (!std::isfinite(below) || below == 0);
        const double midpoint =
            (static_cast<double>(below) +
             static_cast<double>(std::nextafter(below, below < 0 ? -INFINITY : INFINITY))) /
            2;
        char text[128];
        std::snprintf(text, sizeof text, "%.*g", upTo(1) ? 60 : 6 + upTo(12), midpoint);
        return text;
    }

private:
    std::string hex(int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += "0123456789abcdefABCDEF"[random_() % 22];
        return text;
    }

    std::mt19937_64 random_;
};

// strtol base 10, failing when nothing converts or the value leaves the 32-bit range.
bool referenceParseInt(const std::string &token, int &value) {
    char *end = nullptr;
    errno = 0;
    const long wide = std::strtol(token.c_str(), &end, 10);
    if (end == token.c_str() || errno == ERANGE || wide < INT32_MIN || wide > INT32_MAX) {
        return false;
    }
    value = static_cast<int>(wide);
    return true;
}

TEST(number_parse, RandomTokensReadLikeTheCLibrary) {
    TokenMaker maker(20261206);
    for (int i = 0; i < 300000; ++i) {
        const std::string token = maker.integer();
        int expected = 0, actual = 0;
        const bool ok = parse_int(token, actual);
        ASSERT_EQ(ok, referenceParseInt(token, expected)) << token;
        if (ok) {
            ASSERT_EQ(actual, expected) << token;
        }
    }
    for (int i = 0; i < 600000; ++i) {
        const std::string token = maker.real();
        expectSameAsCLibrary<float>(token);
        expectSameAsCLibrary<double>(token);
    }
    for (int i = 0; i < 300000; ++i) {
        const std::string token = maker.floatBoundary();
        expectSameAsCLibrary<float>(token);
        expectSameAsCLibrary<double>(token);
    }
}

}  // namespace
}  // namespace tarvex
