// tarvex --out-dir=DIR INPUT...: many files at once, each converted as it would be alone.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "console/conversion.h"

namespace tarvex {

struct BatchSettings {
    std::string outDir;
    unsigned jobs = 1;  // files converted at once
    ConversionSettings conversion;
};

// Converts every file of `inputs` and every 3DMF file found below the folders among them into
// outDir, as NAME.wrl, keeping the folders below a folder input. A name already given to an
// earlier file in the same run gets "-2" (or the next free number) before its extension, and
// says so. Messages of each file, a progress line when `errIsTerminal`, and a closing summary go
// to `err`. Returns 0 when every file was converted completely, 1 otherwise.
int run_batch(const std::vector<std::string> &inputs, const BatchSettings &settings,
              std::ostream &err, bool errIsTerminal);

}  // namespace tarvex
