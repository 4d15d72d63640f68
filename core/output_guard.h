// What a conversion must never write over: the file it reads, or any file holding a 3DMF scene.
// Both are checked before anything is read or written, so that a slip on the command line (an
// option taken for a file name, two inputs given where an input and an output were meant) costs
// the user nothing.
#pragma once

#include <filesystem>
#include <string>

namespace tarvex {

enum class OutputHazard {
    none,
    is_input,    // the output names the input file, by whatever path or link
    holds_3dmf,  // the output is an existing file that begins like a text or binary 3DMF file
};

// Whether writing `output` would destroy something. "stdin" and "stdout" are the standard
// streams, never a hazard; names that do not exist are none.
OutputHazard output_hazard(const std::string &input, const std::string &output);

// True when `path` is a regular file whose first bytes are a 3DMF header: "3DMF" (binary) or
// "3DMetafile" after white space and comments (text).
bool holds_3dmf(const std::filesystem::path &path);

// A sentence saying why, for a person at a terminal: "" for none.
const char *output_hazard_reason(OutputHazard hazard);

}  // namespace tarvex
