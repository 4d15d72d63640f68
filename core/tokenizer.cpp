#include "core/tokenizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace tarvex {
namespace {

std::size_t blockSize = std::size_t{1} << 20;

enum ByteKind : unsigned char { kText, kBlank, kLineEnd, kNul };

constexpr std::array<ByteKind, 256> makeByteKinds() {
    std::array<ByteKind, 256> kinds{};
    kinds[' '] = kBlank;
    kinds['\t'] = kBlank;
    kinds['\r'] = kLineEnd;
    kinds['\n'] = kLineEnd;
    kinds['\0'] = kNul;
    return kinds;
}
constexpr std::array<ByteKind, 256> kByteKinds = makeByteKinds();

ByteKind kindOf(char c) {
    return kByteKinds[static_cast<unsigned char>(c)];
}

// Only bytes at or below ' ' can end a token. Testing eight bytes at a time for one (the first
// flagged byte is exact; flags above it may be false) took a tenth off converting a big mesh;
// the byte kinds then decide.
std::uint64_t bytesAtMostSpace(const char *p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    constexpr std::uint64_t ones = 0x0101010101010101, highBits = 0x8080808080808080;
    return (word - ones * 0x21) & ~word & highBits;
}

}  // namespace

std::size_t read_block_size() {
    return blockSize;
}
void set_read_block_size(std::size_t bytes) {
    blockSize = bytes == 0 ? 1 : bytes;
}

LineTokenizer::LineTokenizer(std::FILE *input, std::size_t size, std::string prefix)
    : input_(input), block_(size == 0 ? 1 : size), prefix_(std::move(prefix)) {}

LineTokenizer::LineTokenizer(std::string_view bytes, std::size_t size)
    : input_(nullptr),
      memory_(bytes),
      block_(std::max<std::size_t>(1, std::min(size, bytes.size()))) {}

bool LineTokenizer::prime() {
    return refill();
}

bool LineTokenizer::refill() {
    blockStart_ += end_;
    pos_ = end_ = 0;
    if (prefixUsed_ < prefix_.size()) {
        end_ = prefix_.copy(block_.data(), block_.size(), prefixUsed_);
        prefixUsed_ += end_;
    }
    if (!eof_ && end_ < block_.size()) {
        if (input_) {
            end_ += std::fread(block_.data() + end_, 1, block_.size() - end_, input_);
        } else {
            const std::size_t taken = memory_.copy(block_.data() + end_, block_.size() - end_);
            memory_.remove_prefix(taken);
            end_ += taken;
        }
        if (end_ < block_.size()) {
            eof_ = true;
            readFailed_ = input_ && std::ferror(input_) != 0;
        }
    }
    if (crAtBlockEnd_) {
        crAtBlockEnd_ = false;
        if (end_ != 0 && block_[0] == '\n') pos_ = 1;
        lineEnded(offset());
    }
    if (end_ == 0) {
        lineEnded(blockStart_);  // the last line has no terminator
        return false;
    }
    return pos_ < end_ || refill();
}

void LineTokenizer::watch_line_end() {
    if (watching_) return;
    watching_ = true;
    watchedEnded_ = false;
}

void LineTokenizer::lineEnded(std::uint64_t offsetAfterTerminator) {
    if (!watching_) return;
    watching_ = false;
    watchedEnded_ = true;
    watchedEnd_ = offsetAfterTerminator;
}

void LineTokenizer::consumeLineEnd() {
    if (block_[pos_++] == '\r') {
        if (pos_ == end_) {
            crAtBlockEnd_ = true;  // whether an LF follows is known only after the next read
            return;
        }
        if (block_[pos_] == '\n') ++pos_;
    }
    lineEnded(offset());
}

void LineTokenizer::skipRestOfLine() {
    for (;;) {
        while (pos_ < end_ && kindOf(block_[pos_]) != kLineEnd) ++pos_;
        if (pos_ < end_ || !refill()) return;
    }
}

void LineTokenizer::finish_line() {
    if (pos_ == end_ && !refill()) return;
    skipRestOfLine();
    if (pos_ < end_) consumeLineEnd();
    if (crAtBlockEnd_) refill();
}

std::size_t LineTokenizer::scanToken(std::size_t from) const {
    if constexpr (std::endian::native == std::endian::little) {
        while (end_ - from >= 8) {
            const std::uint64_t flags = bytesAtMostSpace(block_.data() + from);
            if (flags == 0) {
                from += 8;
                continue;
            }
            from += static_cast<std::size_t>(std::countr_zero(flags) / 8);
            if (kindOf(block_[from]) != kText) return from;
            ++from;
        }
    }
    while (from < end_ && kindOf(block_[from]) == kText) ++from;
    return from;
}

bool LineTokenizer::next_token(std::string_view &token) {
    for (;;) {
        if (pos_ == end_ && !refill()) return false;
        const char c = block_[pos_];
        switch (kindOf(c)) {
            case kBlank:
                ++pos_;
                continue;
            case kLineEnd:
                consumeLineEnd();
                continue;
            case kNul:
                skipRestOfLine();
                continue;
            case kText:
                break;
        }
        if (c == '#') {
            skipRestOfLine();
            continue;
        }
        const std::size_t start = pos_;
        pos_ = scanToken(pos_);
        if (pos_ < end_) {
            token = std::string_view(block_.data() + start, pos_ - start);
            return true;
        }
        // The token runs into the next block: gather it in the carry-over buffer.
        carry_.assign(block_.data() + start, pos_ - start);
        while (refill()) {
            const std::size_t from = pos_;
            pos_ = scanToken(pos_);
            carry_.append(block_.data() + from, pos_ - from);
            if (pos_ < end_) break;
        }
        token = carry_;
        return true;
    }
}

}  // namespace tarvex
