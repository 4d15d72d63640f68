#include "conversion/input_kind.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/file_names.h"
#include "core/recognise_3dmf.h"
#include "core/stdin_prefix.h"

namespace tarvex {
namespace {

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

constexpr std::size_t kSignatureBytes = 8;

}  // namespace

InputKind input_kind(std::string_view head) {
    InputKind kind;
    kind.is_3dmf = is_3dmf(head);
    kind.empty = head.empty();
    if (!kind.is_3dmf) kind.looks_like = lookOfOtherFormats(head);
    return kind;
}

bool look_at_input(const std::string &fileName, InputKind &kind) {
    Recognise3dmf recognise;
    std::string first;  // enough to say what else it looks like
    std::array<char, 4096> piece{};
    if (fileName == "stdin") {
        // Bytes another look already took come first; all go back for the reader.
        std::string taken = take_stdin_prefix();
        Recognise3dmf::Verdict verdict = recognise.feed(taken);
        while (verdict == Recognise3dmf::Verdict::undecided) {
            const std::size_t got = std::fread(piece.data(), 1, piece.size(), stdin);
            if (got == 0) break;
            taken.append(piece.data(), got);
            verdict = recognise.feed(std::string_view(piece.data(), got));
        }
        push_back_stdin(taken);
        first = taken.substr(0, kSignatureBytes);
    } else {
        // A FIFO or a device would lose the bytes looked at.
        const std::filesystem::path path = path_from_utf8(fileName);
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) return false;
        std::FILE *file = open_file(path, "rb");
        if (file == nullptr) return false;
        Recognise3dmf::Verdict verdict = Recognise3dmf::Verdict::undecided;
        while (verdict == Recognise3dmf::Verdict::undecided) {
            const std::size_t got = std::fread(piece.data(), 1, piece.size(), file);
            if (got == 0) break;
            if (first.empty()) first.assign(piece.data(), std::min(got, kSignatureBytes));
            verdict = recognise.feed(std::string_view(piece.data(), got));
        }
        const bool failed = std::ferror(file) != 0;
        std::fclose(file);
        if (failed) return false;
    }
    kind.is_3dmf = recognise.finish() == Recognise3dmf::Verdict::yes;
    kind.empty = first.empty();
    kind.looks_like = kind.is_3dmf ? std::string_view{} : lookOfOtherFormats(first);
    return true;
}

}  // namespace tarvex
