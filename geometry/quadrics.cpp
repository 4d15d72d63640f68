// Ellipsoid, Cylinder, Cone, Disk and Torus from their parametric forms. With L = [major minor
// orientation] as columns, each surface is L applied to a parameter-space shape plus the origin,
// so the outward normal is cof(L) times the parameter-space normal (cof(L) = det(L) L^-T): it is
// what ∂P/∂u × ∂P/∂v gives, without the vanishing factor at poles and apexes. When det(L) < 0 the
// axis triple is left-handed and the winding and normals are reversed to keep facing out.
#include <cmath>
#include <numbers>
#include <vector>

#include "geometry/surface_builder.h"

namespace tarvex::geometry {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr DVec kUp{0, 0, 1};

struct Axes {
    DVec major, minor, axis, origin;
    explicit Axes(const Quadric &q)
        : major(dvec(q.major)),
          minor(dvec(q.minor)),
          axis(dvec(q.orientation)),
          origin(dvec(q.origin)) {}
    DVec ring(double u) const {  // cos(2πu) major + sin(2πu) minor
        return std::cos(kTwoPi * u) * major + std::sin(kTwoPi * u) * minor;
    }
    DVec tangent(double u) const {  // d ring / du, up to the factor 2π
        return -std::sin(kTwoPi * u) * major + std::cos(kTwoPi * u) * minor;
    }
    DVec cofactor(DVec q) const {  // cof(L) q
        return q.x * cross(minor, axis) + q.y * cross(axis, major) + q.z * cross(major, minor);
    }
    bool left_handed() const { return det3(major, minor, axis) < 0; }
};

// Exact zero at the ends of the range, so that the points of a pole or apex coincide and their
// empty triangles are dropped.
double sin_pi(double v) {
    return v == 0 || v == 1 ? 0 : std::sin(std::numbers::pi * v);
}

struct Counts {
    int nu, nv;
};

// Segment counts for a surface: Constant and ScreenSpace count per full range; WorldSpace
// measures the longest of a few u and v curves of the actual ranges.
template <class Eval>
Counts segment_counts(const Subdivision &s, Range ur, Range vr, int min_u, int min_v, Eval eval,
                      Surface &out) {
    Counts c{};
    if (s.method == Subdivision::Method::world_space) {
        double lu = 0, lv = 0;
        for (double f : {0.0, 0.5, 1.0}) {
            const double v = vr.start + f * vr.span, u = ur.start + f * ur.span;
            lu = std::max(
                lu, polyline_length([&](double t) { return eval(ur.start + t * ur.span, v).p; }));
            lv = std::max(
                lv, polyline_length([&](double t) { return eval(u, vr.start + t * vr.span).p; }));
        }
        c.nu = world_segments(lu, s.u, ur.span >= 1 ? min_u : 1,
                              constant_segments(24, ur.span, min_u));
        c.nv = world_segments(lv, s.u, 1, constant_segments(12, vr.span, min_v));
    } else {
        const bool constant = s.method == Subdivision::Method::constant;
        c.nu = constant_segments(constant ? s.u : 24, ur.span, min_u);
        c.nv = constant_segments(constant ? s.v : 12, vr.span, min_v);
    }
    limit_grid(c.nu, c.nv);
    coarsen_grid(c.nu, c.nv, s.detail, min_u, min_v, out);
    return c;
}

// The unit normal of a cap's plane, spanned by `a` and `b`, on the side `facing` points to.
DVec cap_normal(DVec a, DVec b, DVec facing) {
    DVec n = cross(a, b);
    if (dot(n, facing) < 0) n = -n;
    return unit_or(n, unit_or(facing, kUp));
}

// A fan from `centre` over `ring` (angles in turns give the cap's planar uv).
void add_fan(SurfaceBuilder &b, DVec centre, const std::vector<DVec> &ring,
             const std::vector<double> &angles, DVec normal, Part part) {
    const std::int32_t c = b.point(centre, normal, 0.5, 0.5);
    std::int32_t prev = -1;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const double a = kTwoPi * angles[i];
        const std::int32_t p =
            b.point(ring[i], normal, 0.5 + 0.5 * std::cos(a), 0.5 + 0.5 * std::sin(a));
        if (prev >= 0) b.triangle_facing(c, prev, p, normal, part);
        prev = p;
    }
}

// The band between two matching polylines (a cut from the axis to the surface), uv = (v, 0 on
// the inner line, 1 on the outer).
void add_band(SurfaceBuilder &b, const std::vector<DVec> &inner, const std::vector<DVec> &outer,
              Range vr, DVec normal, Part part) {
    const int n = static_cast<int>(inner.size()) - 1;
    std::int32_t pi = -1, po = -1;
    for (int j = 0; j <= n; ++j) {
        const double v = vr.at(j, n);
        const std::int32_t i = b.point(inner[j], normal, v, 0), o = b.point(outer[j], normal, v, 1);
        if (j > 0) {
            b.triangle_facing(pi, po, o, normal, part);
            b.triangle_facing(pi, o, i, normal, part);
        }
        pi = i;
        po = o;
    }
}

