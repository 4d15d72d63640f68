// The console program run in-process as a new process would run it (with an empty scene store),
// in a fresh directory, keeping what it said.
#pragma once

#include <bit>
#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "console/console_app.h"
#include "tests/core/core_test_support.h"

namespace tarvex_test {

// The text scene most cases convert, the line the default mode says of it, and an empty binary
// file.
inline const std::string kScene = data_file("three_objects.3dmf");
inline const std::string kProgress = "cube:  1 triangles 3 points 0 edges\n";
inline const std::string kBinaryHeader("3DMF\0\0\0\x10\0\x01\0\x06\0\0\0\0\0\0\0\0\0\0\0\0", 24);

// Binary 3DMF numbers are big-endian.
inline void put_u32(std::string &bytes, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes += char((v >> shift) & 0xFF);
}

// A one-triangle scene in binary 3DMF: the header of a stream without a table of contents, then
// a Triangle of three points.
inline std::string binary_triangle() {
    std::string bytes = "3DMF";
    for (const std::uint32_t word : {16u, 0x00010006u, 1u, 0u, 0u}) put_u32(bytes, word);
    bytes += "trng";
    put_u32(bytes, 36);
    for (const float f : {-1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f})
        put_u32(bytes, std::bit_cast<std::uint32_t>(f));
    return bytes;
}

class ConsoleRun : public TempDirTest {
  protected:
    int run(const std::vector<std::string> &args, bool terminal = false) {
        tarvex::clean_up();
        std::ostringstream out, err;
        const int status = tarvex::run_tarvex(args, out, err, terminal);
        out_ = out.str();
        err_ = err.str();
        return status;
    }
    std::string out() const { return path("out.wrl").string(); }
    // Every file below `folder` (or the test's folder) with its bytes, by its path relative to
    // it: whatever a run left behind shows here.
    std::map<std::string, std::string> files(const std::filesystem::path &folder) const {
        std::map<std::string, std::string> all;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(folder))
            if (!entry.is_directory())
                all[entry.path().lexically_relative(folder).generic_string()] =
                    entry.is_regular_file() ? read_file(entry.path()) : "(not a file)";
        return all;
    }
    std::map<std::string, std::string> files() const { return files(dir_); }
    std::string out_, err_;
};

}  // namespace tarvex_test
