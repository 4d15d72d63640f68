// Backing large arrays with huge pages where the system offers them.
#pragma once

#include <cstddef>
#include <vector>

namespace tarvex {

// Asks the system to back the whole 2 MiB pages inside [data, data + bytes) with huge pages.
// A hint only: it changes no contents and may do nothing.
void advise_huge_pages(const void *data, std::size_t bytes);

// The same for the reserved storage of `array`.
template <class T>
void advise_huge_pages(const std::vector<T> &array) {
    advise_huge_pages(array.data(), array.capacity() * sizeof(T));
}

}  // namespace tarvex
