// Full mode from 3DMF text, with the binary twin of what was read.
#include "run_readers.h"
#include "world_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const tarvex::fuzz::MemoryBound bound(size);
    tarvex::fuzz::run_text_reader({data, size}, true);
    return 0;
}
