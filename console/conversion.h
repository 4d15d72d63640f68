// One file's conversion as the console program does it, for a single run and for each file of
// a batch alike, so that a batch writes exactly what converting the file alone writes.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "conversion/format.h"

namespace tarvex {

struct ConversionSettings {
    bool full = false;            // --full (binary input is read in full mode anyway)
    bool verbose = false;         // --verbose
    std::uint64_t maxOutput = 0;  // --max-output, 0: the default budget
    bool errIsTerminal = false;   // a person reads: reasons and hints for the default mode too
    bool meshLines = true;        // the default mode's line per mesh
    bool reasons = false;         // give the system's reasons in the default mode even so
    // --format; without it the output's extension decides. Formats other than VRML 97 are
    // written from full mode's scene.
    std::optional<conversion::Format> format;
};

// What a default-mode conversion left out of the world, for a batch's summary.
struct DefaultModeLoss {
    std::string skipped;      // "3 objects (2 Box, 1 Cone)"; "" when none
    bool emptyWorld = false;  // no mesh was read
};

// Converts `input` into `output` ("stdin", "stdout": the standard streams), every message on
// `err`. Returns the exit status the program gives for it. The default mode keeps its messages
// exactly; it works on the one global scene store, so calls that run it are serialised. With
// `loss`, a default-mode conversion also says what it left out (a second read of the file).
int convert_one(const std::string &input, const std::string &output,
                const ConversionSettings &settings, std::ostream &err,
                DefaultModeLoss *loss = nullptr);

// The format `output` is written in: --format's, else its extension's, else VRML 97.
conversion::Format output_format(const ConversionSettings &settings, const std::string &output);

}  // namespace tarvex
