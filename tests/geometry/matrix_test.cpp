#include "geometry/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

using tarvex::geometry::Matrix4;
namespace g = tarvex::geometry;
constexpr double kPi = std::numbers::pi;

void expect_point(g::Vec3 p, double x, double y, double z, double tol = 1e-6) {
    EXPECT_NEAR(p.x, x, tol);
    EXPECT_NEAR(p.y, y, tol);
    EXPECT_NEAR(p.z, z, tol);
}

// The VRML Transform's fields put back together as a row-vector matrix: SR^-1, S, SR, R, T in
// the order they act.
Matrix4 recompose(const g::Transform &t) {
    const auto &r = t.rotation;
    const auto &so = t.scale_orientation;
    Matrix4 m = g::rotation(so.x, so.y, so.z, -so.angle);
    m = g::multiply(m, g::scaling(t.scale.x, t.scale.y, t.scale.z));
    m = g::multiply(m, g::rotation(so.x, so.y, so.z, so.angle));
    m = g::multiply(m, g::rotation(r.x, r.y, r.z, r.angle));
    return g::multiply(m, g::translation(t.translation.x, t.translation.y, t.translation.z));
}

TEST(matrix, rotation_follows_the_right_hand_rule_with_row_vectors) {
    struct Case {
        double ax, ay, az;
        g::Vec3 from;
        double x, y, z;
    };
    const Case cases[] = {
        {0, 0, 1, {1, 0, 0}, 0, 1, 0},  // about Z: x -> y
        {1, 0, 0, {0, 1, 0}, 0, 0, 1},  // about X: y -> z
        {0, 2, 0, {0, 0, 1}, 1, 0, 0},  // about Y: z -> x; axis length does not matter
        {0, 0, 0, {1, 2, 3}, 1, 2, 3},  // zero axis: identity
    };
    for (const Case &c : cases)
        expect_point(g::apply_point(g::rotation(c.ax, c.ay, c.az, kPi / 2), c.from), c.x, c.y, c.z);
    // About (1, 0, 0) instead of the origin: (2, 0, 0) turns to (1, 1, 0).
    expect_point(g::apply_point(g::rotation_about(1, 0, 0, 0, 0, 1, kPi / 2), {2, 0, 0}), 1, 1, 0);
}

TEST(matrix, quaternion_of_half_angle_equals_rotation_by_angle) {
    struct Case {
        double ax, ay, az, angle;
    };
    const Case cases[] = {{0, 0, 1, kPi / 2}, {0, 0, 1, 0.3}, {1, 2, -2, 1.1}, {0, 1, 0, -2.5}};
    for (const Case &c : cases) {
        const double n = std::sqrt(c.ax * c.ax + c.ay * c.ay + c.az * c.az);
        const double s = std::sin(c.angle / 2) / n;
        // Scaled by 3: the quaternion is normalised first.
        const Matrix4 q =
            g::quaternion(3 * std::cos(c.angle / 2), 3 * s * c.ax, 3 * s * c.ay, 3 * s * c.az);
        const Matrix4 r = g::rotation(c.ax, c.ay, c.az, c.angle);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) EXPECT_NEAR(q.m[i][j], r.m[i][j], 1e-12) << i << j;
    }
    expect_point(g::apply_point(g::quaternion(0, 0, 0, 0), {1, 2, 3}), 1, 2, 3);
}

TEST(matrix, decompose_recomposes_affine_matrices_with_shear) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> d(-3, 3);
    int checked = 0;
    while (checked < 200) {
        Matrix4 m;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j) m.m[i][j] = d(rng);
        if (g::determinant3(m) < 0.05) continue;
        g::Transform t;
        ASSERT_TRUE(g::decompose(m, t));
        const Matrix4 back = recompose(t);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) ASSERT_NEAR(back.m[i][j], m.m[i][j], 1e-5) << checked;
        EXPECT_GT(t.scale.x, 0);
        EXPECT_GT(t.scale.y, 0);
        EXPECT_GT(t.scale.z, 0);
        ++checked;
    }
}

TEST(matrix, decompose_handles_special_affine_matrices) {
    Matrix4 w2 = g::translation(2, 4, 6);  // last column 0 0 0 2: the same as halving everything
    w2.m[3][3] = 2;
    for (int i = 0; i < 3; ++i) w2.m[i][i] = 2;
    Matrix4 expect_w2 = g::translation(1, 2, 3);
    const Matrix4 shear = [] {
        Matrix4 m;
        m.m[1][0] = 5;  // x' = x + 5 y
        return m;
    }();
    const struct {
        Matrix4 m, expected;
    } cases[] = {
        {Matrix4{}, Matrix4{}},
        {g::rotation(1, 1, 0, kPi), g::rotation(1, 1, 0, kPi)},  // half turn keeps its axis
        {g::scaling(1e-4, 1, 1e4), g::scaling(1e-4, 1, 1e4)},
        {shear, shear},
        {w2, expect_w2},
    };
    for (const auto &c : cases) {
        g::Transform t;
        ASSERT_TRUE(g::decompose(c.m, t));
        const Matrix4 back = recompose(t);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                EXPECT_NEAR(back.m[i][j], c.expected.m[i][j],
                            1e-5 * std::max(1.0, std::abs(c.expected.m[i][j])));
        EXPECT_EQ(t.matrix[3][3], static_cast<float>(c.m.m[3][3]));
    }
}

TEST(matrix, decompose_refuses_what_vrml_cannot_express) {
    Matrix4 projective;
    projective.m[0][3] = 0.1;
    Matrix4 nan = g::translation(std::nan(""), 0, 0);
    Matrix4 inf = g::scaling(INFINITY, 1, 1);
    const Matrix4 cases[] = {g::scaling(1, 1, -1),
                             g::scaling(1, 0, 1),
                             projective,
                             nan,
                             inf,
                             g::scaling(1e-200, 1e-200, 1e-200)};
    for (const Matrix4 &m : cases) {
        g::Transform t;
        t.translation = {7, 8, 9};
        EXPECT_FALSE(g::decompose(m, t));
        EXPECT_EQ(t.translation.x, 7);  // left alone
    }
}

TEST(matrix, points_and_normals) {
    // Projective: w = 1 + x.
    Matrix4 p;
    p.m[0][3] = 1;
    expect_point(g::apply_point(p, {1, 2, 4}), 0.5, 1, 2);
    expect_point(g::apply_point(p, {-1, 2, 4}), -1, 2, 4);  // w = 0: untouched
    // Plane x + y = 0 stretched by 2 along x: tangent (1,-1,0) -> (2,-1,0), so the normal is
    // proportional to (1, 2, 0).
    const double r5 = 1 / std::sqrt(5.0);
    expect_point(g::apply_normal(g::scaling(2, 1, 1), {0.70710678f, 0.70710678f, 0}), r5, 2 * r5,
                 0);
    // A mirror keeps the outward normal outward: x -> -x.
    expect_point(g::apply_normal(g::scaling(-1, 1, 1), {1, 0, 0}), -1, 0, 0);
    expect_point(g::apply_normal(g::rotation(0, 0, 1, kPi / 2), {1, 0, 0}), 0, 1, 0);
}

}  // namespace
