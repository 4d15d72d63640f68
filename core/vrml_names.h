// Making stored names safe for VRML 97 text. Names are kept as read in the scene store; only
// the writer transforms them.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// A valid VRML node name for `name` (not empty): every byte that VRML forbids in names becomes
// '_', and a leading '_' is added when the name would start like a number or be a reserved
// word. A name that is already valid comes back unchanged; bytes 0x80-0xFF are kept.
std::string vrml_def_name(std::string_view name);

// `text` for use between double quotes in a VRML string: '"' and '\' get a '\' in front.
std::string vrml_string_body(std::string_view text);

}  // namespace tarvex
