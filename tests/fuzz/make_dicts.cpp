// Writes libFuzzer dictionaries from the format's own tables, so that they never miss a type:
//   fuzz_make_dicts TEXT-DICT BINARY-DICT
// The text one gets every object name and enum word, the binary one every four-character code.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

#include "readers/binary/enum_words.h"
#include "tree/object_type.h"

namespace {

std::string quoted(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
        out += c >= 0x20 && c < 0x7f && c != '"' && c != '\\' ? std::string(1, c) : escaped;
    }
    return out + "\"\n";
}

}  // namespace

int main(int argc, char **argv) {
    using namespace tarvex;
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_make_dicts TEXT-DICT BINARY-DICT\n");
        return 1;
    }
    std::set<std::string> words, codes;
    for (int t = 1; t < static_cast<int>(tree::ObjectType::Count); ++t) {
        const auto type = static_cast<tree::ObjectType>(t);
        if (!tree::type_name(type).empty()) words.emplace(tree::type_name(type));
        if (const std::uint32_t code = tree::binary_code(type)) {
            const char bytes[4] = {static_cast<char>(code >> 24), static_cast<char>(code >> 16),
                                   static_cast<char>(code >> 8), static_cast<char>(code)};
            codes.emplace(bytes, 4);
        }
    }
    for (int t = 0; t <= static_cast<int>(binary::EnumTable::Endian); ++t)
        for (const binary::EnumWord &word : binary::enum_words(static_cast<binary::EnumTable>(t)))
            words.emplace(word.word);
    std::ofstream text(argv[1]), binary(argv[2]);
    for (const std::string &word : words) text << quoted(word);
    for (const std::string &code : codes) binary << quoted(code);
    std::printf("%zu words, %zu codes\n", words.size(), codes.size());
    return text.good() && binary.good() ? 0 : 1;
}
