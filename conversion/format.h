// The output formats a scene can be written in, and how the user names them.
#pragma once

#include <optional>
#include <string_view>

namespace tarvex::conversion {

// VRML 97 (.wrl); X3D 3.3 in XML (.x3d); glTF 2.0 as JSON with its buffer inside (.gltf) or
// binary (.glb). Only VRML 97 can be written from the default mode's store.
enum class Format { vrml97, x3d, gltf, glb };

// The format a --format word names ("vrml", "x3d", "gltf", "glb"), or that an output file's
// extension implies (".wrl", ".x3d", ".gltf", ".glb", any case); nullopt for neither.
std::optional<Format> format_from_name(std::string_view name);
std::optional<Format> format_from_file_name(std::string_view fileName);
// Whether this build writes `format` (glTF may be left out of a build; the others never are).
bool format_available(Format format);
// The extension a batch gives the files it writes, dot included.
std::string_view extension_of(Format format);

}  // namespace tarvex::conversion
