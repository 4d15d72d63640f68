// The default mode's reader and writer, from memory to memory.
#include "run_readers.h"
#include "world_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const tarvex::fuzz::MemoryBound bound(size);
    tarvex::fuzz::run_default_mode({data, size});
    return 0;
}
