// The straightforward conversion the benchmark measures the core against: line reads, strtok,
// strtof/strtod/strtol and fprintf("%f"). It knows only what the generated scenes hold.
#pragma once

#include <string>

namespace tarvex::bench {

// False when a file cannot be opened or the output cannot be written.
bool reference_convert(const std::string &inputPath, const std::string &outputPath);

}  // namespace tarvex::bench
