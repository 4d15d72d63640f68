// The conversions the fuzz targets run on their bytes, each with its checks; a failed check
// aborts the run through fail().
#pragma once

#include <cstdint>
#include <span>

namespace tarvex::fuzz {

using Bytes = std::span<const std::uint8_t>;

// The default mode: read_in_memory and write_out_string. The result must be a known code, and
// reading again through blocks of 1 to 7 bytes (the first byte picks) must give the same result
// and progress messages.
void run_default_mode(Bytes bytes);

// Full mode's text parser, then the scene builder and the VRML writer. With `twin`, when the
// test-only binary writer can make an exact binary twin of the tree, the twin must make the same
// world as the text without its labels (which binary cannot carry).
void run_text_reader(Bytes bytes, bool twin);

// Full mode's binary reader, then the scene builder and the VRML writer.
void run_binary_reader(Bytes bytes);

// Full mode writes and checks the worlds of the biggest scenes too, which fuzzing only builds:
// the replay of saved inputs can afford them.
void write_all_worlds();

}  // namespace tarvex::fuzz
