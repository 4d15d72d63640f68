// What the public calls share: where the input comes from, and reading it.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "conversion/conversion.h"
#include "conversion/format.h"
#include "tarvex/tarvex.h"

namespace tarvex {
inline namespace v1 {
namespace detail {

// A file (`path`, which the caller keeps alive) or bytes in memory; `name` stands for it in
// messages.
struct Source {
    const std::string *path = nullptr;
    std::string_view bytes;
    std::string name;
};
Source bytes_source(std::string_view bytes, const Options &options);
Source file_source(const std::string &path);

// Reads `source` into `conversion` and says so in `result`; in the default mode it takes
// `storeLock` first. False when there is nothing to go on with (not 3DMF, not opened).
bool read(conversion::Conversion &conversion, const Source &source,
          const conversion::Options &internal, const Options &options,
          std::unique_lock<std::mutex> &storeLock, Result &result);
Result out_of_memory();

inline Format public_format(conversion::Format format) {
    switch (format) {
        case conversion::Format::x3d:
            return Format::x3d;
        case conversion::Format::gltf:
            return Format::gltf;
        case conversion::Format::glb:
            return Format::glb;
        case conversion::Format::vrml97:
            break;
    }
    return Format::vrml;
}

}  // namespace detail
}  // namespace v1
}  // namespace tarvex
