#include "core/output_buffer.h"

namespace tarvex {
namespace {
constexpr std::size_t kBufferSize = std::size_t{1} << 20;
constexpr std::size_t kStringBufferSize = std::size_t{1} << 14;
}  // namespace

OutputBuffer::OutputBuffer(std::FILE *file) : file_(file), buffer_(kBufferSize) {}

OutputBuffer::OutputBuffer(std::string &text) : text_(&text), buffer_(kStringBufferSize) {}

OutputBuffer::~OutputBuffer() {
    if (file_) std::fclose(file_);
}

void OutputBuffer::put(std::string_view text) {
    if (failed_) return;
    if (text_) {
        text_->append(text);
    } else if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        failed_ = true;
    }
}

void OutputBuffer::drain() {
    if (used_ != 0) put(std::string_view(buffer_.data(), used_));
    used_ = 0;
}

void OutputBuffer::writeSlow(std::string_view text) {
    drain();
    if (text.size() >= buffer_.size()) {
        put(text);
        return;
    }
    text.copy(buffer_.data(), text.size());
    used_ = text.size();
}

bool OutputBuffer::finish() {
    drain();
    if (!file_) return !failed_;
    if (std::fflush(file_) != 0) failed_ = true;
    if (std::ferror(file_)) failed_ = true;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

}  // namespace tarvex
