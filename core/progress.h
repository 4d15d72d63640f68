// The one hook through which the core reports progress to the program it is linked into.
#pragma once

#include <string_view>

namespace tarvex {

// Defined by each program, not by the core. The reader calls it once per triangle mesh with the
// percentage of the input read and a message naming the mesh; the writer once per record with
// the percentage of records done and an empty message.
void update_display(int pct, std::string_view outputLine);

}  // namespace tarvex
