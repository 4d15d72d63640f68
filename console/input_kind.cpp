#include "console/input_kind.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <system_error>

#include "core/file_names.h"
#include "core/stdin_prefix.h"
#include "readers/binary/binary_reader.h"
#include "tree/object_type.h"

namespace tarvex {
namespace {

// A headerless fragment names its first object within a few tokens (labels, a stray number);
// further on, a word that happens to be a type name says nothing.
constexpr int kTokensLooked = 16;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Splits text as the 3DMF lexer would for the purpose: comments dropped, parentheses alone.
class Tokens {
  public:
    explicit Tokens(std::string_view text) : text_(text) {}
    // The next token, "" at the end.
    std::string_view next() {
        for (;;) {
            while (at_ < text_.size() && isBlank(text_[at_])) ++at_;
            if (at_ < text_.size() && text_[at_] == '#') {
                while (at_ < text_.size() && text_[at_] != '\n' && text_[at_] != '\r') ++at_;
                continue;
            }
            break;
        }
        if (at_ == text_.size()) return {};
        const std::size_t start = at_;
        if (text_[at_] == '(' || text_[at_] == ')') return text_.substr(at_++, 1);
        while (at_ < text_.size() && !isBlank(text_[at_]) && text_[at_] != '(' &&
               text_[at_] != ')' && text_[at_] != '#')
            ++at_;
        return text_.substr(start, at_ - start);
    }

  private:
    std::string_view text_;
    std::size_t at_ = 0;
};

std::string_view lookOfOtherFormats(std::string_view head) {
    struct Signature {
        std::string_view first_bytes;
        std::string_view looks_like;
    };
    static constexpr Signature kSignatures[] = {
        {"#VRML", "a VRML world"},
        {"\x89PNG", "a PNG image"},
        {"\xFF\xD8\xFF", "a JPEG image"},
        {"GIF8", "a GIF image"},
        {"%PDF", "a PDF document"},
        {"PK\x03\x04", "a ZIP archive"},
        {"\x7F"
         "ELF",
         "a program"},
        {"solid ", "an STL model"},
        {"ply\n", "a PLY model"},
    };
    for (const Signature &signature : kSignatures)
        if (head.starts_with(signature.first_bytes)) return signature.looks_like;
    return {};
}

}  // namespace

InputKind input_kind(std::string_view head) {
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t *>(head.data()), head.size());
    if (binary::looks_binary(bytes.first(std::min<std::size_t>(bytes.size(), 4))))
        return {true, {}};
    // VRML's Group and Transform-free worlds can begin like a fragment: its header decides first.
    if (const std::string_view look = lookOfOtherFormats(head); !look.empty()) return {false, look};
    Tokens tokens(head);
    std::string_view token = tokens.next();
    for (int looked = 0; looked < kTokensLooked && !token.empty(); ++looked) {
        const std::string_view following = tokens.next();
        // "3DMetafile" is the header's own type name, so the header is found here too.
        // A label may be glued to its object: "cube:TriMesh".
        const std::string_view name = token.substr(token.rfind(':') + 1);
        if (following == "(" && tree::type_from_text_name(name) != tree::ObjectType::Unknown)
            return {true, {}};
        token = following;
    }
    return {false, {}};
}

bool read_input_head(const std::string &fileName, std::string &head) {
    if (fileName == "stdin") {
        // Bytes another look already took come first; all go back for the reader.
        std::string taken = take_stdin_prefix();
        if (taken.size() < kInputHeadBytes) {
            const std::size_t had = taken.size();
            taken.resize(kInputHeadBytes);
            taken.resize(had + std::fread(taken.data() + had, 1, kInputHeadBytes - had, stdin));
        }
        push_back_stdin(taken);
        head = taken.substr(0, kInputHeadBytes);
        return true;
    }
    head.assign(kInputHeadBytes, '\0');
    // A FIFO or a device would lose the bytes looked at.
    const std::filesystem::path path = path_from_utf8(fileName);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    std::FILE *file = open_file(path, "rb");
    if (file == nullptr) return false;
    const std::size_t got = std::fread(head.data(), 1, head.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    head.resize(got);
    return !failed;
}

}  // namespace tarvex
