// Ellipse: origin + cos(2πu) major + sin(2πu) minor, sampled as a polyline.
#include <numbers>

#include "geometry/surface_builder.h"

namespace tarvex::geometry {

Polyline tessellate_ellipse(Vec3 major, Vec3 minor, Vec3 origin, float u_min, float u_max,
                            Subdivision s) {
    const DVec a = dvec(major), b = dvec(minor), o = dvec(origin);
    const Range ur = angular_range(u_min, u_max);
    const auto at = [&](double u) {
        const double t = 2 * std::numbers::pi * u;
        return o + std::cos(t) * a + std::sin(t) * b;
    };
    const bool closed = ur.span >= 1;
    int n;
    if (s.method == Subdivision::Method::world_space) {
        const double len =
            polyline_length([&](double t) { return at(ur.start + t * ur.span); }, 64);
        n = world_segments(len, s.u, closed ? 3 : 1, constant_segments(24, ur.span, 3));
    } else {
        n = constant_segments(s.method == Subdivision::Method::constant ? s.u : 24, ur.span, 3);
    }
    Polyline out;
    const int points = closed ? n : n + 1;
    out.coords.reserve(3 * static_cast<std::size_t>(points));
    for (int i = 0; i < points; ++i) {
        const DVec p = at(ur.at(i, n));
        out.coords.insert(out.coords.end(), {static_cast<float>(p.x), static_cast<float>(p.y),
                                             static_cast<float>(p.z)});
        out.coord_index.push_back(i);
    }
    if (closed) out.coord_index.push_back(0);
    out.coord_index.push_back(-1);
    return out;
}

}  // namespace tarvex::geometry
