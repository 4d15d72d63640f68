// Independent VRML readers (Coin through vrml_check, tovrmlx3d through tovrmlx3d_check) run over
// text the writer produced.
#pragma once

#include <string>

namespace tarvex::vrml97::testing {

// What the installed readers said about `text` (saved as `name`.wrl in the test's temporary
// folder): empty when each accepted it silently. A reader that is not installed is skipped, with
// a note on standard output the first time.
std::string vrml_reader_complaints(const std::string &text, const std::string &name);

// Whether each reader is there to be run.
bool coin_check_available();
bool tovrmlx3d_check_available();

}  // namespace tarvex::vrml97::testing
