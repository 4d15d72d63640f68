// The console program `tarvex [3dmffile] [wrlfile]` as a function, so that tests can run it
// in-process and see exactly what it says.
#pragma once

#include <ostream>
#include <span>
#include <string>

#include "core/progress.h"

namespace tarvex {

// Runs one conversion. `args` are the command-line arguments without the program name, file
// names in UTF-8. The answers to --help and --version go to `out`; progress lines, the usage text
// and every message go to `err`; the VRML output goes to the named file or, by default, to the
// process's standard output. `errIsTerminal` lets a message add its reason on a second line for a
// person, where scripts see the first line alone. Returns the exit status.
int run_tarvex(std::span<const std::string> args, std::ostream &out, std::ostream &err,
               bool errIsTerminal = false);

// The console's progress: each mesh message the default mode gives, a line on `err`; `escaped`
// for a terminal, where a label's control bytes would act (scripts get the bytes as read).
Progress update_display(std::ostream &err, bool escaped = false);

}  // namespace tarvex
