#include "world_check.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tarvex::fuzz {
namespace {

// Worlds run to hundreds of kilobytes per run, nearly all digits and blanks: the scan stops only
// at the bytes that can matter.
enum ByteClass : unsigned char { kPlain, kDelimiter, kBracket, kQuote, kHash, kWordStart };

constexpr std::array<ByteClass, 256> makeClasses() {
    std::array<ByteClass, 256> classes{};
    for (const char c : {' ', '\n', '\r', '\t', ','})
        classes[static_cast<unsigned char>(c)] = kDelimiter;
    for (const char c : {'{', '}', '[', ']'}) classes[static_cast<unsigned char>(c)] = kBracket;
    classes['"'] = kQuote;
    classes['#'] = kHash;
    // The first letters of nan, inf, DEF and USE.
    for (const char c : {'n', 'i', 'D', 'U'}) classes[static_cast<unsigned char>(c)] = kWordStart;
    return classes;
}
constexpr std::array<ByteClass, 256> kClasses = makeClasses();

ByteClass classOf(char c) {
    return kClasses[static_cast<unsigned char>(c)];
}

bool endsWord(char c) {
    return classOf(c) != kPlain && classOf(c) != kWordStart;
}

}  // namespace

void fail(const char *what) {
    std::fprintf(stderr, "tarvex fuzz check failed: %s\n", what);
    std::abort();
}

void check_world(std::string_view world) {
    if (!world.starts_with("#VRML V2.0 utf8\n")) fail("no VRML header");
    long braces = 0, squares = 0;
    const std::size_t n = world.size();
    auto wordEnd = [&](std::size_t from) {
        while (from < n && !endsWord(world[from])) ++from;
        return from;
    };
    std::size_t i = 0;
    while (i < n) {
        const char c = world[i];
        switch (classOf(c)) {
            case kPlain:
            case kDelimiter:
                ++i;
                continue;
            case kBracket:
                braces += c == '{' ? 1 : c == '}' ? -1 : 0;
                squares += c == '[' ? 1 : c == ']' ? -1 : 0;
                if (braces < 0 || squares < 0) fail("a bracket closes what was not opened");
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
            case kWordStart:
                break;
        }
        // Only the start of a word (after an optional sign) counts.
        std::size_t start = i;
        if (start > 0 && (world[start - 1] == '-' || world[start - 1] == '+')) --start;
        if (start > 0 && !endsWord(world[start - 1])) {
            ++i;
            continue;
        }
        const std::size_t end = wordEnd(i);
        const std::string_view word = world.substr(i, end - i);
        i = end;
        if (word == "nan" || word == "inf" || word == "infinity") fail("a number is not finite");
        if (start == i - word.size() && (word == "DEF" || word == "USE")) {
            // A node name follows, and it may be any word.
            while (i < n && classOf(world[i]) == kDelimiter) ++i;
            i = wordEnd(i);
        }
    }
    if (braces != 0 || squares != 0) fail("unbalanced brackets");
}

}  // namespace tarvex::fuzz
