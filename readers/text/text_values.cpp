#include "readers/text/text_values.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <span>

#include "core/number_parse.h"

namespace tarvex::text {
namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::uint8_t nibble(char c) {
    if (c <= '9') return static_cast<std::uint8_t>(c - '0');
    return static_cast<std::uint8_t>(lower(c) - 'a' + 10);
}

}  // namespace

bool add_number(const Token &token, tree::ObjectTree &tree) {
    if (token.integer && !token.overflow) {
        if (!token.negative) {
            if (token.magnitude <= UINT32_MAX) {
                tree.add_uns(static_cast<std::uint32_t>(token.magnitude));
                return true;
            }
        } else if (token.magnitude == 0) {
            tree.add_float(-0.0f);  // keeps the sign a real field may mean
            return true;
        } else if (token.magnitude <= std::uint64_t{1} << 31) {
            tree.add_int(static_cast<std::int32_t>(-static_cast<std::int64_t>(token.magnitude)));
            return true;
        }
    }
    float value = 0;
    if (token.plain &&
        plain_decimal_to_float(token.magnitude, token.decimals, token.negative, value)) {
        tree.add_float(value);
        return true;
    }
    if (!parse_float(token.text, value)) return false;
    tree.add_float(value);
    return true;
}

std::size_t append_hex(std::string_view digits, tree::ObjectTree &tree) {
    std::array<std::uint8_t, 256> chunk;
    std::size_t filled = 0;
    std::size_t appended = 0;
    std::size_t i = 0;
    if (digits.size() % 2 == 1) chunk[filled++] = nibble(digits[i++]);
    for (; i < digits.size(); i += 2) {
        chunk[filled++] = static_cast<std::uint8_t>(nibble(digits[i]) << 4 | nibble(digits[i + 1]));
        if (filled == chunk.size()) {
            tree.append_raw(chunk);
            appended += filled;
            filled = 0;
        }
    }
    tree.append_raw(std::span<const std::uint8_t>(chunk.data(), filled));
    return appended + filled;
}

void unescape(std::string_view raw, std::string &out) {
    out.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\\' && i + 1 < raw.size()) {
            c = raw[++i];
            switch (c) {
                case 'n':
                    c = '\n';
                    break;
                case 'r':
                    c = '\r';
                    break;
                case 't':
                    c = '\t';
                    break;
                case 'v':
                    c = '\v';
                    break;
                default:
                    break;
            }
        }
        out += c;
    }
}

bool is_non_finite_word(std::string_view word) {
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) word.remove_prefix(1);
    if (word.size() != 3 && word.size() != 8) return false;
    std::array<char, 8> text{};
    std::transform(word.begin(), word.end(), text.begin(), lower);
    const std::string_view w(text.data(), word.size());
    return w == "nan" || w == "inf" || w == "infinity";
}

}  // namespace tarvex::text
