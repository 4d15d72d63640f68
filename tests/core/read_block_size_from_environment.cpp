// Lets CTest run one test program again at tiny read block sizes, so that every token, comment
// and CR LF pair of its inputs straddles a block boundary.
#include <cstdlib>

#include "core/tokenizer.h"

namespace {
const bool blockSizeApplied = [] {
    if (const char *size = std::getenv("TARVEX_READ_BLOCK_SIZE")) {
        tarvex::set_read_block_size(std::strtoul(size, nullptr, 10));
    }
    return true;
}();
}  // namespace
