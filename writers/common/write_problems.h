// What the VRML 97 and X3D writers count as they mend a scene, so that both encodings of it say
// the same about it.
#pragma once

#include <cstdint>

namespace tarvex::writers {

// What the writer had to mend so that the world stays readable. A scene built correctly has none
// of these; each counts one value or object.
struct WriteProblems {
    std::uint64_t non_finite_numbers = 0;  // nan or infinity, written as 0
    std::uint64_t bad_indices = 0;         // out of range (or negative other than -1): written as 0
    std::uint64_t dropped = 0;  // left out: a missing node, shape or texture, a USE cycle, an
                                // array that cannot match its faces or points, a partial group
    bool any() const { return non_finite_numbers != 0 || bad_indices != 0 || dropped != 0; }
};

}  // namespace tarvex::writers
