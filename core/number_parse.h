// Reading the number at the start of a token, exactly as the C library's strtol (base 10),
// strtof and strtod read it in the "C" locale, without their cost on the common forms.
//
// Each function converts the longest number that begins the token (after optional leading
// white space and sign) and ignores the rest of the token. It fails, leaving `out` alone, when
// no number begins the token, when an int lies outside the 32-bit range, or when a real value
// is not finite (nan, inf, or too large for the type). Underflow gives what strtof/strtod give.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvex {

bool parse_int(std::string_view token, int &out);        // "%d"
bool parse_float(std::string_view token, float &out);    // "%f"
bool parse_double(std::string_view token, double &out);  // "%lf"

// The fast path of parse_float for a number already taken apart by a lexer: `digits` (at most
// 15 of them) / 10^`decimals` (at most 15), negated when `negative`. False where that alone
// cannot decide the rounding; parse_float of the token's text then must.
bool plain_decimal_to_float(std::uint64_t digits, int decimals, bool negative, float &out);

}  // namespace tarvex
