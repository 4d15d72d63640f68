// Checks every fuzz target makes of what it wrote, beyond the sanitizers' own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvex::fuzz {

// Stops the run with `what` on standard error, so that libFuzzer keeps the input.
[[noreturn]] void fail(const char *what);

// A world must start with the VRML 97 header, keep its brackets balanced outside strings and
// comments, and hold no nan or inf; that is as much of parsing it back as a fuzz run can afford.
void check_world(std::string_view world);

// Holds one run to memory proportional to its input: the bytes allocated at the peak of the run,
// beyond what was allocated when it began, may not pass a fixed allowance plus a multiple of the
// input's size. Counting happens only where the build can count (glibc, or a sanitizer's hooks).
class MemoryBound {
  public:
    explicit MemoryBound(std::size_t inputSize);
    ~MemoryBound();
    MemoryBound(const MemoryBound &) = delete;
    MemoryBound &operator=(const MemoryBound &) = delete;

  private:
    std::size_t inputSize_;
    std::int64_t start_;
};

}  // namespace tarvex::fuzz