// Caps over a v = const cut: a fan from `centre` over the surface's points at v.
template <class Eval>
void add_v_cap(SurfaceBuilder &b, const Axes &x, DVec centre, double v, int nu, Range ur,
               DVec facing, Part part, Eval eval) {
    std::vector<DVec> ring(nu + 1);
    std::vector<double> angles(nu + 1);
    for (int i = 0; i <= nu; ++i) {
        angles[i] = ur.at(i, nu);
        ring[i] = eval(angles[i], v).p;
    }
    add_fan(b, centre, ring, angles, cap_normal(x.major, x.minor, facing), part);
}

// Interior caps for a partial u range: at each cut the band between the axis (`axis_at(v)`) and
// the surface's meridian, facing away from the surface.
template <class Eval, class AxisAt>
void add_u_cuts(SurfaceBuilder &b, const Axes &x, Range ur, Range vr, int nv, Eval eval,
                AxisAt axis_at) {
    for (int end = 0; end < 2; ++end) {
        const double u = end == 0 ? ur.start : ur.end();
        const DVec facing = end == 0 ? -x.tangent(u) : x.tangent(u);
        std::vector<DVec> inner(nv + 1), outer(nv + 1);
        for (int j = 0; j <= nv; ++j) {
            const double v = vr.at(j, nv);
            inner[j] = axis_at(v);
            outer[j] = eval(u, v).p;
        }
        add_band(b, inner, outer, vr, cap_normal(x.ring(u), x.axis, facing), Part::interior_cap);
    }
}

}  // namespace

Surface tessellate_ellipsoid(const Quadric &q, unsigned caps, Subdivision s) {
    const Axes x(q);
    const Range ur = angular_range(q.u_min, q.u_max), vr = unit_range(q.v_min, q.v_max);
    // origin + sin(πv) ring(u) − cos(πv) orientation: v = 0 at the −orientation pole.
    const auto eval = [&](double u, double v) {
        const double sv = sin_pi(v), cv = std::cos(std::numbers::pi * v);
        const double cu = std::cos(kTwoPi * u), su = std::sin(kTwoPi * u);
        const DVec p{cu * sv, su * sv, -cv};
        return Sample{x.origin + p.x * x.major + p.y * x.minor + p.z * x.axis, x.cofactor(p)};
    };
    Surface out;
    const Counts n = segment_counts(s, ur, vr, 3, 2, eval, out);
    if (s.count_only) return out;
    SurfaceBuilder b(out);
    add_grid(b, n.nu, n.nv, ur, vr, x.left_handed(), kUp, eval);
    const auto axis_at = [&](double v) {
        return x.origin - std::cos(std::numbers::pi * v) * x.axis;
    };
    if ((caps & caps_interior) && ur.span < 1) add_u_cuts(b, x, ur, vr, n.nv, eval, axis_at);
    if ((caps & caps_bottom) && vr.start > 0)
        add_v_cap(b, x, axis_at(vr.start), vr.start, n.nu, ur, -x.axis, Part::bottom_cap, eval);
    if ((caps & caps_top) && vr.end() < 1)
        add_v_cap(b, x, axis_at(vr.end()), vr.end(), n.nu, ur, x.axis, Part::top_cap, eval);
    return out;
}

Surface tessellate_cylinder(const Quadric &q, unsigned caps, Subdivision s) {
    const Axes x(q);
    const Range ur = angular_range(q.u_min, q.u_max), vr = unit_range(q.v_min, q.v_max);
    // origin + ring(u) + v orientation.
    const auto eval = [&](double u, double v) {
        const double cu = std::cos(kTwoPi * u), su = std::sin(kTwoPi * u);
        return Sample{x.origin + cu * x.major + su * x.minor + v * x.axis, x.cofactor({cu, su, 0})};
    };
    Surface out;
    const Counts n = segment_counts(s, ur, vr, 3, 1, eval, out);
    if (s.count_only) return out;
    SurfaceBuilder b(out);
    add_grid(b, n.nu, n.nv, ur, vr, x.left_handed(), kUp, eval);
    const auto axis_at = [&](double v) { return x.origin + v * x.axis; };
    if ((caps & caps_interior) && ur.span < 1) add_u_cuts(b, x, ur, vr, n.nv, eval, axis_at);
    if (caps & caps_bottom)
        add_v_cap(b, x, axis_at(vr.start), vr.start, n.nu, ur, -x.axis, Part::bottom_cap, eval);
    if (caps & caps_top)
        add_v_cap(b, x, axis_at(vr.end()), vr.end(), n.nu, ur, x.axis, Part::top_cap, eval);
    return out;
}

