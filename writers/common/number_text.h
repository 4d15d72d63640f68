// Number text for the VRML 97 and X3D writers: the shortest decimal that reads back as the same
// float, and plain integers. Callers reserve the room given below and format in place.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>

#include "core/shortest_float.h"

namespace tarvex::writers {

// Room for any float in shortest form ("-1.1754944e-38" is the longest kind).
inline constexpr std::size_t kMaxFloatChars = kMaxShortestFloatChars;
inline constexpr std::size_t kMaxIntChars = 11;  // "-2147483648"

// Writes `value` at `out` (room for kMaxFloatChars) as the shortest text that strtof reads back
// to the same float; -0 becomes "0". A nan or infinity, which no VRML reader accepts, is
// written as "0" and counted in `nonFinite`. Returns the end of the text.
inline char *format_float(char *out, float value, std::uint64_t &nonFinite) {
    if (value == 0.0f) {  // -0 included
        *out = '0';
        return out + 1;
    }
    if (!(value - value == 0.0f)) {  // nan or infinity
        ++nonFinite;
        *out = '0';
        return out + 1;
    }
    return format_shortest(out, value);
}

// Writes `value` at `out` (room for kMaxIntChars); returns the end.
inline char *format_int(char *out, std::int32_t value) {
    return std::to_chars(out, out + kMaxIntChars, value).ptr;
}

}  // namespace tarvex::writers
