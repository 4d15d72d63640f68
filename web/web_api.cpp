// What the page calls: the library's conversion, bytes in and bytes out, through a few plain C
// functions (numbers and pointers into the module's memory cross to JavaScript as they are,
// with no binding runtime and no file system in between). A worker runs one conversion at a
// time, so the last one's output and messages are kept here until the next.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tarvex/tarvex.h"

namespace {

std::string output;
std::string messages;

EM_JS(void, reportProgress, (int percent), {
    if (Module.onProgress) Module.onProgress(percent);
});

void addLine(std::string_view line) {
    if (line.empty()) return;
    messages.append(line);
    messages += '\n';
}

}  // namespace

extern "C" {

// Converts `size` bytes at `input` into `format` ("glb", "gltf", "x3d" or "wrl"), in full mode
// or the default mode; `name` and `output_name` stand for the input and the output in messages.
// Returns the library's status, 0 when all went well.
EMSCRIPTEN_KEEPALIVE int tarvex_web_convert(const char *input, std::size_t size, const char *name,
                                            const char *output_name, const char *format, int full) {
    tarvex::Options options;
    options.mode = full ? tarvex::Mode::full : tarvex::Mode::default_mode;
    tarvex::format_from_name(format, options.format);
    options.input_name = name;
    options.output_name = output_name;
    messages.clear();
    // The default mode's line per mesh, as the program prints it; the percentage to the page.
    options.progress = [](int percent, std::string_view line) {
        addLine(line);
        reportProgress(percent);
    };
    std::string().swap(output);  // the last output's memory back before this one is read
    const tarvex::Result result =
        tarvex::convert_bytes(std::string_view(input, size), output, options);
    addLine(result.message);
    if (!result.reason.empty()) addLine("  " + result.reason);
    for (const std::string &warning : result.warnings) addLine(warning);
    return static_cast<int>(result.status);
}

EMSCRIPTEN_KEEPALIVE const char *tarvex_web_output() {
    return output.data();
}

EMSCRIPTEN_KEEPALIVE std::size_t tarvex_web_output_size() {
    return output.size();
}

EMSCRIPTEN_KEEPALIVE const char *tarvex_web_messages() {
    return messages.c_str();
}
}
