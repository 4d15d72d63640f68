#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "surface_checks.h"

namespace {

using namespace geometry_test;
namespace g = tarvex::geometry;
constexpr double kPi = std::numbers::pi;

// Every face is wound counter-clockwise around its vertices' normals, which are unit length.
void expect_wound_with_normals(const g::Surface &s) {
    for (const Face &f : faces(s)) {
        const V wound = face_normal(s, f);
        if (norm(wound) < 1e-9) continue;
        for (std::int32_t i : f.index) {
            EXPECT_NEAR(norm(normal(s, i)), 1, 1e-5);
            EXPECT_GT(dot(wound, normal(s, i)), 0) << "face part " << int(f.part);
        }
    }
}

TEST(quadric, ellipsoid_with_skew_axes_lies_on_its_surface_and_faces_out) {
    // Non-orthogonal axes, right-handed and (major/minor swapped) left-handed. The surface is
    // {origin + L q : |q| = 1} with L = [major minor orientation]; its outward normal is the
    // gradient of |L^-1 (p - origin)|^2, i.e. L^-T q.
    const g::Vec3 m1{2, 0, 0}, m2{0.5, 1, 0}, axis{0.3, 0.2, 1.5}, origin{1, -1, 2};
    for (bool swap : {false, true}) {
        const g::Quadric q{.orientation = axis,
                           .major = swap ? m2 : m1,
                           .minor = swap ? m1 : m2,
                           .origin = origin};
        const g::Surface s = g::tessellate_ellipsoid(q, g::caps_none, {});
        const V a = g::dvec(q.major), b = g::dvec(q.minor), c = g::dvec(q.orientation),
                o = g::dvec(q.origin);
        const double det = dot(a, cross(b, c));
        ASSERT_FALSE(s.coord_index.empty());
        bool north = false, south = false;
        for (std::size_t i = 0; i < s.coords.size() / 3; ++i) {
            const V d = point(s, i) - o;
            const V qv{dot(d, cross(b, c)) / det, dot(d, cross(c, a)) / det,
                       dot(d, cross(a, b)) / det};
            EXPECT_NEAR(norm(qv), 1, 1e-5);
            const V grad =
                (1 / det) * (qv.x * cross(b, c) + qv.y * cross(c, a) + qv.z * cross(a, b));
            const V n = normal(s, i);
            EXPECT_NEAR(norm(cross(n, grad)), 0, 1e-4 * norm(grad));
            EXPECT_GT(dot(n, grad), 0);
            north |= norm(d - c) < 1e-5;
            south |= norm(d + c) < 1e-5;
        }
        EXPECT_TRUE(north && south);
        expect_wound_with_normals(s);
    }
}

TEST(quadric, cylinder_caps_lie_in_the_end_planes) {
    // A slanted axis.
    const g::Quadric q{
        .orientation = {0.5, 2, 0}, .major = {1, 0, 0}, .minor = {0, 0, 1}, .origin = {1, 2, 3}};
    const g::Surface s = g::tessellate_cylinder(q, g::caps_top | g::caps_bottom, {});
    const V o = g::dvec(q.origin), a = g::dvec(q.orientation);
    const V plane{0, 1, 0};  // major x minor, on the orientation's side
    int top = 0, bottom = 0;
    for (const Face &f : faces(s)) {
        for (std::int32_t i : f.index) {
            const V p = point(s, i);
            if (f.part == g::Part::top_cap) {
                EXPECT_NEAR(dot(p - (o + a), plane), 0, 1e-5);
                EXPECT_NEAR(normal(s, i).y, 1, 1e-6);
            } else if (f.part == g::Part::bottom_cap) {
                EXPECT_NEAR(dot(p - o, plane), 0, 1e-5);
                EXPECT_NEAR(normal(s, i).y, -1, 1e-6);
            } else {  // the side: radius 1 around the slanted axis, within the end planes
                const double t = (p.y - o.y) / 2;
                EXPECT_NEAR(norm(p - (o + t * a) - V{0, 0, 0}), 1, 1e-5);
                EXPECT_GE(t, -1e-6);
                EXPECT_LE(t, 1 + 1e-6);
            }
        }
        top += f.part == g::Part::top_cap;
        bottom += f.part == g::Part::bottom_cap;
    }
    EXPECT_GT(top, 0);
    EXPECT_GT(bottom, 0);
    expect_wound_with_normals(s);
}

TEST(quadric, torus_partial_u_covers_exactly_its_angle) {
    // Ring radius 2 in the XY plane, tube 1 across (ratio 2 x |orientation| 0.5) and 0.5 along z.
    struct Case {
        float u_min, u_max;
        double from, to;  // degrees
    };
    const Case cases[] = {{0.1f, 0.35f, 36, 126}, {0.9f, 0.1f, -36, 36}};
    for (const Case &c : cases) {
        const g::Quadric q{.orientation = {0, 0, 0.5},
                           .major = {2, 0, 0},
                           .minor = {0, 2, 0},
                           .origin = {},
                           .u_min = c.u_min,
                           .u_max = c.u_max,
                           .ratio = 2};
        const g::Surface s = g::tessellate_torus(q, g::caps_interior, {});
        double lo = 1e9, hi = -1e9;
        int caps = 0;
        for (const Face &f : faces(s)) {
            for (std::int32_t i : f.index) {
                const V p = point(s, i);
                const double deg = std::atan2(p.y, p.x) * 180 / kPi;
                lo = std::min(lo, deg);
                hi = std::max(hi, deg);
                if (f.part == g::Part::interior_cap) {
                    EXPECT_TRUE(std::abs(deg - c.from) < 1e-3 || std::abs(deg - c.to) < 1e-3);
                    continue;
                }
                const double rho = std::hypot(p.x, p.y);
                EXPECT_NEAR(std::pow(rho - 2, 2) + std::pow(p.z / 0.5, 2), 1, 1e-4);
                const V centre{2 * p.x / rho, 2 * p.y / rho, 0};
                EXPECT_GT(dot(normal(s, i), p - centre), 0);
            }
            caps += f.part == g::Part::interior_cap;
        }
        EXPECT_NEAR(lo, c.from, 1e-3);
        EXPECT_NEAR(hi, c.to, 1e-3);
        EXPECT_GT(caps, 0);
        expect_wound_with_normals(s);
    }
}

TEST(quadric, cone_wrapping_partial_with_bottom_and_interior_caps) {
    // q-cone-capattr-a: u from 0.85 through 1 to 0.15, v up to 0.6.
    const g::Quadric q{.orientation = {0, 4, 0},
                       .major = {0, 0, 1},
                       .minor = {3, 0, 0},
                       .origin = {0, -2, 0},
                       .u_min = 0.85f,
                       .u_max = 0.15f,
                       .v_max = 0.6f};
    const g::Surface s = g::tessellate_cone(q, g::caps_bottom | g::caps_interior, {});
    const V axis{0, 1, 0};
    // The cut planes hold the axis and ring(u) = (3 sin 2πu, 0, cos 2πu).
    const double u1 = 2 * kPi * 0.15;
    const V cut_a = cross(V{-3 * std::sin(u1), 0, std::cos(u1)}, axis);
    const V cut_b = cross(V{3 * std::sin(u1), 0, std::cos(u1)}, axis);
    int counts[4] = {};
    for (const Face &f : faces(s)) {
        ++counts[int(f.part)];
        for (std::int32_t i : f.index) {
            const V p = point(s, i) - V{0, -2, 0};
            const double v = p.y / 4;
            EXPECT_GE(v, -1e-6);
            EXPECT_LE(v, 0.6 + 1e-6);
            if (f.part == g::Part::face) {
                EXPECT_NEAR(std::pow(p.x / 3, 2) + p.z * p.z, (1 - v) * (1 - v), 1e-5);
                EXPECT_LE(std::abs(std::atan2(p.x / 3, p.z)), u1 + 1e-5);
            } else if (f.part == g::Part::bottom_cap) {
                EXPECT_NEAR(p.y, 0, 1e-6);
                EXPECT_NEAR(normal(s, i).y, -1, 1e-6);
            } else if (f.part == g::Part::interior_cap) {
                EXPECT_TRUE(std::abs(dot(p, cut_a)) < 1e-4 || std::abs(dot(p, cut_b)) < 1e-4);
            }
        }
    }
    EXPECT_GT(counts[int(g::Part::face)], 0);
    EXPECT_GT(counts[int(g::Part::bottom_cap)], 0);
    EXPECT_GT(counts[int(g::Part::interior_cap)], 0);
    EXPECT_EQ(counts[int(g::Part::top_cap)], 0);
    expect_wound_with_normals(s);
}

TEST(quadric, disk_v_runs_from_centre_to_rim_and_faces_major_cross_minor) {
    // major x minor = +y
    const g::Quadric q{.major = {1, 0, 0}, .minor = {0, 0, -1}, .origin = {}, .v_min = 0.5f};
    const g::Surface s = g::tessellate_disk(q, {});
    ASSERT_FALSE(s.coord_index.empty());
    for (std::size_t i = 0; i < s.coords.size() / 3; ++i) {
        const V p = point(s, i);
        EXPECT_NEAR(p.y, 0, 1e-7);
        EXPECT_GE(std::hypot(p.x, p.z), 0.5 - 1e-6);
        EXPECT_LE(std::hypot(p.x, p.z), 1 + 1e-6);
        EXPECT_NEAR(normal(s, i).y, 1, 1e-6);
        EXPECT_NEAR(std::hypot(p.x, p.z), s.uvs[2 * i + 1], 1e-6);  // v = radius here
    }
    expect_wound_with_normals(s);
}

TEST(quadric, segment_counts_follow_subdivision_and_stay_bounded) {
    g::Quadric q{.orientation = {0, 0, 2}, .major = {1, 0, 0}, .minor = {0, 1, 0}, .origin = {}};
    using M = g::Subdivision::Method;
    struct Case {
        g::Subdivision s;
        std::size_t triangles;  // 0: only bounded
        float v_max = 1;
    };
    const Case cases[] = {
        {{M::constant, 8, 4}, 8 * 4 * 2},
        {{M::constant, 30, 30}, 30 * 18 * 2, 0.6f},  // 30 x 0.6f is 18, not 19
        // circumference of the 32-gon 6.273 / 0.5 -> 13 around, height 2 / 0.5 -> 4 along
        {{M::world_space, 0.5f, 0}, 13 * 4 * 2},
        {{M::screen_space, 3, 3}, 24 * 12 * 2},
        {{M::constant, NAN, -5}, 3 * 1 * 2},
        {{M::constant, 1e9f, 1e9f}, 0},
        {{M::world_space, 1e-30f, 0}, 0},
    };
    for (const Case &c : cases) {
        q.v_max = c.v_max;
        const g::Surface s = g::tessellate_cylinder(q, g::caps_none, c.s);
        const std::size_t n = faces(s).size();
        if (c.triangles)
            EXPECT_EQ(n, c.triangles);
        else
            EXPECT_TRUE(n > 0 && n <= 2 * (std::size_t{1} << 16)) << n;
    }
}

TEST(quadric, detail_thins_every_grid_in_proportion_and_counting_builds_nothing) {
    g::Quadric q;
    using M = g::Subdivision::Method;
    g::Subdivision s{M::constant, 40, 20};
    const g::Surface full = g::tessellate_ellipsoid(q, g::caps_none, s);
    EXPECT_EQ(full.asked_points, 41u * 21u);
    EXPECT_EQ(full.asked_triangles, 2u * 40u * 20u);
    s.detail = 0.25;  // half the segments each way
    const g::Surface quarter = g::tessellate_ellipsoid(q, g::caps_none, s);
    EXPECT_EQ(quarter.asked_points, full.asked_points);  // asked for the same
    EXPECT_EQ(quarter.coords.size() / 3, 21u * 11u);
    EXPECT_LE(faces(quarter).size(), faces(full).size() / 4);
    s.detail = 1e-9;  // never below the fewest segments a closed surface needs
    EXPECT_EQ(g::tessellate_ellipsoid(q, g::caps_none, s).coords.size() / 3, 4u * 3u);
    s.detail = 1;
    s.count_only = true;
    for (const g::Surface &c :
         {g::tessellate_ellipsoid(q, g::caps_none, s), g::tessellate_torus(q, g::caps_interior, s),
          g::tessellate_cylinder(q, g::caps_top, s), g::tessellate_cone(q, g::caps_bottom, s),
          g::tessellate_disk(q, s)}) {
        EXPECT_TRUE(c.coords.empty() && c.coord_index.empty());
        EXPECT_GT(c.asked_triangles, 0u);
    }
}

TEST(quadric, degenerate_axes_give_finite_output) {
    g::Quadric zero;
    zero.orientation = zero.major = zero.minor = {0, 0, 0};
    g::Quadric flat;  // orientation in the plane of the radii
    flat.orientation = {1, 0, 0};
    flat.u_max = 0.5f;
    for (const g::Quadric &q : {zero, flat}) {
        const unsigned all = g::caps_top | g::caps_bottom | g::caps_interior;
        for (const g::Surface &s :
             {g::tessellate_ellipsoid(q, all, {}), g::tessellate_cylinder(q, all, {}),
              g::tessellate_cone(q, all, {}), g::tessellate_disk(q, {}),
              g::tessellate_torus(q, all, {})}) {
            for (float x : s.coords) EXPECT_TRUE(std::isfinite(x));
            for (std::size_t i = 0; i < s.normals.size() / 3; ++i)
                EXPECT_NEAR(norm(normal(s, i)), 1, 1e-5);
            EXPECT_EQ(s.face_part.size(), faces(s).size());
        }
    }
}

}  // namespace
