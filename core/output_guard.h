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
    holds_3dmf,  // the output is an existing 3DMF file (core/recognise_3dmf.h)
};

// Whether writing `output` would destroy something. "stdin" and "stdout" are the standard
// streams, never a hazard; names that do not exist are none.
OutputHazard output_hazard(const std::string &input, const std::string &output);

// A sentence saying why, for a person at a terminal: "" for none.
const char *output_hazard_reason(OutputHazard hazard);

}  // namespace tarvex
