// Full mode from binary 3DMF, whatever the first bytes say.
#include "run_readers.h"
#include "world_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const tarvex::fuzz::MemoryBound bound(size);
    tarvex::fuzz::run_binary_reader({data, size});
    return 0;
}
