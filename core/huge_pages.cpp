#include "core/huge_pages.h"

#if defined(__linux__)
#include <sys/mman.h>

#include <cstdint>
#endif

namespace tarvex {

#if defined(__linux__)
void advise_huge_pages(const void *data, std::size_t bytes) {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (start + bytes) & ~(kHugePage - 1);
    if (last > first) madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
}
#else
void advise_huge_pages(const void *, std::size_t) {}
#endif

}  // namespace tarvex
