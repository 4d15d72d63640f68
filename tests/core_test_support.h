// Helpers shared by the core and console tests: a recording progress hook, temporary files and
// one-call conversions. The file helpers are inline so that console_test, which links the
// console's own progress hook instead of core_test_support.cpp, can use them too.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/vrml.h"

namespace tarvex_test {

struct ProgressCall {
    int pct;
    std::string line;
    bool operator==(const ProgressCall &) const = default;
};

// Every update_display call since the last clear, in order (core tests only).
std::vector<ProgressCall> &progress_calls();

inline std::string read_file(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_file(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A golden file from tests/data, compared byte for byte (gtest prints a line diff on mismatch).
inline std::string data_file(const std::string &name) {
    return read_file(std::filesystem::path(TARVEX_SOURCE_DIR) / "tests" / "data" / name);
}

// A fresh directory per test, removed afterwards, so that tests may run in parallel; and an
// empty scene store, as a fresh process has, whatever ran before in this one.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        tarvex::clean_up();
        std::string tmpl = (std::filesystem::temp_directory_path() / "tarvex_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        tarvex::clean_up();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::filesystem::path path(const std::string &name) const { return dir_ / name; }
    // Writes `bytes` to a file in the test directory and returns its path as a string.
    std::string file(const std::string &name, const std::string &bytes) const {
        write_file(path(name), bytes);
        return path(name).string();
    }

    std::filesystem::path dir_;
};

// Reads `input` (as a file's bytes) with read_in and returns its result code; the progress
// record is cleared first.
int read_bytes(const std::filesystem::path &dir, const std::string &input);

// Writes the store with write_out and returns the output's bytes (progress record cleared first).
std::string write_store(const std::filesystem::path &dir, int *result = nullptr);

}  // namespace tarvex_test
