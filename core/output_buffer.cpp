#include "core/output_buffer.h"

namespace tarvex {
namespace {
constexpr std::size_t kBufferSize = std::size_t{1} << 20;
}

OutputBuffer::OutputBuffer(std::FILE *file) : file_(file), buffer_(kBufferSize) {}

OutputBuffer::~OutputBuffer() {
    if (file_) std::fclose(file_);
}

void OutputBuffer::drain() {
    if (used_ != 0 && !failed_ && std::fwrite(buffer_.data(), 1, used_, file_) != used_) {
        failed_ = true;
    }
    used_ = 0;
}

void OutputBuffer::writeSlow(std::string_view text) {
    drain();
    if (text.size() >= buffer_.size()) {
        if (!failed_ && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
            failed_ = true;
        }
        return;
    }
    text.copy(buffer_.data(), text.size());
    used_ = text.size();
}

bool OutputBuffer::finish() {
    drain();
    if (std::fflush(file_) != 0) failed_ = true;
    if (std::ferror(file_)) failed_ = true;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

}  // namespace tarvex
