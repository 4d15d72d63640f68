#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "geometry/plane.h"

namespace tarvex::geometry {

// Fills the even-odd region of `loops` (indices into `pos`, either winding) with triangles,
// appending their corners' indices to `out`, counter-clockwise. The loops must not cross or
// touch, and no index may appear twice among them; what they enclose may nest to any depth.
// Each step adds to `work`. False, with `out` untouched, once `work` passes `budget` or where
// the loops are not as required (rounding may show it): the caller then takes another way.
bool fill_by_monotone_sweep(std::span<const P2> pos,
                            std::span<const std::vector<std::uint32_t>> loops,
                            std::vector<std::uint32_t> &out, long &work, long budget);

}  // namespace tarvex::geometry
