// Row-vector transforms (p' = p * M) and their VRML 97 Transform equivalent.
//
// VRML composes a Transform as T * C * R * SR * S * SR^-1 * C^-1 on column vectors. For the affine
// part A (column form, the transpose of M's upper 3x3) a singular value decomposition
// A = U S V^T with det U = det V = +1 gives R = U V^T, SR = V, scale = S exactly, shear included:
// (U V^T) V S V^T = U S V^T. The decomposition is one-sided Jacobi on A itself rather than an
// eigen-decomposition of A^T A, which would square the condition number and lose the small
// scale factors of strongly anisotropic matrices.
#include "geometry/matrix.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarvex::geometry {
namespace {

using Mat3 = double[3][3];

// Axis and angle of a proper rotation given in column form, via its unit quaternion (Shepperd's
// branch on the largest component, so that angles near pi keep their axis).
Rotation axis_angle(const Mat3 &r) {
    const double trace = r[0][0] + r[1][1] + r[2][2];
    double w, x, y, z;
    if (trace > 0) {
        const double s = 2 * std::sqrt(1 + trace);
        w = s / 4;
        x = (r[2][1] - r[1][2]) / s;
        y = (r[0][2] - r[2][0]) / s;
        z = (r[1][0] - r[0][1]) / s;
    } else if (r[0][0] >= r[1][1] && r[0][0] >= r[2][2]) {
        const double s = 2 * std::sqrt(std::max(0.0, 1 + r[0][0] - r[1][1] - r[2][2]));
        w = (r[2][1] - r[1][2]) / s;
        x = s / 4;
        y = (r[0][1] + r[1][0]) / s;
        z = (r[0][2] + r[2][0]) / s;
    } else if (r[1][1] >= r[2][2]) {
        const double s = 2 * std::sqrt(std::max(0.0, 1 + r[1][1] - r[0][0] - r[2][2]));
        w = (r[0][2] - r[2][0]) / s;
        x = (r[0][1] + r[1][0]) / s;
        y = s / 4;
        z = (r[1][2] + r[2][1]) / s;
    } else {
        const double s = 2 * std::sqrt(std::max(0.0, 1 + r[2][2] - r[0][0] - r[1][1]));
        w = (r[1][0] - r[0][1]) / s;
        x = (r[0][2] + r[2][0]) / s;
        y = (r[1][2] + r[2][1]) / s;
        z = s / 4;
    }
    const double vlen = std::sqrt(x * x + y * y + z * z);
    if (!(vlen > 1e-15) || !std::isfinite(vlen)) return {};  // identity: 0 0 1 0
    const double angle = 2 * std::atan2(vlen, w);
    return {static_cast<float>(x / vlen), static_cast<float>(y / vlen),
            static_cast<float>(z / vlen), static_cast<float>(angle)};
}

// One-sided Jacobi: rotates the columns of `w` (and of `v`, starting at the identity) until they
// are mutually orthogonal, so that A V = W with W's column lengths the singular values.
void jacobi_svd(Mat3 &w, Mat3 &v) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) v[i][j] = i == j ? 1 : 0;
    for (int sweep = 0; sweep < 64; ++sweep) {
        bool rotated = false;
        for (int p = 0; p < 2; ++p) {
            for (int q = p + 1; q < 3; ++q) {
                double alpha = 0, beta = 0, gamma = 0;
                for (int i = 0; i < 3; ++i) {
                    alpha += w[i][p] * w[i][p];
                    beta += w[i][q] * w[i][q];
                    gamma += w[i][p] * w[i][q];
                }
                if (!(std::abs(gamma) > 1e-15 * std::sqrt(alpha * beta))) continue;
                rotated = true;
                const double zeta = (beta - alpha) / (2 * gamma);
                const double t =
                    std::copysign(1.0, zeta) / (std::abs(zeta) + std::hypot(1.0, zeta));
                const double c = 1 / std::sqrt(1 + t * t), s = c * t;
                for (int i = 0; i < 3; ++i) {
                    const double wp = w[i][p], wq = w[i][q];
                    w[i][p] = c * wp - s * wq;
                    w[i][q] = s * wp + c * wq;
                    const double vp = v[i][p], vq = v[i][q];
                    v[i][p] = c * vp - s * vq;
                    v[i][q] = s * vp + c * vq;
                }
            }
        }
        if (!rotated) break;
    }
}

double det(const Mat3 &a) {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
           a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}

bool fits_float(double x) {
    return std::isfinite(x) && std::abs(x) <= std::numeric_limits<float>::max();
}

}  // namespace

