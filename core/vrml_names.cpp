#include "core/vrml_names.h"

#include <algorithm>
#include <array>

namespace tarvex {
namespace {

bool forbiddenInName(unsigned char c) {
    switch (c) {
        case '"':
        case '#':
        case '\'':
        case ',':
        case '.':
        case '[':
        case '\\':
        case ']':
        case '{':
        case '}':
        case 0x7F:
            return true;
        default:
            return c <= 0x20;
    }
}

bool isReservedWord(std::string_view name) {
    static constexpr std::array<std::string_view, 14> words = {
        "DEF", "EXTERNPROTO", "FALSE", "IS",      "NULL",     "PROTO",        "ROUTE",
        "TO",  "TRUE",        "USE",   "eventIn", "eventOut", "exposedField", "field"};
    return std::find(words.begin(), words.end(), name) != words.end();
}

}  // namespace

std::string vrml_def_name(std::string_view name) {
    std::string result(name);
    for (char &c : result) {
        if (forbiddenInName(static_cast<unsigned char>(c))) c = '_';
    }
    const char first = result.empty() ? '\0' : result.front();
    if ((first >= '0' && first <= '9') || first == '+' || first == '-' || isReservedWord(result)) {
        result.insert(result.begin(), '_');
    }
    return result;
}

std::string vrml_string_body(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c == '"' || c == '\\') result.push_back('\\');
        result.push_back(c);
    }
    return result;
}

}  // namespace tarvex
