#include "conversion/output_format.h"

#include <algorithm>
#include <cctype>

namespace tarvex::conversion {

namespace {

struct Known {
    std::string_view name, extension;
    OutputFormat format;
};
constexpr Known kFormats[] = {{"vrml", ".wrl", OutputFormat::vrml},
                              {"x3d", ".x3d", OutputFormat::x3d},
                              {"gltf", ".gltf", OutputFormat::gltf},
                              {"glb", ".glb", OutputFormat::glb}};

bool endsWithNoCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

}  // namespace

std::optional<OutputFormat> output_format_named(std::string_view name) {
    for (const Known &known : kFormats)
        if (known.name == name) return known.format;
    return std::nullopt;
}

OutputFormat output_format_of(std::string_view fileName) {
    for (const Known &known : kFormats)
        if (endsWithNoCase(fileName, known.extension)) return known.format;
    return OutputFormat::vrml;
}

std::string_view output_format_extension(OutputFormat format) {
    for (const Known &known : kFormats)
        if (known.format == format) return known.extension;
    return ".wrl";
}

}  // namespace tarvex::conversion
