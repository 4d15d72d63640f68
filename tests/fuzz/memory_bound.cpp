// Counts the bytes the heap holds, for MemoryBound: through the sanitizer's allocation hooks in an
// AddressSanitizer build (which owns operator new), else by replacing operator new and delete.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "world_check.h"

#if defined(__SANITIZE_ADDRESS__)
#define TARVEX_FUZZ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVEX_FUZZ_ASAN 1
#endif
#endif

namespace {

// Signed: what was allocated before counting began may be freed while it runs.
std::int64_t live = 0;
std::int64_t peak = 0;
bool counting = false;

// Bytes allocated, or freed when negative.
void count(std::int64_t bytes) {
    live += bytes;
    if (live > peak) peak = live;
}

}  // namespace

#if defined(TARVEX_FUZZ_ASAN)

extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void *, std::size_t),
                                              void (*)(const volatile void *));
std::size_t __sanitizer_get_allocated_size(const volatile void *);
}

namespace {
void onMalloc(const volatile void *, std::size_t bytes) {
    count(static_cast<std::int64_t>(bytes));
}
void onFree(const volatile void *p) {
    if (p) count(-static_cast<std::int64_t>(__sanitizer_get_allocated_size(p)));
}
[[maybe_unused]] const bool hooked =
    (counting = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0);
}  // namespace

#elif defined(__GLIBC__)
#include <malloc.h>

namespace {
void *take(std::size_t bytes, std::size_t alignment = 0) {
    if (bytes == 0) bytes = 1;
    // aligned_alloc wants a multiple of the alignment.
    void *p = alignment == 0
                  ? std::malloc(bytes)
                  : std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment);
    if (!p) throw std::bad_alloc();
    count(static_cast<std::int64_t>(malloc_usable_size(p)));
    return p;
}
void give(void *p) noexcept {
    if (!p) return;
    count(-static_cast<std::int64_t>(malloc_usable_size(p)));
    std::free(p);
}
[[maybe_unused]] const bool replaced = (counting = true);
}  // namespace

// The library's array forms call these.
void *operator new(std::size_t bytes) {
    return take(bytes);
}
void operator delete(void *p) noexcept {
    give(p);
}
void operator delete(void *p, std::size_t) noexcept {
    give(p);
}
// The scene store's blocks are aligned.
void *operator new(std::size_t bytes, std::align_val_t alignment) {
    return take(bytes, static_cast<std::size_t>(alignment));
}
void operator delete(void *p, std::align_val_t) noexcept {
    give(p);
}

#endif

namespace tarvex::fuzz {
namespace {
// The scene builder lets a file of any size tessellate surfaces into a world of up to about 80 MB
// (a 2 KB file of finely subdivided tori), and the world's text grows by doubling. Beyond that,
// a run may take this much per input byte (References may repeat the scene 50 times).
constexpr std::int64_t kFixedAllowance = std::int64_t{320} << 20;
constexpr std::int64_t kPerInputByte = 8192;
}  // namespace

MemoryBound::MemoryBound(std::size_t inputSize) : inputSize_(inputSize), start_(live) {
    peak = live;
}

MemoryBound::~MemoryBound() {
    if (!counting) return;
    const std::int64_t used = peak - start_;
    if (std::getenv("TARVEX_FUZZ_MEMORY_REPORT"))
        std::fprintf(stderr, "memory: input %zu, peak %lld\n", inputSize_,
                     static_cast<long long>(used));
    if (used > kFixedAllowance + kPerInputByte * static_cast<std::int64_t>(inputSize_))
        fail("a run took more memory than its input allows");
}

}  // namespace tarvex::fuzz
