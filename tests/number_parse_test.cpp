#include "core/number_parse.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
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

TEST(number_parse, RandomDecimalsRoundLikeTheCLibrary) {
    std::mt19937_64 random(20261206);
    std::uniform_int_distribution<int> digit(0, 9), length(1, 20), exponent(-50, 50);
    for (int i = 0; i < 20000; ++i) {
        std::string token = i % 2 ? "-" : "";
        const int integerDigits = length(random) % 8;
        for (int d = 0; d < integerDigits; ++d) token += char('0' + digit(random));
        token += '.';
        for (int d = length(random); d > 0; --d) token += char('0' + digit(random));
        if (i % 3 == 0) token.append("e").append(std::to_string(exponent(random)));
        expectSameAsCLibrary<float>(token);
        expectSameAsCLibrary<double>(token);
    }
}

}  // namespace
}  // namespace tarvex
