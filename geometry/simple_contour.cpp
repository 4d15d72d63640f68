// Whether one contour may be written as one polygon. VRML leaves a face that crosses itself
// undefined, and viewers fill it differently; such faces are triangulated by the even-odd rule
// instead, which is what the 3DMF format means by them.
#include <algorithm>
#include <array>
#include <cmath>

#include "geometry/tessellation.h"

namespace tarvex::geometry {
namespace {

struct P {
    double x, y;
};

double orient(P a, P b, P c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool within(P a, P b, P p) {  // p on the line through a and b: is it inside their box?
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}

// Closed segments ab and cd share a point.
bool meet(P a, P b, P c, P d) {
    const double o1 = orient(a, b, c), o2 = orient(a, b, d), o3 = orient(c, d, a),
                 o4 = orient(c, d, b);
    if (((o1 > 0 && o2 < 0) || (o1 < 0 && o2 > 0)) && ((o3 > 0 && o4 < 0) || (o3 < 0 && o4 > 0)))
        return true;
    return (o1 == 0 && within(a, b, c)) || (o2 == 0 && within(a, b, d)) ||
           (o3 == 0 && within(c, d, a)) || (o4 == 0 && within(c, d, b));
}

}  // namespace

bool contour_is_simple(std::span<const float> points, std::span<const std::uint32_t> contour,
                       bool *convex) {
    const std::size_t n = contour.size();
    if (convex) *convex = false;
    if (n > kMaxSimpleContour) return false;
    const std::size_t count = points.size() / 3;
    for (const std::uint32_t i : contour)
        if (i >= count) return false;
    std::array<double, 3> normal{0, 0, 0};
    for (std::size_t k = 0; k < n; ++k) {
        const float *a = &points[3 * std::size_t{contour[k]}];
        const float *b = &points[3 * std::size_t{contour[(k + 1) % n]}];
        normal[0] += (double(a[1]) - b[1]) * (double(a[2]) + b[2]);
        normal[1] += (double(a[2]) - b[2]) * (double(a[0]) + b[0]);
        normal[2] += (double(a[0]) - b[0]) * (double(a[1]) + b[1]);
    }
    if (n == 3) {  // a triangle cannot be misread, whatever its corners
        if (convex) *convex = true;
        return true;
    }
    const std::array<double, 3> size{std::abs(normal[0]), std::abs(normal[1]), std::abs(normal[2])};
    if (!(size[0] + size[1] + size[2] > 0)) return false;  // no area, or not a finite one
    const int drop = size[0] >= size[1] && size[0] >= size[2] ? 0 : (size[1] >= size[2] ? 1 : 2);
    const int u = (drop + 1) % 3, v = (drop + 2) % 3;
    std::array<P, kMaxSimpleContour> p;
    for (std::size_t k = 0; k < n; ++k) {
        const float *q = &points[3 * std::size_t{contour[k]}];
        p[k] = P{q[u], q[v]};
    }
    // A simple contour whose corners all turn the way it winds; straight corners fan harmlessly.
    bool turns_one_way = true;
    for (std::size_t i = 0; i < n; ++i)
        turns_one_way &= orient(p[(i + n - 1) % n], p[i], p[(i + 1) % n]) * normal[drop] >= 0;
    for (std::size_t i = 0; i < n; ++i) {
        const P a = p[i], b = p[(i + 1) % n];
        if (a.x == b.x && a.y == b.y) return false;  // a corner given twice
        // The next edge may only share its first corner: folding back along this one is a spike.
        const P c = p[(i + 2) % n];
        if (orient(a, b, c) == 0 && (c.x - b.x) * (a.x - b.x) + (c.y - b.y) * (a.y - b.y) > 0)
            return false;
        for (std::size_t j = i + 2; j < n; ++j) {
            if (i == 0 && j == n - 1) continue;  // neighbours across the closing corner
            if (meet(a, b, p[j], p[(j + 1) % n])) return false;
        }
    }
    if (convex) *convex = turns_one_way;
    return true;
}

}  // namespace tarvex::geometry
