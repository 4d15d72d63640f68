#include "core/monotonic_arena.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "core/huge_pages.h"

namespace tarvex {
namespace {

constexpr std::size_t kHugePage = std::size_t{1} << 21;

}  // namespace

void *MonotonicArena::allocate(std::size_t bytes, std::size_t alignment) {
    const auto at = reinterpret_cast<std::uintptr_t>(free_);
    const std::size_t padding = (alignment - at % alignment) % alignment;
    if (free_ == nullptr || padding + bytes > left_) {
        std::size_t size = nextBlock_;
        while (size < bytes) size *= 2;
        const std::size_t blockAlignment = std::max(
            hugePages_ && size >= kHugePage ? kHugePage : alignof(std::max_align_t), alignment);
        blocks_.reserve(blocks_.size() + 1);  // before the block: nothing to undo if this throws
        void *memory = ::operator new (size, std::align_val_t{blockAlignment});
        if (hugePages_ && size >= kHugePage) advise_huge_pages(memory, size);
        blocks_.push_back({memory, size, blockAlignment});
        nextBlock_ = size * 2;
        free_ = static_cast<std::byte *>(memory);
        left_ = size;
        return allocate(bytes, alignment);
    }
    void *result = free_ + padding;
    free_ += padding + bytes;
    left_ -= padding + bytes;
    return result;
}

void MonotonicArena::release() noexcept {
    for (const Block &block : blocks_) {
        ::operator delete (block.memory, std::align_val_t{block.alignment});
    }
    blocks_.clear();
    free_ = nullptr;
    left_ = 0;
    nextBlock_ = firstBlock_;
}

}  // namespace tarvex
