// The formats a scene can be written in, and how a file name or --format picks one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvex::conversion {

enum class OutputFormat { vrml, x3d, gltf, glb };

// "vrml", "x3d", "gltf" or "glb"; nullopt for anything else.
std::optional<OutputFormat> output_format_named(std::string_view name);

// By the name's extension, in any case: .x3d, .gltf, .glb; everything else (.wrl, no
// extension, standard output) is VRML 97.
OutputFormat output_format_of(std::string_view fileName);

// The extension a file of the format gets, with its dot.
std::string_view output_format_extension(OutputFormat format);

}  // namespace tarvex::conversion
