#pragma once

#include <cstdint>
#include <span>

#include "geometry/plane.h"

namespace tarvex::geometry {

// An edge between two vertices, numbered into a table of positions that holds each position once.
struct Segment {
    std::uint32_t a, b;
};

// Whether no two `segments` meet anywhere but at an end vertex they share, and those that share
// one only there (not along a line): a sweep over x in O(n log n), where testing every pair whose
// boxes overlap grows with the square of a dense outline's corners. False as soon as any other
// contact is seen; false too for a segment of no length. Each step adds to `work`; false once it
// passes `budget` (the caller tells the two apart by `work`).
bool only_shared_ends_meet(std::span<const P2> pos, std::span<const Segment> segments, long &work,
                           long budget);

}  // namespace tarvex::geometry
