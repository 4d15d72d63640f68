// Runs a whole conversion on arbitrary bytes: read_in, then write_out. Besides the sanitizers'
// checks, every result must be a known code, and the input read again from blocks of 1 to 7
// bytes (the first byte picks the size) must give the same result and progress messages.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/convert.h"
#include "core/progress.h"
#include "core/tokenizer.h"
#include "core/vrml.h"

namespace {

std::string progressLog;

// One input file per process, rewritten for every run and removed at the end.
struct InputFile {
    std::string path = (std::filesystem::temp_directory_path() / "tarvex_fuzz_XXXXXX").string();
    InputFile() { close(mkstemp(path.data())); }
    ~InputFile() { std::remove(path.c_str()); }
};

[[noreturn]] void fail(const char *what) {
    std::fprintf(stderr, "tarvex fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace

void tarvex::update_display(int pct, std::string_view outputLine) {
    progressLog.append(std::to_string(pct)).append(" ").append(outputLine).append("\n");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const InputFile input;
    std::FILE *file = std::fopen(input.path.c_str(), "wb");
    if (!file || (size != 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
        fail("cannot store the input");
    const std::size_t standard = tarvex::read_block_size();
    progressLog.clear();
    const int result = tarvex::read_in(input.path);
    if (result < 0 || result > 10 || result == tarvex::CNV_CANT_OPEN) fail("unknown result code");
    const std::string progress = progressLog;
    tarvex::set_read_block_size(size == 0 ? 1 : 1 + data[0] % 7);
    progressLog.clear();
    if (tarvex::read_in(input.path) != result || progressLog != progress) {
        fail("the read block size changes the result or the progress");
    }
    tarvex::set_read_block_size(standard);
    // A declared count writes that many lines whatever the input holds: big worlds are not written.
    std::int64_t declared = 0;
    for (int i = 0; i < tarvex::numberOfShapes(); ++i) {
        const tarvex::IndexedFaceSet &mesh = tarvex::getShape(i)->geometry;
        declared += std::int64_t{mesh.coord.point.numPoints} + mesh.coordIndex.numPoints;
    }
    if (declared <= (1 << 16) && tarvex::write_out("/dev/null") != 0) fail("writing failed");
    tarvex::clean_up();
    return 0;
}
