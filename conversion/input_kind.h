// Whether an input is a 3DMF scene, and what it looks like when not.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

struct InputKind {
    bool is_3dmf = false;
    bool empty = false;
    // For input that is not 3DMF, what it seems to be ("a VRML world", "a PNG image"); "" when
    // it is not known.
    std::string_view looks_like;
};

// Decides from the whole of `head` (core/recognise_3dmf.h says how far it looks).
InputKind input_kind(std::string_view head);

// Looks at a file, or at standard input ("stdin"), whose bytes are handed back for the reader.
// False when it cannot be opened or read; errno then says why.
bool look_at_input(const std::string &fileName, InputKind &kind);

}  // namespace tarvex
