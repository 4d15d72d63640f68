// One conversion is two calls: read_in fills the scene store, write_out writes it as VRML 97.
#pragma once

#include <string>
#include <string_view>

#include "core/progress.h"
#include "core/result_codes.h"

namespace tarvex {

// Reads a 3DMF ASCII file into the scene store; the exact name "stdin" means standard input.
// Returns a CNV_ code. On CNV_CANT_OPEN the store is untouched; otherwise it is emptied first and
// keeps every record made before a failure.
int read_in(const std::string &fileName, const Progress &progress = {});

// read_in for bytes held in memory: the same result and progress as a file holding them.
int read_in_memory(std::string_view bytes, const Progress &progress = {});

// How the output file is opened: text mode lets a platform translate line ends (the console
// program's choice), binary mode writes LF everywhere. The two are the same on POSIX systems.
enum class OutputMode { text, binary };

// Writes the scene store as a VRML 97 world; the exact name "stdout" means standard output.
// Returns 0 when everything was written, flushed and closed, 1 when the output could not be
// opened or any write failed. The store is only read.
int write_out(const std::string &fileName, OutputMode mode = OutputMode::text,
              const Progress &progress = {});

// write_out into memory: `world` receives exactly what a file would. 0, or 1 when memory ran out.
int write_out_string(std::string &world, const Progress &progress = {});

}  // namespace tarvex