Matrix4 multiply(const Matrix4 &a, const Matrix4 &b) {
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

Matrix4 translation(double x, double y, double z) {
    Matrix4 r;
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

Matrix4 scaling(double x, double y, double z) {
    Matrix4 r;
    r.m[0][0] = x;
    r.m[1][1] = y;
    r.m[2][2] = z;
    return r;
}

Matrix4 rotation(double ax, double ay, double az, double angle) {
    const double len = std::sqrt(ax * ax + ay * ay + az * az);
    if (!(len > 0) || !std::isfinite(len)) return {};
    const double x = ax / len, y = ay / len, z = az / len;
    const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    // Rodrigues' formula in column form, stored transposed for row vectors.
    const double col[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                              {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                              {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
    Matrix4 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[i][j] = col[j][i];
    return r;
}

Matrix4 rotation_about(double px, double py, double pz, double ax, double ay, double az,
                       double angle) {
    return multiply(multiply(translation(-px, -py, -pz), rotation(ax, ay, az, angle)),
                    translation(px, py, pz));
}

// (w, x, y, z) = (cos θ/2, sin θ/2 · axis) is the right-hand turn by θ about the axis, the same
// turn rotation() gives: the usual unit-quaternion reading, under which a Quaternion and a
// RotateAboutAxis written with the same angle agree. A row-vector layout does not change which
// turn a quaternion names, only how the matrix is stored (transposed).
Matrix4 quaternion(double w, double x, double y, double z) {
    const double len = std::sqrt(w * w + x * x + y * y + z * z);
    if (!(len > 0) || !std::isfinite(len)) return {};
    w /= len;
    x /= len;
    y /= len;
    z /= len;
    const double col[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                              {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                              {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
    Matrix4 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[i][j] = col[j][i];
    return r;
}

double determinant3(const Matrix4 &m) {
    const Mat3 a = {{m.m[0][0], m.m[0][1], m.m[0][2]},
                    {m.m[1][0], m.m[1][1], m.m[1][2]},
                    {m.m[2][0], m.m[2][1], m.m[2][2]}};
    return det(a);
}

bool is_affine(const Matrix4 &m) {
    return m.m[0][3] == 0 && m.m[1][3] == 0 && m.m[2][3] == 0 && m.m[3][3] == 1;
}

bool is_finite(const Matrix4 &m) {
    for (const auto &row : m.m)
        for (double x : row)
            if (!std::isfinite(x)) return false;
    return true;
}

bool decompose(const Matrix4 &m, Transform &out) {
    if (!is_finite(m)) return false;
    if (m.m[0][3] != 0 || m.m[1][3] != 0 || m.m[2][3] != 0 || m.m[3][3] == 0) return false;
    // A last column (0 0 0 w) is the affine matrix M / w after the perspective divide.
    const double inv_w = 1 / m.m[3][3];
    Mat3 w;  // A = upper 3x3 of M^T, divided by w
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) w[i][j] = m.m[j][i] * inv_w;
    const double d = det(w);
    if (!(d > 0) || !std::isfinite(d)) return false;

    Mat3 v;
    jacobi_svd(w, v);
    double sigma[3];
    for (int j = 0; j < 3; ++j) {
        sigma[j] = std::sqrt(w[0][j] * w[0][j] + w[1][j] * w[1][j] + w[2][j] * w[2][j]);
        if (!(sigma[j] > 0) || !fits_float(sigma[j]) ||
            static_cast<float>(sigma[j]) < std::numeric_limits<float>::min())
            return false;
        for (int i = 0; i < 3; ++i) w[i][j] /= sigma[j];  // w becomes U
    }
    if (det(v) < 0) {  // det A > 0, so U and V share the sign; make both proper rotations
        for (int i = 0; i < 3; ++i) {
            v[i][0] = -v[i][0];
            w[i][0] = -w[i][0];
        }
    }
    Mat3 r;  // U V^T
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[i][j] = w[i][0] * v[j][0] + w[i][1] * v[j][1] + w[i][2] * v[j][2];

    const double t[3] = {m.m[3][0] * inv_w, m.m[3][1] * inv_w, m.m[3][2] * inv_w};
    for (double x : t)
        if (!fits_float(x)) return false;

    Transform result;
    result.translation = {static_cast<float>(t[0]), static_cast<float>(t[1]),
                          static_cast<float>(t[2])};
    result.rotation = axis_angle(r);
    result.scale = {static_cast<float>(sigma[0]), static_cast<float>(sigma[1]),
                    static_cast<float>(sigma[2])};
    result.scale_orientation = axis_angle(v);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            if (!fits_float(m.m[i][j])) return false;
            result.matrix[i][j] = static_cast<float>(m.m[i][j]);
        }
    out = result;
    return true;
}

Vec3 apply_point(const Matrix4 &m, Vec3 p) {
    double r[4];
    for (int j = 0; j < 4; ++j)
        r[j] = p.x * m.m[0][j] + p.y * m.m[1][j] + p.z * m.m[2][j] + m.m[3][j];
    if (r[3] == 0 || !std::isfinite(r[3])) return p;
    const Vec3 q{static_cast<float>(r[0] / r[3]), static_cast<float>(r[1] / r[3]),
                 static_cast<float>(r[2] / r[3])};
    if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) return p;
    return q;
}

Vec3 apply_normal(const Matrix4 &m, Vec3 n) {
    // Row-vector normals map by the inverse transpose; the cofactor matrix is that times det, so
    // multiplying by the sign of det keeps outward normals outward under mirroring.
    const auto &a = m.m;
    const double cof[3][3] = {
        {a[1][1] * a[2][2] - a[1][2] * a[2][1], a[1][2] * a[2][0] - a[1][0] * a[2][2],
         a[1][0] * a[2][1] - a[1][1] * a[2][0]},
        {a[0][2] * a[2][1] - a[0][1] * a[2][2], a[0][0] * a[2][2] - a[0][2] * a[2][0],
         a[0][1] * a[2][0] - a[0][0] * a[2][1]},
        {a[0][1] * a[1][2] - a[0][2] * a[1][1], a[0][2] * a[1][0] - a[0][0] * a[1][2],
         a[0][0] * a[1][1] - a[0][1] * a[1][0]}};
    const double sign = determinant3(m) < 0 ? -1 : 1;
    double r[3];
    for (int j = 0; j < 3; ++j) r[j] = sign * (n.x * cof[0][j] + n.y * cof[1][j] + n.z * cof[2][j]);
    const double len = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
    if (!(len > 1e-300) || !std::isfinite(len)) return n;
    return {static_cast<float>(r[0] / len), static_cast<float>(r[1] / len),
            static_cast<float>(r[2] / len)};
}

}  // namespace tarvex::geometry
