// The shortest decimal text that reads back as the same float, laid out as std::to_chars lays
// it out without a format: "%f" or "%e", whichever is shorter, "%f" on a tie.
#pragma once

#include <cstddef>

namespace tarvex {

// Room for any float's text ("-1.1754944e-38" is the longest kind).
inline constexpr std::size_t kMaxShortestFloatChars = 16;

// Writes finite `value` at `out` (room for kMaxShortestFloatChars); returns the end.
char *format_shortest(char *out, float value);

}  // namespace tarvex
