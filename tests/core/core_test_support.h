// Helpers shared by the core and console tests: a recording progress callback, temporary files
// and golden data. The file helpers are inline so that the console tests, which do not link
// core_test_support.cpp, can use them too.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "core/progress.h"
#include "core/scene_store.h"

namespace tarvex_test {

struct ProgressCall {
    int pct;
    std::string line;
    bool operator==(const ProgressCall &) const = default;
};

// Every call of a recording() callback since the last clear, in order (core tests only).
std::vector<ProgressCall> &progress_calls();
tarvex::Progress recording();

inline std::string read_file(const std::filesystem::path &path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}
inline void write_file(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
inline std::string data_file(const std::string &name) {
    return read_file(std::filesystem::path(TARVEX_SOURCE_DIR) / "tests" / "data" / name);
}

// A fresh directory per test, so that tests may run in parallel, and an empty scene store to start.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tarvex::clean_up();
        std::random_device random;  // a name nobody has yet, on every system
        do {
            dir_ = std::filesystem::temp_directory_path() /
                   ("tarvex_test_" + std::to_string(random()));
        } while (!std::filesystem::create_directory(dir_));
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path path(const std::string &name) const { return dir_ / name; }
    // Writes `bytes` to a file in the test directory and returns its path.
    std::string file(const std::string &name, const std::string &bytes) const {
        write_file(path(name), bytes);
        return path(name).string();
    }

    std::filesystem::path dir_;
};

}  // namespace tarvex_test
