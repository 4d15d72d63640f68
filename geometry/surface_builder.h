// Shared pieces of the tessellators: appending points and faces to a Surface, parameter ranges
// and segment counts from a SubdivisionStyle, and a parametric grid.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/dvec.h"
#include "geometry/tessellation.h"

namespace tarvex::geometry {

// No tessellated direction gets more segments than this, and no grid more cells than
// kMaxGridCells, whatever the file asks for: memory stays bounded on hostile subdivisions.
inline constexpr int kMaxSegments = 1024;
inline constexpr long kMaxGridCells = 1L << 16;

class SurfaceBuilder {
  public:
    explicit SurfaceBuilder(Surface &surface) : s_(surface) {}

    // Room for `points` more points and `triangles` more triangles, so that a grid known in
    // advance is built without regrowing its arrays.
    void reserve(std::size_t points, std::size_t triangles);
    std::int32_t point(DVec p, DVec unit_normal, double u, double v);
    // A triangle of earlier points, skipped when two of its corners coincide.
    void triangle(std::int32_t a, std::int32_t b, std::int32_t c, Part part);
    // A triangle wound so that its geometric normal agrees with `facing`.
    void triangle_facing(std::int32_t a, std::int32_t b, std::int32_t c, DVec facing, Part part);
    DVec position(std::int32_t i) const;

  private:
    bool same_position(std::int32_t a, std::int32_t b) const;
    Surface &s_;
};

// A parameter range: `start` and a non-negative `span`.
struct Range {
    double start = 0, span = 1;
    double at(int i, int n) const { return start + span * i / n; }
    double end() const { return start + span; }
};
// Angular parameters (u = 1 is a full turn): min > max wraps through 1; min == max, or a
// non-finite bound, is a full turn.
Range angular_range(float min, float max);
// Parameters in [0, 1] (Ellipsoid, Cylinder, Cone and Disk v): clamped, ordered; an empty range
// is the full one.
Range unit_range(float min, float max);

// Segments for `span` of a parameter whose full range `s_count` (a Constant subdivision count)
// divides: at least `min_full` for the full range, at least 1 for any part of it.
int constant_segments(float s_count, double span, int min_full);
// Segments so that a curve of `curve_length` has edges of about `edge` (a WorldSpace
// subdivision); `fallback` when the length or edge is unusable.
int world_segments(double curve_length, float edge, int min_count, int fallback);
// Shrinks both counts in proportion when their product exceeds kMaxGridCells.
void limit_grid(int &nu, int &nv);
// Records the grid in `out` as asked for, then keeps `detail` of its cells (both counts shrink
// by its square root), never going below `min_u` x `min_v` unless they already were.
void coarsen_grid(int &nu, int &nv, double detail, int min_u, int min_v, Surface &out);

// The length of the polyline through `n` + 1 samples of `curve` over t in [0, 1].
template <class Curve>
double polyline_length(Curve curve, int n = 32) {
    double len = 0;
    DVec prev = curve(0.0);
    for (int i = 1; i <= n; ++i) {
        const DVec p = curve(static_cast<double>(i) / n);
        len += length(p - prev);
        prev = p;
    }
    return std::isfinite(len) ? len : 0;
}

struct Sample {
    DVec p, n;  // position and (not necessarily unit) normal
};

// An (nu + 1) x (nv + 1) grid of eval(u, v) samples, two triangles a cell, counter-clockwise
// in (u, v) order unless `reverse`. Normals are eval's, negated when `reverse`, falling back to
// `fallback` where eval's normal vanishes.
template <class Eval>
void add_grid(SurfaceBuilder &b, int nu, int nv, Range ur, Range vr, bool reverse, DVec fallback,
              Eval eval) {
    b.reserve(static_cast<std::size_t>(nu + 1) * (nv + 1), 2 * static_cast<std::size_t>(nu) * nv);
    std::vector<std::int32_t> prev(nu + 1), cur(nu + 1);
    for (int j = 0; j <= nv; ++j) {
        const double v = vr.at(j, nv);
        for (int i = 0; i <= nu; ++i) {
            const double u = ur.at(i, nu);
            Sample s = eval(u, v);
            if (reverse) s.n = -s.n;
            cur[i] = b.point(s.p, unit_or(s.n, fallback), u, v);
        }
        if (j > 0) {
            for (int i = 0; i < nu; ++i) {
                const std::int32_t a = prev[i], c = prev[i + 1], d = cur[i + 1], e = cur[i];
                if (reverse) {
                    b.triangle(a, d, c, Part::face);
                    b.triangle(a, e, d, Part::face);
                } else {
                    b.triangle(a, c, d, Part::face);
                    b.triangle(a, d, e, Part::face);
                }
            }
        }
        prev.swap(cur);
    }
}

}  // namespace tarvex::geometry
