#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "geometry/plane.h"

namespace tarvex::geometry {

// Cells of a sparse grid whose cells are about as wide as the items binned in them are long:
// a polygon's outline touches a few cells per edge wherever it runs, and an empty cell costs
// nothing.
class SparseGrid {
  public:
    // Cells as wide as the items' mean extent, but no wider than a grid of about `count` cells
    // over the box from `lo` to `hi` would have (long items in a small box). False where the
    // items are points.
    bool size(P2 lo, P2 hi, double mean_extent, std::size_t count) {
        lo_ = lo;
        const double dense =
            std::max(hi.x - lo.x, hi.y - lo.y) / std::sqrt(static_cast<double>(count));
        const double width = std::min(mean_extent, dense);
        if (!(width > 0) || !std::isfinite(width)) return false;
        inv_ = 1 / width;
        return std::isfinite(inv_);
    }
    std::uint32_t cx(double x) const {
        return static_cast<std::uint32_t>(std::clamp((x - lo_.x) * inv_, 0.0, 4.0e9));
    }
    std::uint32_t cy(double y) const {
        return static_cast<std::uint32_t>(std::clamp((y - lo_.y) * inv_, 0.0, 4.0e9));
    }
    static std::uint64_t key(std::uint32_t x, std::uint32_t y) {
        return std::uint64_t{y} << 32 | x;
    }
    // How many cells a box covers.
    std::uint64_t cells(double x0, double y0, double x1, double y1) const {
        return (std::uint64_t{cx(x1)} - cx(x0) + 1) * (std::uint64_t{cy(y1)} - cy(y0) + 1);
    }

  private:
    P2 lo_{};
    double inv_ = 0;
};

}  // namespace tarvex::geometry
