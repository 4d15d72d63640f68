// How the VRML-family writers (VRML 97, X3D) keep a face or line set readable when its arrays
// disagree: an index outside its array is written as 0, and colours, normals or texture
// coordinates that cannot match the faces are left out. Shared so that both encodings of a
// scene hold the same geometry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvex::writers {

// Faces as the writer found them while writing the coordinate index: what the other index
// arrays must match.
struct FaceIndexShape {
    std::size_t faces = 0;
    std::size_t indexLength = 0;  // coordIndex entries written, separators included
    std::int64_t maxIndex = -1;   // the largest point index used
};

// Whether per-vertex or per-face values (groups of `groupSize` floats) with their `index` fit
// `faces`. Empty values do not fit; the caller counts a misfit as dropped.
inline bool attribute_fits(std::span<const float> values, std::size_t groupSize,
                           std::span<const std::int32_t> index, bool perVertex,
                           const FaceIndexShape &faces) {
    if (values.empty()) return false;
    const std::size_t count = values.size() / groupSize;
    if (index.empty()) {
        return perVertex ? faces.maxIndex < static_cast<std::int64_t>(count) : count >= faces.faces;
    }
    return count > 0 &&
           (perVertex ? index.size() >= faces.indexLength : index.size() >= faces.faces);
}

// An index value as written: separators (-1, where allowed) kept, values outside 0..limit-1
// made 0 and counted in `bad`.
inline std::int32_t repaired_index(std::int32_t value, std::int64_t limit, bool separators,
                                   std::uint64_t &bad) {
    if (separators && value == -1) return value;
    if (value < 0 || value >= limit) {
        ++bad;
        return 0;
    }
    return value;
}

}  // namespace tarvex::writers
