// What the default mode left out of a file, for the hint a person at a terminal gets.
#pragma once

#include <string>

namespace tarvex {

// One line saying how many drawable objects of which kinds the default mode skips in the text
// file `fileName` and that --full converts them; "" when it skips none or the file cannot be
// read again. Reads the whole file once more with full mode's parser.
std::string default_mode_skip_hint(const std::string &fileName);

}  // namespace tarvex
