// Quaternion arithmetic and the conversion of a 3DMF camera placement into a VRML orientation.
//
// Every step is in double precision in a fixed operation order; the orientations written depend
// on it to the bit, so this module must be compiled without floating-point contraction.
#pragma once

namespace tarvex {

struct _Vector {
    double x = 0, y = 0, z = 0;
};

struct _Quaternion {
    _Vector vect_part;
    double real_part = 0;
};

// The rotation about the unit `axis` whose angle has the cosine `cos_angle` (clamped to [-1, 1];
// not-a-number counts as 1).
_Quaternion Build_Rotate_Quaternion(_Vector axis, double cos_angle);

// The rotation that turns the default VRML view (looking along -z, up +y) into the camera at
// `pos` looking at `at` with the up vector `up`. `up` is scaled to unit length in place when its
// length is usable. Degenerate cameras (a zero or non-finite view direction or up vector) get a
// defined orientation, never not-a-number.
void Convert_Camera_Model(const _Vector &pos, const _Vector &at, _Vector &up, _Vector &res_axis,
                          double &res_angle);

}  // namespace tarvex
