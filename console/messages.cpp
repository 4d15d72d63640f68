#include "console/messages.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/file_names.h"

namespace tarvex {

namespace {

// The length of the valid UTF-8 sequence starting at `at`, 0 when there is none.
std::size_t utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(at);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (byte(at + i) & 0x3Fu);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
        (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

}  // namespace

std::string escape_for_terminal(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<std::uint8_t>(text[at]);
        if (c >= 0x80) {
            // C1 controls written in UTF-8 (U+0080 to U+009F) steer a terminal as ESC does.
            const bool c1 =
                c == 0xC2 && at + 1 < text.size() && static_cast<std::uint8_t>(text[at + 1]) < 0xA0;
            if (const std::size_t length = c1 ? 0 : utf8Length(text, at)) {
                escaped.append(text.substr(at, length));
                at += length;
                continue;
            }
        } else if ((c >= 0x20 && c != 0x7F) || c == '\t') {
            escaped.push_back(static_cast<char>(c));
            ++at;
            continue;
        }
        escaped.append("\\x").push_back(kHex[c >> 4]);
        escaped.push_back(kHex[c & 0xF]);
        ++at;
    }
    return escaped;
}

std::string system_reason(int errorNumber) {
    if (errorNumber == 0) return {};
    return std::generic_category().message(errorNumber);
}

std::string open_failure_reason(const std::string &name, int errorNumber) {
    std::error_code error;
    if (name != "stdin" && std::filesystem::is_directory(path_from_utf8(name), error))
        return "it is a directory";
    return system_reason(errorNumber);
}

}  // namespace tarvex
