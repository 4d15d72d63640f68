#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "geometry/plane.h"

namespace tarvex::geometry {

// Cuts the polygon `poly` (indices into `pos`, counter-clockwise, simple or weakly simple) into
// triangles, appending their corners' values from `poly` to `out`, counter-clockwise. Corners
// straight on or doubling back are dropped; where rounding leaves no clean ear, the most convex
// corner is cut. Each step looked at adds to `work`; false, with part of the polygon cut, once
// it passes `budget`.
bool ear_clip(std::span<const P2> pos, std::span<const std::uint32_t> poly,
              std::vector<std::uint32_t> &out, long &work, long budget);

}  // namespace tarvex::geometry
