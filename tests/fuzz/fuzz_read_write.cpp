// Runs a whole conversion on arbitrary bytes: read_in, then write_out. Besides the sanitizers'
// checks, each input is read a second time in tiny blocks, which must not change the scene, the
// result or the progress messages, and every result must be a known code.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/convert.h"
#include "core/progress.h"
#include "core/tokenizer.h"
#include "core/vrml.h"

namespace {

std::string progressLog;

// One input file per process, reused for every run so that nothing piles up.
class InputFile {
  public:
    InputFile() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarvex_fuzz_XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        close(fd);
        path_ = pattern;
    }
    ~InputFile() { std::remove(path_.c_str()); }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    const std::string &store(const std::uint8_t *data, std::size_t size) const {
        std::FILE *file = std::fopen(path_.c_str(), "wb");
        if (!file || (size != 0 && std::fwrite(data, 1, size, file) != size) ||
            std::fclose(file) != 0) {
            std::perror(path_.c_str());
            std::abort();
        }
        return path_;
    }

  private:
    std::string path_;
};

template <class T>
void appendBytes(std::string &out, const T &value) {
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

template <class T>
void appendArray(std::string &out, const tarvex::CountedArray<T> &array) {
    appendBytes(out, array.numPoints);
    appendBytes(out, array.v.size());
    for (const T &element : array.v) appendBytes(out, element);
}

void appendName(std::string &out, const std::string &name) {
    appendBytes(out, name.size());
    out.append(name);
}

// Everything the writer uses from the store, as bytes.
std::string storeDigest() {
    std::string out;
    for (int i = 0; i < tarvex::numberOfShapes(); ++i) {
        const tarvex::Shape &shape = *tarvex::getShape(i);
        appendName(out, shape.defName);
        appendBytes(out, shape.appearance.material.diffuseColor);
        appendArray(out, shape.geometry.coord.point);
        appendArray(out, shape.geometry.coordIndex);
    }
    for (int i = 0; i < tarvex::numberOfViewpoints(); ++i) {
        const tarvex::Viewpoint &vp = *tarvex::getViewpoint(i);
        appendName(out, vp.defName);
        appendName(out, vp.description);
        appendBytes(out, vp.orientation);
        appendBytes(out, vp.position);
    }
    for (int i = 0; i < tarvex::numberOfLights(); ++i) {
        const tarvex::DirectionalLight &light = *tarvex::getLight(i);
        appendName(out, light.defName);
        appendBytes(out, light.ambientIntensity);
        appendBytes(out, light.color);
        appendBytes(out, light.direction);
        appendBytes(out, light.intensity);
        appendBytes(out, light.on);
    }
    return out;
}

// A declared count writes that many lines whatever the input holds; a run must stay short, so
// worlds beyond this many lines are read but not written.
constexpr std::int64_t kMaxWrittenElements = std::int64_t{1} << 16;

std::int64_t declaredElements() {
    std::int64_t total = 0;
    for (int i = 0; i < tarvex::numberOfShapes(); ++i) {
        const tarvex::Shape &shape = *tarvex::getShape(i);
        total += shape.geometry.coord.point.numPoints;
        total += shape.geometry.coordIndex.numPoints;
    }
    return total + tarvex::numberOfViewpoints() + tarvex::numberOfLights();
}

[[noreturn]] void fail(const char *what) {
    std::fprintf(stderr, "tarvex fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace

namespace tarvex {
void update_display(int pct, std::string_view outputLine) {
    progressLog.append(std::to_string(pct)).append(" ").append(outputLine).append("\n");
}
}  // namespace tarvex

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const InputFile input;
    const std::string &path = input.store(data, size);
    const std::size_t defaultBlock = tarvex::read_block_size();

    progressLog.clear();
    const int result = tarvex::read_in(path);
    if (result < 0 || result > 10 || result == 1) fail("unknown result code");
    const std::string digest = storeDigest();
    const std::string progress = progressLog;

    // The first byte picks the block size, so that every boundary position gets its turn.
    tarvex::set_read_block_size(size == 0 ? 1 : 1 + data[0] % 7);
    progressLog.clear();
    const int smallBlockResult = tarvex::read_in(path);
    tarvex::set_read_block_size(defaultBlock);
    if (smallBlockResult != result) fail("result depends on the block size");
    if (storeDigest() != digest) fail("scene depends on the block size");
    if (progressLog != progress) fail("progress depends on the block size");

    if (declaredElements() <= kMaxWrittenElements && tarvex::write_out("/dev/null") != 0) {
        fail("writing to /dev/null failed");
    }
    tarvex::clean_up();
    return 0;
}
