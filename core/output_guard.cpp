#include "core/output_guard.h"

#include <array>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "core/file_names.h"

namespace tarvex {
namespace fs = std::filesystem;

bool holds_3dmf(const fs::path &path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return false;
    std::FILE *file = open_file(path, "rb");
    if (file == nullptr) return false;
    // A text file may begin with blank lines and comments before its header; 4 KiB of them is
    // more than any writer puts there.
    std::array<char, 4096> head{};
    const std::size_t got = std::fread(head.data(), 1, head.size(), file);
    std::fclose(file);
    const std::string_view bytes(head.data(), got);
    if (bytes.starts_with("3DMF")) return true;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const char c = bytes[at];
        if (c == '#') {
            const std::size_t end = bytes.find_first_of("\r\n", at);
            if (end == std::string_view::npos) return false;
            at = end;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++at;
        } else {
            return bytes.substr(at).starts_with("3DMetafile");
        }
    }
    return false;
}

OutputHazard output_hazard(const std::string &input, const std::string &output) {
    if (output == "stdout") return OutputHazard::none;
    const fs::path out = path_from_utf8(output);
    std::error_code error;
    if (input != "stdin" && fs::equivalent(path_from_utf8(input), out, error) && !error)
        return OutputHazard::is_input;
    if (holds_3dmf(out)) return OutputHazard::holds_3dmf;
    return OutputHazard::none;
}

const char *output_hazard_reason(OutputHazard hazard) {
    switch (hazard) {
        case OutputHazard::none:
            return "";
        case OutputHazard::is_input:
            return "it is the input file itself, which the conversion would destroy";
        case OutputHazard::holds_3dmf:
            return "it holds a 3DMF scene; give a new name for the VRML world";
    }
    return "";
}

}  // namespace tarvex
