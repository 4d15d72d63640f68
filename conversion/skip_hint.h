// What the default mode left out of a file, for the hint a person at a terminal gets.
#pragma once

#include <string>

namespace tarvex {

// How many drawable objects of which kinds the default mode skips in the text file `fileName`:
// "3 objects (2 Box, 1 Cone)"; "" when it skips none or the file cannot be read again. Reads the
// whole file once more with full mode's parser. Both programs word their advice around it.
std::string default_mode_skipped(const std::string &fileName);

}  // namespace tarvex
