// One buffered output stream for the writer: text is gathered in a large block and handed to
// the C stream a block at a time, and every failure along the way is remembered.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/number_format.h"

namespace tarvex {

class OutputBuffer {
  public:
    // Takes over `file`, an open stream; it is closed by finish() or, failing that, on
    // destruction.
    explicit OutputBuffer(std::FILE *file);
    // Appends to `text` instead, through a smaller block.
    explicit OutputBuffer(std::string &text);
    ~OutputBuffer();
    OutputBuffer(const OutputBuffer &) = delete;
    OutputBuffer &operator=(const OutputBuffer &) = delete;

    void write(std::string_view text) {
        if (text.size() > buffer_.size() - used_) {
            writeSlow(text);
            return;
        }
        text.copy(buffer_.data() + used_, text.size());
        used_ += text.size();
    }
    void writeFixed6(float value) {  // "%f"
        char *start = reserve(kMaxFixedFloatChars);
        used_ += static_cast<std::size_t>(format_fixed6(start, value) - start);
    }
    void writeInt(int value) {  // "%d"
        char *start = reserve(kMaxIntChars);
        used_ += static_cast<std::size_t>(format_int(start, value) - start);
    }

    // Room for `n` bytes at the returned position; commit() takes what was written there. Lets
    // the hot loops format a whole line with one bounds check.
    char *reserve(std::size_t n) {
        if (buffer_.size() - used_ < n) drain();
        return buffer_.data() + used_;
    }
    void commit(const char *end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }

    // Writes what is left, flushes and closes the stream. False when any write, the flush or the
    // close failed. Into a string, it only writes what is left.
    bool finish();

  private:
    void writeSlow(std::string_view text);
    void drain();
    void put(std::string_view text);

    std::FILE *file_ = nullptr;
    std::string *text_ = nullptr;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

}  // namespace tarvex
