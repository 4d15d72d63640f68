#include "conversion/format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace tarvex::conversion {
namespace {

struct Named {
    Format format;
    std::string_view name, extension;
};
constexpr std::array kFormats = {
    Named{Format::vrml97, "vrml", ".wrl"},
    Named{Format::x3d, "x3d", ".x3d"},
    Named{Format::gltf, "gltf", ".gltf"},
    Named{Format::glb, "glb", ".glb"},
};

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

}  // namespace

std::optional<Format> format_from_name(std::string_view name) {
    for (const Named &f : kFormats)
        if (f.name == name) return f.format;
    return std::nullopt;
}

std::optional<Format> format_from_file_name(std::string_view fileName) {
    const std::string name = lowered(fileName);
    for (const Named &f : kFormats)
        if (name.size() > f.extension.size() && name.ends_with(f.extension)) return f.format;
    return std::nullopt;
}

bool format_available([[maybe_unused]] Format format) {
#if TARVEX_GLTF
    return true;
#else
    return format != Format::gltf && format != Format::glb;
#endif
}

std::string_view extension_of(Format format) {
    for (const Named &f : kFormats)
        if (f.format == format) return f.extension;
    return ".wrl";
}

}  // namespace tarvex::conversion
