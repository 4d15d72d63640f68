// What a full-mode conversion's warnings say to a person, as both programs and the library give it.
#pragma once

#include <string>
#include <vector>

#include "tree/diagnostics.h"

namespace tarvex::conversion {

// One line a kind of warning, with its first place in `input` and how many more are like it;
// with `verbose`, one line for every warning and skipped object kept.
std::vector<std::string> warning_lines(const tree::Diagnostics &diagnostics,
                                       const std::string &input, bool verbose);

}  // namespace tarvex::conversion