Surface tessellate_cone(const Quadric &q, unsigned caps, Subdivision s) {
    const Axes x(q);
    const Range ur = angular_range(q.u_min, q.u_max), vr = unit_range(q.v_min, q.v_max);
    // origin + (1 − v) ring(u) + v orientation: the apex at v = 1.
    const auto eval = [&](double u, double v) {
        const double cu = std::cos(kTwoPi * u), su = std::sin(kTwoPi * u);
        return Sample{x.origin + (1 - v) * (cu * x.major + su * x.minor) + v * x.axis,
                      x.cofactor({cu, su, 1})};
    };
    Surface out;
    const Counts n = segment_counts(s, ur, vr, 3, 1, eval, out);
    if (s.count_only) return out;
    SurfaceBuilder b(out);
    add_grid(b, n.nu, n.nv, ur, vr, x.left_handed(), kUp, eval);
    const auto axis_at = [&](double v) { return x.origin + v * x.axis; };
    if ((caps & caps_interior) && ur.span < 1) add_u_cuts(b, x, ur, vr, n.nv, eval, axis_at);
    if (caps & caps_bottom)
        add_v_cap(b, x, axis_at(vr.start), vr.start, n.nu, ur, -x.axis, Part::bottom_cap, eval);
    // A cone has no top; one cut short of its apex is closed when asked to.
    if ((caps & caps_top) && vr.end() < 1)
        add_v_cap(b, x, axis_at(vr.end()), vr.end(), n.nu, ur, x.axis, Part::top_cap, eval);
    return out;
}

Surface tessellate_disk(const Quadric &q, Subdivision s) {
    const Axes x(q);
    const Range ur = angular_range(q.u_min, q.u_max), vr = unit_range(q.v_min, q.v_max);
    const DVec front = unit_or(cross(x.major, x.minor), kUp);
    // origin + v ring(u): v = 0 is the centre. ∂P/∂u × ∂P/∂v points to −(major × minor), so the
    // grid is wound the other way to face the front.
    const auto eval = [&](double u, double v) { return Sample{x.origin + v * x.ring(u), -front}; };
    Surface out;
    const Counts n = segment_counts(s, ur, vr, 3, 1, eval, out);
    if (s.count_only) return out;
    SurfaceBuilder b(out);
    add_grid(b, n.nu, n.nv, ur, vr, true, front, eval);
    return out;
}

Surface tessellate_torus(const Quadric &q, unsigned caps, Subdivision s) {
    const Axes x(q);
    const Range ur = angular_range(q.u_min, q.u_max), vr = angular_range(q.v_min, q.v_max);
    // The tube is an ellipse about the ring point: ratio |orientation| along the ring's radial
    // direction, |orientation| along the orientation. v = 0 is the tube's outer equator and v
    // grows towards +orientation.
    double k = std::abs(static_cast<double>(q.ratio)) * length(x.axis);
    if (!std::isfinite(k)) k = 0;
    const bool left = x.left_handed();
    const auto eval = [&](double u, double v) {
        const DVec r = x.ring(u), dr = kTwoPi * x.tangent(u);
        const double rl = length(r);
        const DVec rh = rl > 1e-300 ? (1 / rl) * r : DVec{};
        const DVec drh = rl > 1e-300 ? (1 / rl) * (dr - dot(rh, dr) * rh) : DVec{};
        const double cv = std::cos(kTwoPi * v), sv = std::sin(kTwoPi * v);
        const DVec tube = k * cv * rh + sv * x.axis;
        const DVec pu = dr + k * cv * drh;
        const DVec pv = kTwoPi * (-k * sv * rh + cv * x.axis);
        DVec n = cross(pu, pv);
        if (!(length(n) > 1e-12 * (length(pu) * length(pv)))) n = left ? -tube : tube;
        return Sample{x.origin + r + tube, n};
    };
    Surface out;
    const Counts n = segment_counts(s, ur, vr, 3, 3, eval, out);
    if (s.count_only) return out;
    SurfaceBuilder b(out);
    add_grid(b, n.nu, n.nv, ur, vr, left, kUp, eval);
    if ((caps & caps_interior) && ur.span < 1) {
        // Each cut is the tube's cross-section: a fan from the ring point.
        for (int end = 0; end < 2; ++end) {
            const double u = end == 0 ? ur.start : ur.end();
            const DVec facing = end == 0 ? -x.tangent(u) : x.tangent(u);
            std::vector<DVec> ring(n.nv + 1);
            std::vector<double> angles(n.nv + 1);
            for (int j = 0; j <= n.nv; ++j) {
                angles[j] = vr.at(j, n.nv);
                ring[j] = eval(u, angles[j]).p;
            }
            add_fan(b, x.origin + x.ring(u), ring, angles, cap_normal(x.ring(u), x.axis, facing),
                    Part::interior_cap);
        }
    }
    return out;
}

}  // namespace tarvex::geometry
