// The four fuzz targets, one of which the build picks by defining TARVEX_FUZZ_DEFAULT, _TEXT,
// _BINARY or _EVERY_READER (the last of which takes the #else):
//   default       the default mode's reader and writer, from memory to memory
//   text          full mode from 3DMF text, with the binary twin of what was read
//   binary        full mode from binary 3DMF, whatever the first bytes say
//   every reader  the same bytes through the default mode's reader, full mode's text parser (with
//                 the labels kept, which the text target sets aside for the binary twin) and,
//                 when they begin like binary 3DMF, its binary reader; and the recogniser, whose
//                 verdict must not depend on where the bytes are cut into pieces
#include <cstdlib>
#include <string_view>

#include "core/recognise_3dmf.h"
#include "readers/binary/binary_reader.h"
#include "run_readers.h"
#include "world_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const tarvex::fuzz::MemoryBound bound(size);
    const tarvex::fuzz::Bytes bytes(data, size);
#if defined(TARVEX_FUZZ_DEFAULT)
    tarvex::fuzz::run_default_mode(bytes);
#elif defined(TARVEX_FUZZ_TEXT)
    tarvex::fuzz::run_text_reader(bytes, true);
#elif defined(TARVEX_FUZZ_BINARY)
    tarvex::fuzz::run_binary_reader(bytes);
#else
    tarvex::fuzz::run_default_mode(bytes);
    tarvex::fuzz::run_text_reader(bytes, false);
    if (tarvex::binary::looks_binary(bytes)) tarvex::fuzz::run_binary_reader(bytes);
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    tarvex::Recognise3dmf pieces;
    pieces.feed(text.substr(0, size / 2));
    pieces.feed(text.substr(size / 2));
    if ((pieces.finish() == tarvex::Recognise3dmf::Verdict::yes) != tarvex::is_3dmf(text))
        std::abort();
#endif
    return 0;
}
