// Ear clipping of a simple polygon, corners binned in a sparse grid so that a polygon of many
// corners does not test every corner for every ear.
#include "geometry/ear_clip.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "geometry/sparse_grid.h"

namespace tarvex::geometry {

bool ear_clip(std::span<const P2> pos, std::span<const std::uint32_t> poly,
              std::vector<std::uint32_t> &out, long &work, long budget) {
    bool exhausted = false;
    const auto spend = [&](long units) {
        work += units;
        exhausted = exhausted || work > budget;
        return !exhausted;
    };
    const auto emit = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        out.insert(out.end(), {a, b, c});
    };
    const std::size_t n = poly.size();
    std::vector<std::size_t> prev(n), next(n);
    for (std::size_t i = 0; i < n; ++i) {
        prev[i] = (i + n - 1) % n;
        next[i] = (i + 1) % n;
    }
    // The corners binned in a sparse grid with cells about as wide as the polygon's edges are
    // long: an ear test looks only at the corners in the cells its triangle's box covers, not
    // at every corner left.
    P2 lo = pos[poly[0]], hi = lo;
    double extent = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const P2 a = pos[poly[i]], b = pos[poly[(i + 1) % n]];
        lo = {std::min(lo.x, a.x), std::min(lo.y, a.y)};
        hi = {std::max(hi.x, a.x), std::max(hi.y, a.y)};
        extent += std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
    }
    SparseGrid grid;
    const bool binned = grid.size(lo, hi, extent / static_cast<double>(n), n);
    std::vector<std::pair<std::uint64_t, std::uint32_t>> corners;  // (cell, corner)
    std::unordered_map<std::uint64_t, std::pair<std::uint32_t, std::uint32_t>> cell_range;
    // Only a corner that is not convex can block an ear: were a convex one inside the ear, a
    // reflex one would be too. Cutting ears only makes the corners beside them more convex, so
    // the reflex corners are listed (and binned) once and the list only shrinks.
    const auto convex = [&](std::size_t r) {
        return orient(pos[poly[prev[r]]], pos[poly[r]], pos[poly[next[r]]]) > 0;
    };
    std::vector<std::uint32_t> reflex;
    for (std::uint32_t r = 0; r < n; ++r)
        if (!convex(r)) reflex.push_back(r);
    if (binned) {
        corners.reserve(reflex.size());
        for (const std::uint32_t i : reflex)
            corners.emplace_back(SparseGrid::key(grid.cx(pos[poly[i]].x), grid.cy(pos[poly[i]].y)),
                                 i);
        std::sort(corners.begin(), corners.end());
        for (std::uint32_t k = 0; k < corners.size(); ++k) {
            auto &range = cell_range.try_emplace(corners[k].first, k, k).first->second;
            range.second = k + 1;
        }
        if (!spend(static_cast<long>(n))) return false;
    }
    std::vector<std::uint8_t> gone(n, 0);
    if (!spend(static_cast<long>(n))) return false;

    std::size_t left = n, cur = 0, idle = 0;
    std::size_t changed = 0;  // corners cut (each may turn its neighbours convex)
    const auto remove = [&](std::size_t i) {
        next[prev[i]] = next[i];
        prev[next[i]] = prev[i];
        gone[i] = 1;
        changed += 3;
        --left;
        idle = 0;
        return next[i];
    };
    // No reflex corner left but the ear's own lies in the ear (corners at its corners' places
    // aside).
    const auto blocks = [&](std::size_t p, std::size_t i, std::size_t q, std::size_t r) {
        if (gone[r] || r == p || r == i || r == q) return false;
        const P2 a = pos[poly[p]], b = pos[poly[i]], c = pos[poly[q]], x = pos[poly[r]];
        if (x == a || x == b || x == c) return false;
        return orient(a, b, x) >= 0 && orient(b, c, x) >= 0 && orient(c, a, x) >= 0 && !convex(r);
    };
    const auto is_ear = [&](std::size_t p, std::size_t i, std::size_t q) {
        const P2 a = pos[poly[p]], b = pos[poly[i]], c = pos[poly[q]];
        const double x0 = std::min({a.x, b.x, c.x}), x1 = std::max({a.x, b.x, c.x}),
                     y0 = std::min({a.y, b.y, c.y}), y1 = std::max({a.y, b.y, c.y});
        // The list drops the corners cut or turned convex once they could make up half of it.
        if (2 * changed > reflex.size()) {
            if (!spend(static_cast<long>(reflex.size()) + 1)) return false;
            std::erase_if(reflex, [&](std::uint32_t r) { return gone[r] || convex(r); });
            changed = 0;
        }
        // A triangle covering more cells than there are reflex corners is tested against each.
        if (!binned || grid.cells(x0, y0, x1, y1) > reflex.size()) {
            if (!spend(static_cast<long>(reflex.size()) + 1)) return false;
            for (const std::uint32_t r : reflex)
                if (blocks(p, i, q, r)) return false;
            return true;
        }
        for (std::uint32_t y = grid.cy(y0); y <= grid.cy(y1); ++y)
            for (std::uint32_t x = grid.cx(x0); x <= grid.cx(x1); ++x) {
                if (!spend(1)) return false;
                const auto found = cell_range.find(SparseGrid::key(x, y));
                if (found == cell_range.end()) continue;
                for (std::uint32_t k = found->second.first; k < found->second.second; ++k) {
                    if (!spend(1)) return false;
                    if (blocks(p, i, q, corners[k].second)) return false;
                }
            }
        return true;
    };

    while (left >= 3) {
        if (exhausted) return false;  // an ear test ran out of budget
        const std::size_t p = prev[cur], q = next[cur];
        const double o = orient(pos[poly[p]], pos[poly[cur]], pos[poly[q]]);
        if (o == 0) {  // straight on or doubling back: no area to lose
            cur = remove(cur);
            continue;
        }
        if (o > 0 && is_ear(p, cur, q)) {
            emit(poly[p], poly[cur], poly[q]);
            // On to the corner after next: staying would fan every later ear out from p, each
            // wider than the last and tested against more corners.
            cur = next[remove(cur)];
            continue;
        }
        cur = q;
        if (++idle <= left) continue;
        // No clean ear (rounding in a weakly simple polygon): clip the most convex corner.
        std::size_t best = SIZE_MAX;
        double best_o = 0;
        std::size_t i = cur;
        for (std::size_t k = 0; k < left; ++k, i = next[i]) {
            const double oi = orient(pos[poly[prev[i]]], pos[poly[i]], pos[poly[next[i]]]);
            if (oi > best_o) {
                best = i;
                best_o = oi;
            }
        }
        if (!spend(static_cast<long>(left))) return false;
        if (best == SIZE_MAX) return true;  // nothing convex is left: only zero or negative area
        emit(poly[prev[best]], poly[best], poly[next[best]]);
        cur = remove(best);
    }
    return true;
}

}  // namespace tarvex::geometry
