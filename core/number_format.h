// Number text exactly as printf's "%f" (of a float widened to double) and "%d" write it.
#pragma once

#include <charconv>
#include <cstddef>

namespace tarvex {

// Room for any float under "%f": sign, 39 integer digits, point, six decimals.
inline constexpr std::size_t kMaxFixedFloatChars = 48;
inline constexpr std::size_t kMaxIntChars = 12;

// Writes `value` as "%f" does (six decimals, correctly rounded, ties to even) at `out`, which
// has room for kMaxFixedFloatChars; returns the end of the text.
char *format_fixed6(char *out, float value);
// Writes `value` as "%d" does at `out`, which has room for kMaxIntChars; returns the end.
inline char *format_int(char *out, int value) {
    return std::to_chars(out, out + kMaxIntChars, value).ptr;
}

}  // namespace tarvex
