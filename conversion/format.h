// The output formats a scene can be written in, and how the user names them.
#pragma once

#include <optional>
#include <string_view>

namespace tarvex::conversion {

enum class Format { vrml97 };

// The format a --format word names ("vrml"), or that an output file's extension implies
// (".wrl", any case); nullopt for neither.
std::optional<Format> format_from_name(std::string_view name);
std::optional<Format> format_from_file_name(std::string_view fileName);
// The extension a batch gives the files it writes, dot included.
std::string_view extension_of(Format format);

}  // namespace tarvex::conversion
