#include "core/result_codes.h"

#include <array>

namespace tarvex {

std::string read_result_message(int code, std::string_view inputName) {
    // Indexed by code; "%s" stands for the input's name.
    static constexpr std::array<std::string_view, 12> formats = {
        "",
        "Can't open %s!",
        "Bad triangle mesh spec in %s!",
        "Error allocating memory in %s!",
        "Bad coordinate index data in %s!",
        "Bad coordinate data in %s!",
        "%s empty!",
        "Bad color data in %s!",
        "Bad forward direction data in %s!",
        "Bad viewpoint data in %s!",
        "Bad light data in %s!",
        "Error reading %s!",
    };
    if (code < 0 || code >= static_cast<int>(formats.size())) return {};
    const std::string_view format = formats[code];
    const std::size_t at = format.find("%s");
    if (at == std::string_view::npos) return std::string(format);
    std::string message;
    message.reserve(format.size() + inputName.size());
    message.append(format.substr(0, at)).append(inputName).append(format.substr(at + 2));
    return message;
}

}  // namespace tarvex
