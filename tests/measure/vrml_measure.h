// What a viewer would see in a VRML 97 world the full-mode writer made: where the geometry
// stands, how much surface, line and how many points there are, in which colours, and the
// lights and viewpoints. Read straight from the text with its own small parser and matrix
// arithmetic, so that it checks the converter without sharing any of its geometry code.
//
// Only what the writer emits is understood: Group, Transform, Shape, Appearance, Material,
// IndexedFaceSet, IndexedLineSet, PointSet, Coordinate, Color, PixelTexture,
// TextureCoordinate, the three light nodes and Viewpoint, with DEF and USE anywhere. Other nodes
// are read past; their contents do not count.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::measure {

using Vec3 = std::array<double, 3>;
using Rgb = std::array<float, 3>;

// The vector arithmetic both measures share.
inline Vec3 operator-(const Vec3 &a, const Vec3 &b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline Vec3 cross(const Vec3 &a, const Vec3 &b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double dot(const Vec3 &a, const Vec3 &b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
inline double norm(const Vec3 &a) {
    return std::sqrt(dot(a, a));
}

struct Box {
    Vec3 min{0, 0, 0}, max{0, 0, 0};
    bool empty = true;
    void add(const Vec3 &p);
};

struct Viewpoint {
    Vec3 position{0, 0, 10};
    std::array<double, 4> orientation{0, 0, 1, 0};
    double field_of_view = 0.785398;
};

struct PointLight {  // PointLight and SpotLight
    Vec3 location{0, 0, 0};
    Vec3 attenuation{1, 0, 0};
    double radius = 100;
    bool on = true;
};

struct Measure {
    std::size_t shapes = 0;         // Shape nodes drawn, once per DEF and once per USE
    std::size_t faces = 0;          // faces of three or more corners
    std::size_t triangles = 0;      // a face of n corners makes n - 2
    std::size_t concave_faces = 0;  // faces a plain fan would get wrong
    std::size_t polylines = 0;
    std::size_t points = 0;     // PointSet points
    double area = 0;            // surface area in world units
    double two_sided_area = 0;  // of face sets marked solid FALSE, drawn from both sides
    double line_length = 0;
    Box box;  // world box of every corner, line vertex and point drawn
    // Area by the colour that shows: per-face colours, the mean of a face's corner colours, or
    // else the material's diffuse colour (VRML's 0.8 grey when there is none).
    std::map<Rgb, double> area_by_color;
    // Area of textured faces by the PixelTexture texel at the mean of their corners' texture
    // coordinates (TextureTransform not applied); faces without texture coordinates not counted.
    std::map<Rgb, double> area_by_texel;
    // Line length by the colour a line shows: a segment's mean of its two corner colours, its
    // polyline's colour, or else the material's emissive colour (lines are unlit).
    std::map<Rgb, double> length_by_color;
    std::vector<PointLight> point_lights;
    std::map<std::string, std::size_t, std::less<>> lights;  // by node name; off ones too
    double light_intensity = 0;  // intensity and ambient intensity of the lights that are on
    std::vector<Viewpoint> viewpoints;
    std::vector<std::string> errors;  // what could not be read; empty for a sound world
};

Measure measure_vrml(std::string_view world);

}  // namespace tarvex::measure
