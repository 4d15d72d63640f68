// The same bytes through every reader that takes them: the default mode's reader takes any bytes;
// full mode reads them as binary when they begin like binary 3DMF, else as text, as the programs
// do.
#include "binary/binary_reader.h"
#include "run_readers.h"
#include "world_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const tarvex::fuzz::MemoryBound bound(size);
    const tarvex::fuzz::Bytes bytes(data, size);
    tarvex::fuzz::run_default_mode(bytes);
    if (tarvex::binary::looks_binary(bytes))
        tarvex::fuzz::run_binary_reader(bytes);
    else
        tarvex::fuzz::run_text_reader(bytes);
    return 0;
}
