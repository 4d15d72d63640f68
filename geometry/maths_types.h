// The maths types the model and the geometry share: single-precision points and VRML's
// rotation and transform fields. The model re-exports them (scene::Vec3 and so on), so the
// geometry does its arithmetic without knowing the scene.
#pragma once

namespace tarvex::geometry {

struct Vec3 {
    float x = 0, y = 0, z = 0;
    bool operator==(const Vec3 &) const = default;
};
struct Rotation {  // VRML SFRotation: a unit axis and an angle in radians
    float x = 0, y = 0, z = 1, angle = 0;
};

// VRML Transform fields. `matrix` is the same transform as a row-vector 4x4 (p' = p * M, the
// 3DMF convention), for programs that draw the scene.
struct Transform {
    Vec3 translation;
    Rotation rotation;
    Vec3 scale{1, 1, 1};
    Rotation scale_orientation;
    Vec3 center;
    float matrix[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

}  // namespace tarvex::geometry
