// Whether an input is a 3DMF scene, told from its first bytes, and what it looks like when not.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

struct InputKind {
    bool is_3dmf = false;
    // For input that is not 3DMF, what it seems to be ("a VRML world", "a PNG image"); "" when
    // it is not known.
    std::string_view looks_like;
};

// Bytes enough to decide: the binary header, the text header after comments, or a 3DMF object
// among the first tokens of a headerless fragment.
inline constexpr std::size_t kInputHeadBytes = 4096;

// Decides from the first kInputHeadBytes of an input (fewer when it is shorter). 3DMF is the
// binary header, the text header "3DMetafile (" after white space and comments, or, for a
// headerless fragment, an object name the format knows followed by "(" among its first tokens.
InputKind input_kind(std::string_view head);

// The first kInputHeadBytes of a file ("stdin": standard input, whose bytes are handed back for
// the reader). False when it cannot be opened or read.
bool read_input_head(const std::string &fileName, std::string &head);

}  // namespace tarvex
