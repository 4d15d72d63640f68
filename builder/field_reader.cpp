#include "builder/field_reader.h"

#include <algorithm>
#include <cctype>

namespace tarvex::builder {

std::string utf8_from_utf16be(std::span<const std::uint8_t> bytes, std::uint32_t units) {
    std::string out;
    const std::size_t n = std::min<std::size_t>(units, bytes.size() / 2);
    const auto unit = [&](std::size_t i) -> std::uint32_t {
        return (std::uint32_t(bytes[2 * i]) << 8) | bytes[2 * i + 1];
    };
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c == 0) break;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool equal_words(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::uint32_t> FieldReader::next_bits(
    std::initializer_list<std::pair<std::string_view, std::uint32_t>> names) {
    if (!next_is_word()) return next_uint();
    std::uint32_t bits = 0;
    while (next_is_word()) {
        std::string_view text = tree_.word(next_++);
        while (!text.empty()) {
            const std::size_t bar = text.find('|');
            const std::string_view name = text.substr(0, bar);
            for (const auto &[candidate, value] : names)
                if (equal_words(name, candidate)) bits |= value;
            if (bar == std::string_view::npos) break;
            text.remove_prefix(bar + 1);
        }
    }
    return bits;
}

}  // namespace tarvex::builder
