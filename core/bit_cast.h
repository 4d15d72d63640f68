// The bits of one value read as another type of the same size, as std::bit_cast does; that is
// missing from some standard libraries this code builds with (WebAssembly's).
#pragma once

#include <cstring>
#include <type_traits>

namespace tarvex {

template <class To, class From>
To bit_cast(const From &from) noexcept {
    static_assert(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<From> &&
                  std::is_trivially_copyable_v<To>);
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
}

}  // namespace tarvex
