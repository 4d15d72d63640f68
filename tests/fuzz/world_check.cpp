#include "world_check.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tarvex::fuzz {
namespace {

enum ByteClass : unsigned char {
    kWord,
    kSpace,
    kOpenBrace,
    kCloseBrace,
    kOpenSquare,
    kCloseSquare,
    kQuote,
    kHash
};

constexpr std::array<ByteClass, 256> makeClasses() {
    std::array<ByteClass, 256> classes{};
    for (const char c : {' ', '\n', '\r', '\t', ','})
        classes[static_cast<unsigned char>(c)] = kSpace;
    classes['{'] = kOpenBrace;
    classes['}'] = kCloseBrace;
    classes['['] = kOpenSquare;
    classes[']'] = kCloseSquare;
    classes['"'] = kQuote;
    classes['#'] = kHash;
    return classes;
}
constexpr std::array<ByteClass, 256> kClasses = makeClasses();

ByteClass classOf(char c) {
    return kClasses[static_cast<unsigned char>(c)];
}

// Numbers make up nearly all of a world: only a word starting with n or i (after a sign) can be a
// spelling of nan or inf.
bool notFinite(std::string_view token) {
    if (token.starts_with('-') || token.starts_with('+')) token.remove_prefix(1);
    if (token.empty() || (token[0] != 'n' && token[0] != 'i')) return false;
    return token == "nan" || token == "inf" || token == "infinity";
}

}  // namespace

void fail(const char *what) {
    std::fprintf(stderr, "tarvex fuzz check failed: %s\n", what);
    std::abort();
}

void check_world(std::string_view world) {
    if (!world.starts_with("#VRML V2.0 utf8\n")) fail("no VRML header");
    long braces = 0, squares = 0;
    bool named = false;  // the word before was DEF or USE: a node name, which may be any word
    const std::size_t n = world.size();
    std::size_t i = 0;
    while (i < n) {
        switch (classOf(world[i])) {
            case kSpace:
                ++i;
                continue;
            case kOpenBrace:
                ++braces;
                ++i;
                continue;
            case kOpenSquare:
                ++squares;
                ++i;
                continue;
            case kCloseBrace:
                if (--braces < 0) fail("a bracket closes what was not opened");
                ++i;
                continue;
            case kCloseSquare:
                if (--squares < 0) fail("a bracket closes what was not opened");
                ++i;
                continue;
            case kHash:
                while (i < n && world[i] != '\n') ++i;
                continue;
            case kQuote:
                for (++i; i < n && world[i] != '"'; ++i)
                    if (world[i] == '\\') ++i;
                if (i >= n) fail("a string is not closed");
                ++i;
                continue;
            case kWord:
                break;
        }
        const std::size_t start = i;
        while (i < n && classOf(world[i]) == kWord) ++i;
        const std::string_view token = world.substr(start, i - start);
        if (!named && notFinite(token)) fail("a number is not finite");
        named = token == "DEF" || token == "USE";
    }
    if (braces != 0 || squares != 0) fail("unbalanced brackets");
}

}  // namespace tarvex::fuzz
