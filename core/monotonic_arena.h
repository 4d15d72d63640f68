// Memory handed out from blocks that grow in size and are given back all at once: for objects
// that are never freed one by one, which spares an allocation each.
#pragma once

#include <cstddef>
#include <vector>

namespace tarvex {

class MonotonicArena {
  public:
    // Blocks start at `firstBlock` bytes and then double. With `hugePages`, blocks of a huge
    // page or more are aligned to huge pages, which the system is asked to use.
    explicit MonotonicArena(std::size_t firstBlock = 4096, bool hugePages = false)
        : firstBlock_(firstBlock), nextBlock_(firstBlock), hugePages_(hugePages) {}
    MonotonicArena(const MonotonicArena &) = delete;
    MonotonicArena &operator=(const MonotonicArena &) = delete;
    ~MonotonicArena() { release(); }

    // Throws std::bad_alloc when memory runs out.
    void *allocate(std::size_t bytes, std::size_t alignment);
    // Gives back every block; the next one starts small again.
    void release() noexcept;

  private:
    struct Block {
        void *memory;
        std::size_t bytes;
        std::size_t alignment;
    };
    std::vector<Block> blocks_;
    std::byte *free_ = nullptr;  // the unused rest of the last block
    std::size_t left_ = 0;
    std::size_t firstBlock_;
    std::size_t nextBlock_;
    bool hugePages_;
};

// A standard container's allocator that takes from an arena and never gives back.
template <class T>
struct ArenaAllocator {
    using value_type = T;
    MonotonicArena *arena;

    explicit ArenaAllocator(MonotonicArena &a) noexcept : arena(&a) {}
    template <class U>
    ArenaAllocator(const ArenaAllocator<U> &other) noexcept : arena(other.arena) {}
    T *allocate(std::size_t n) {
        return static_cast<T *>(arena->allocate(n * sizeof(T), alignof(T)));
    }
    void deallocate(T *, std::size_t) noexcept {}
    template <class U>
    bool operator==(const ArenaAllocator<U> &other) const noexcept {
        return arena == other.arena;
    }
};

}  // namespace tarvex
