// The hash of maps and sets keyed by std::string that are searched with a std::string_view
// (with std::equal_to<>), so that looking up a piece of the input makes no string.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace tarvex {

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>{}(text);
    }
};

}  // namespace tarvex
