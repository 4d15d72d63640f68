// Camera placement to VRML orientation, by composing two rotations: one that turns the default
// view direction (0, 0, -1) onto the camera's, and a roll about that direction that turns the
// default up vector, as the first rotation left it, onto the camera's up vector.
//
// Built with -ffp-contract=off: the results must match this operation order to the bit.
#include "core/orient.h"

#include <cmath>

namespace tarvex {
namespace {

constexpr double kParallelEpsilon = 1e-8;

double squaredLength(const _Vector &w) {
    return (w.x * w.x + w.y * w.y) + w.z * w.z;
}

// A length that can be normalised by: not zero, not infinite, not a number.
bool usableSquaredLength(double squared) {
    return squared != 0.0 && std::isfinite(squared);
}

// Multiplies by the reciprocal of the length rather than dividing by it, so that the results
// are those of the established computation.
void normalise(_Vector &w) {
    const double length = std::sqrt(squaredLength(w));
    const double temp_d = 1.0 / length;
    w.x = w.x * temp_d;
    w.y = w.y * temp_d;
    w.z = w.z * temp_d;
}

// The Hamilton product q1·q2; formed in a local so that a caller may store it into an operand.
_Quaternion QQMul(const _Quaternion *q1, const _Quaternion *q2) {
    _Quaternion res;
    const _Vector &a = q1->vect_part;
    const _Vector &b = q2->vect_part;
    res.real_part = q2->real_part * q1->real_part - ((b.x * a.x + b.y * a.y) + b.z * a.z);
    res.vect_part = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    _Vector temp_v{q2->real_part * a.x, q2->real_part * a.y, q2->real_part * a.z};
    res.vect_part = {res.vect_part.x + temp_v.x, res.vect_part.y + temp_v.y,
                     res.vect_part.z + temp_v.z};
    temp_v = {q1->real_part * b.x, q1->real_part * b.y, q1->real_part * b.z};
    res.vect_part = {res.vect_part.x + temp_v.x, res.vect_part.y + temp_v.y,
                     res.vect_part.z + temp_v.z};
    return res;
}

// The axis is the vector part scaled by 1/sin(half angle), not normalised, and an angle above pi
// is kept as it is. A real part pushed past +-1 by rounding is clamped so that acos never
// yields not-a-number.
void Quaternion_To_Axis_Angle(const _Quaternion *q, _Vector *axis, double *angle) {
    const double w = std::fmax(-1.0, std::fmin(1.0, q->real_part));
    const double half_angle = std::acos(w);
    const double sin_half_angle = std::sin(half_angle);
    *angle = 2.0 * half_angle;
    if (sin_half_angle < kParallelEpsilon && sin_half_angle > -kParallelEpsilon) {
        *axis = {1, 0, 0};
    } else {
        const double r = 1.0 / sin_half_angle;
        *axis = {r * q->vect_part.x, r * q->vect_part.y, r * q->vect_part.z};
    }
}

}  // namespace

_Quaternion Build_Rotate_Quaternion(_Vector axis, double cos_angle) {
    if (!(cos_angle <= 1.0)) cos_angle = 1.0;
    if (-1.0 > cos_angle) cos_angle = -1.0;
    const double angle = std::acos(cos_angle);
    const double sin_half_angle = std::sin(angle / 2.0);
    const double cos_half_angle = std::cos(angle / 2.0);
    return {{sin_half_angle * axis.x, sin_half_angle * axis.y, sin_half_angle * axis.z},
            cos_half_angle};
}

void Convert_Camera_Model(const _Vector &pos, const _Vector &at, _Vector &up, _Vector &res_axis,
                          double &res_angle) {
    _Vector n{at.x - pos.x, at.y - pos.y, at.z - pos.z};
    if (!usableSquaredLength(squaredLength(n))) {
        // No view direction: keep the VRML default orientation.
        res_axis = {0, 0, 1};
        res_angle = 0;
        return;
    }
    normalise(n);

    // Without a usable up vector there is no roll to compute: the first rotation alone stands.
    bool rollDefined = usableSquaredLength(squaredLength(up));
    _Vector v;
    if (rollDefined) {
        normalise(up);
        const double temp_d = (n.x * up.x + n.y * up.y) + n.z * up.z;
        const _Vector temp_v{temp_d * n.x, temp_d * n.y, temp_d * n.z};
        v = {up.x - temp_v.x, up.y - temp_v.y, up.z - temp_v.z};
        rollDefined = usableSquaredLength(squaredLength(v));
        if (rollDefined) normalise(v);
    }

    _Quaternion norm_quat;
    _Vector norm_axis{n.y, -n.x, 0};
    if (kParallelEpsilon > squaredLength(norm_axis)) {  // n within ~1e-4 rad of the z axis
        norm_quat = n.z > 0 ? _Quaternion{{0, 1, 0}, 0} : _Quaternion{{0, 0, 0}, 1};
    } else {
        normalise(norm_axis);
        norm_quat = Build_Rotate_Quaternion(norm_axis, -n.z);
    }
    if (!rollDefined) {
        Quaternion_To_Axis_Angle(&norm_quat, &res_axis, &res_angle);
        return;
    }

    const _Quaternion inv_norm_quat{
        {-1.0 * norm_quat.vect_part.x, -1.0 * norm_quat.vect_part.y, -1.0 * norm_quat.vect_part.z},
        norm_quat.real_part};
    const _Quaternion y_quat{{0, 1, 0}, 0};
    _Quaternion new_y_quat = QQMul(&norm_quat, &y_quat);
    new_y_quat = QQMul(&new_y_quat, &inv_norm_quat);
    const _Vector new_y = new_y_quat.vect_part;

    _Vector temp_v{new_y.y * v.z - new_y.z * v.y, new_y.z * v.x - new_y.x * v.z,
                   new_y.x * v.y - new_y.y * v.x};
    if (kParallelEpsilon > squaredLength(temp_v)) {
        // new_y and v are (anti)parallel: any axis perpendicular to v will do for the roll.
        temp_v = {0, -v.z, v.y};
        if (kParallelEpsilon > squaredLength(temp_v)) temp_v = {v.z, 0, -v.x};
    }
    normalise(temp_v);
    const _Quaternion rot_y_quat =
        Build_Rotate_Quaternion(temp_v, (v.x * new_y.x + v.y * new_y.y) + v.z * new_y.z);
    const _Quaternion rot_quat = QQMul(&rot_y_quat, &norm_quat);
    Quaternion_To_Axis_Angle(&rot_quat, &res_axis, &res_angle);
}

}  // namespace tarvex
