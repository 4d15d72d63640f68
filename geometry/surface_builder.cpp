#include "geometry/surface_builder.h"

#include <algorithm>

namespace tarvex::geometry {

void SurfaceBuilder::reserve(std::size_t points, std::size_t triangles) {
    s_.coords.reserve(s_.coords.size() + 3 * points);
    s_.normals.reserve(s_.normals.size() + 3 * points);
    s_.uvs.reserve(s_.uvs.size() + 2 * points);
    s_.coord_index.reserve(s_.coord_index.size() + 4 * triangles);
    s_.face_part.reserve(s_.face_part.size() + triangles);
    s_.face_source.reserve(s_.face_source.size() + triangles);
}

std::int32_t SurfaceBuilder::point(DVec p, DVec n, double u, double v) {
    const auto index = static_cast<std::int32_t>(s_.coords.size() / 3);
    s_.coords.insert(s_.coords.end(),
                     {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
    s_.normals.insert(s_.normals.end(),
                      {static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)});
    s_.uvs.insert(s_.uvs.end(), {static_cast<float>(u), static_cast<float>(v)});
    return index;
}

DVec SurfaceBuilder::position(std::int32_t i) const {
    const float *p = &s_.coords[3 * static_cast<std::size_t>(i)];
    return {p[0], p[1], p[2]};
}

bool SurfaceBuilder::same_position(std::int32_t a, std::int32_t b) const {
    const float *p = &s_.coords[3 * static_cast<std::size_t>(a)];
    const float *q = &s_.coords[3 * static_cast<std::size_t>(b)];
    return p[0] == q[0] && p[1] == q[1] && p[2] == q[2];
}

void SurfaceBuilder::triangle(std::int32_t a, std::int32_t b, std::int32_t c, Part part) {
    if (same_position(a, b) || same_position(b, c) || same_position(a, c)) return;
    s_.coord_index.insert(s_.coord_index.end(), {a, b, c, -1});
    s_.face_part.push_back(part);
    s_.face_source.push_back(0);
}

void SurfaceBuilder::triangle_facing(std::int32_t a, std::int32_t b, std::int32_t c, DVec facing,
                                     Part part) {
    const DVec pa = position(a);
    const DVec n = cross(position(b) - pa, position(c) - pa);
    if (dot(n, facing) < 0)
        triangle(a, c, b, part);
    else
        triangle(a, b, c, part);
}

Range angular_range(float min, float max) {
    if (!std::isfinite(min) || !std::isfinite(max) || min == max) return {};
    if (max > min) return {min, std::min(1.0, static_cast<double>(max) - min)};
    double span = std::fmod(static_cast<double>(max) - min, 1.0) + 1;  // in (0, 1]
    return {min, span};
}

Range unit_range(float min, float max) {
    if (!std::isfinite(min) || !std::isfinite(max)) return {};
    const double lo = std::clamp(static_cast<double>(std::min(min, max)), 0.0, 1.0);
    const double hi = std::clamp(static_cast<double>(std::max(min, max)), 0.0, 1.0);
    if (!(hi > lo)) return {};
    return {lo, hi - lo};
}

int constant_segments(float s_count, double span, int min_full) {
    double n = std::isfinite(s_count) ? std::round(s_count) : min_full;
    n = std::clamp(n, static_cast<double>(min_full), static_cast<double>(kMaxSegments));
    // Spans come from float bounds (0.6f is 0.6000000238): a tolerance keeps 30 x 0.6 at 18.
    return static_cast<int>(std::clamp(std::ceil(n * span - 1e-4), 1.0, double{kMaxSegments}));
}

int world_segments(double curve_length, float edge, int min_count, int fallback) {
    if (!(edge > 0) || !std::isfinite(edge) || !std::isfinite(curve_length)) return fallback;
    const double n = std::ceil(curve_length / edge);
    return static_cast<int>(std::clamp(n, static_cast<double>(min_count), double{kMaxSegments}));
}

void limit_grid(int &nu, int &nv) {
    const long cells = static_cast<long>(nu) * nv;
    if (cells <= kMaxGridCells) return;
    const double f = std::sqrt(static_cast<double>(kMaxGridCells) / cells);
    nu = std::max(1, static_cast<int>(nu * f));
    nv = std::max(1, static_cast<int>(nv * f));
}

void coarsen_grid(int &nu, int &nv, double detail, int min_u, int min_v, Surface &out) {
    out.asked_points = static_cast<std::uint64_t>(nu + 1) * static_cast<std::uint64_t>(nv + 1);
    out.asked_triangles = 2 * static_cast<std::uint64_t>(nu) * static_cast<std::uint64_t>(nv);
    if (!(detail < 1)) return;
    const double f = std::sqrt(std::max(detail, 0.0));
    nu = std::max(std::min(nu, min_u), static_cast<int>(nu * f));
    nv = std::max(std::min(nv, min_v), static_cast<int>(nv * f));
}

}  // namespace tarvex::geometry
