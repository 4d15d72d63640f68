// Affine and projective transforms as 3DMF writes them: row vectors, p' = p * M, translation in
// the fourth row. Double precision inside; the scene keeps floats.
#pragma once

#include "geometry/maths_types.h"

namespace tarvex::geometry {

struct Matrix4 {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

// a * b: first a, then b (row vectors).
Matrix4 multiply(const Matrix4 &a, const Matrix4 &b);

Matrix4 translation(double x, double y, double z);
Matrix4 scaling(double x, double y, double z);
// Rotation by `angle` radians about the unit-less `axis` (normalised here; a zero axis gives the
// identity), right-hand rule, as 3DMF's Rotate / RotateAboutAxis mean it.
Matrix4 rotation(double ax, double ay, double az, double angle);
// The same rotation about the point (px, py, pz).
Matrix4 rotation_about(double px, double py, double pz, double ax, double ay, double az,
                       double angle);
// A 3DMF Quaternion (w, x, y, z), normalised here; the identity when it is all zero.
Matrix4 quaternion(double w, double x, double y, double z);

double determinant3(const Matrix4 &m);  // of the upper-left 3x3
bool is_affine(const Matrix4 &m);       // last column 0 0 0 1
bool is_finite(const Matrix4 &m);

// VRML Transform fields (translation, rotation, scale, scaleOrientation, center 0) that give
// exactly `m`, and `m` itself in out.matrix. False, leaving `out` alone, when VRML 97 cannot
// express it: a mirroring (negative determinant), singular or projective matrix, or one with
// non-finite entries; the caller then bakes `m` into the geometry.
bool decompose(const Matrix4 &m, Transform &out);

// Point and direction transforms. apply_point divides by w for projective matrices (w = 0
// gives the untransformed point). apply_normal uses the inverse transpose and renormalises.
Vec3 apply_point(const Matrix4 &m, Vec3 p);
Vec3 apply_normal(const Matrix4 &m, Vec3 n);

}  // namespace tarvex::geometry
