// Helpers for checking tessellated surfaces: faces, positions, normals.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/dvec.h"
#include "geometry/tessellation.h"

namespace geometry_test {

// The library's own double-precision vector and its operations.
using V = tarvex::geometry::DVec;
using tarvex::geometry::cross;
using tarvex::geometry::dot;
inline double norm(V a) {
    return tarvex::geometry::length(a);
}

struct Face {
    std::vector<std::int32_t> index;
    tarvex::geometry::Part part;
    std::uint32_t source;
};

inline std::vector<Face> faces(const tarvex::geometry::Surface &s) {
    std::vector<Face> out;
    Face f;
    for (std::int32_t i : s.coord_index) {
        if (i >= 0) {
            f.index.push_back(i);
            continue;
        }
        f.part = s.face_part.at(out.size());
        f.source = s.face_source.at(out.size());
        out.push_back(f);
        f.index.clear();
    }
    return out;
}

inline V point(const tarvex::geometry::Surface &s, std::int32_t i) {
    return {s.coords.at(3 * i), s.coords.at(3 * i + 1), s.coords.at(3 * i + 2)};
}
inline V normal(const tarvex::geometry::Surface &s, std::int32_t i) {
    return {s.normals.at(3 * i), s.normals.at(3 * i + 1), s.normals.at(3 * i + 2)};
}
// Twice the vector area of a face (Newell), pointing to where it winds counter-clockwise.
inline V face_normal(const tarvex::geometry::Surface &s, const Face &f) {
    V n;
    for (std::size_t k = 0; k < f.index.size(); ++k)
        n = n + cross(point(s, f.index[k]), point(s, f.index[(k + 1) % f.index.size()]));
    return n;
}

}  // namespace geometry_test
