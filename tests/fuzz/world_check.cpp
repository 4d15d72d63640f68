#include "world_check.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tarvex::fuzz {
namespace {

bool isDelimiter(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == ',' || c == '[' || c == ']' ||
           c == '{' || c == '}';
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
    std::string_view previous;
    std::size_t i = 0;
    while (i < world.size()) {
        const char c = world[i];
        if (c == '#') {
            while (i < world.size() && world[i] != '\n') ++i;
        } else if (c == '"') {
            for (++i; i < world.size() && world[i] != '"'; ++i)
                if (world[i] == '\\') ++i;
            if (i >= world.size()) fail("a string is not closed");
            ++i;
        } else if (isDelimiter(c)) {
            braces += c == '{' ? 1 : c == '}' ? -1 : 0;
            squares += c == '[' ? 1 : c == ']' ? -1 : 0;
            if (braces < 0 || squares < 0) fail("a bracket closes what was not opened");
            ++i;
        } else {
            const std::size_t start = i;
            while (i < world.size() && !isDelimiter(world[i]) && world[i] != '"' && world[i] != '#')
                ++i;
            const std::string_view token = world.substr(start, i - start);
            // A node name (after DEF or USE) may be any word.
            if (previous != "DEF" && previous != "USE" && notFinite(token))
                fail("a number is not finite");
            previous = token;
        }
    }
    if (braces != 0 || squares != 0) fail("unbalanced brackets");
}

}  // namespace tarvex::fuzz
