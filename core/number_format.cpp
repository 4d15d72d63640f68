#include "core/number_format.h"

#include <charconv>

namespace tarvex {

char *format_fixed6(char *out, float value) {
    // std::to_chars with a precision is exact, as glibc's printf is.
    return std::to_chars(out, out + kMaxFixedFloatChars, static_cast<double>(value),
                         std::chars_format::fixed, 6)
        .ptr;
}

char *format_int(char *out, int value) { return std::to_chars(out, out + kMaxIntChars, value).ptr; }

}  // namespace tarvex
