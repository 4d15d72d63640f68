// How the core reports its progress to whoever runs a conversion.
#pragma once

#include <functional>
#include <string_view>

namespace tarvex {

// The reader calls it once per triangle mesh with the percentage of the input read and a message
// naming the mesh; the writer once per record with the percentage of records done and an empty
// message. An empty one: nobody is listening.
using Progress = std::function<void(int pct, std::string_view outputLine)>;

}  // namespace tarvex
