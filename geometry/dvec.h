// Double-precision 3-vectors for the tessellators: the scene keeps floats, but sums of many
// trigonometric terms and cross products of long axes need the extra digits.
#pragma once

#include <cmath>

#include "geometry/maths_types.h"

namespace tarvex::geometry {

struct DVec {
    double x = 0, y = 0, z = 0;
};

inline DVec dvec(Vec3 v) {
    return {v.x, v.y, v.z};
}
inline DVec operator+(DVec a, DVec b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline DVec operator-(DVec a, DVec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline DVec operator-(DVec a) {
    return {-a.x, -a.y, -a.z};
}
inline DVec operator*(double s, DVec a) {
    return {s * a.x, s * a.y, s * a.z};
}
inline double dot(DVec a, DVec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline DVec cross(DVec a, DVec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(DVec a) {
    return std::sqrt(dot(a, a));
}
inline double det3(DVec a, DVec b, DVec c) {
    return dot(a, cross(b, c));
}

// `a` scaled to unit length, or `fallback` when `a` is too short (or not finite) to have a
// direction; `fallback` must itself be unit length.
inline DVec unit_or(DVec a, DVec fallback) {
    const double len = length(a);
    if (!(len > 1e-300) || !std::isfinite(len)) return fallback;
    return (1.0 / len) * a;
}

}  // namespace tarvex::geometry
