// The flat, read-only list of what the desktop program's 3D view draws: meshes, the shapes that
// place them in the world, lights and viewpoints. Both the default mode's scene store and full
// mode's scene produce it; it knows nothing of Qt or OpenGL.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::scene {
struct Scene;
}

namespace tarvex::draw {

inline constexpr std::uint32_t kNone = UINT32_MAX;

struct Vec3 {
    float x = 0, y = 0, z = 0;
};
struct Rgb {
    float r = 0, g = 0, b = 0;
};

// An affine transform as a row-vector 4x4 matrix: p' = p * m, like scene::Transform::matrix.
struct Matrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};
// `first` applied, then `then`.
Matrix compose(const Matrix &first, const Matrix &then);
Vec3 transformPoint(const Matrix &m, Vec3 p);

// An axis-aligned box; empty until a point is added.
struct Box {
    Vec3 min{1, 1, 1}, max{-1, -1, -1};

    bool empty() const { return min.x > max.x; }
    void add(Vec3 p);
    void addBox(const Box &b);
    Vec3 center() const;
    // Half the diagonal: the radius of a sphere holding the box; 0 when empty.
    float radius() const;
};
// The box holding `b` transformed by `m`.
Box transformBox(const Matrix &m, const Box &b);

enum class Primitive : std::uint8_t { triangles, lines, points };

// Geometry in its own coordinates. `indices` hold 3 per triangle, 2 per line segment or 1 per
// point, each below the number of vertices; the per-vertex arrays are empty or have one entry per
// vertex.
struct Mesh {
    Primitive primitive = Primitive::triangles;
    std::vector<float> positions;  // x y z
    std::vector<float> normals;    // x y z, or empty: facets are shaded flat
    std::vector<float> colors;     // r g b, or empty: the material's diffuse colour
    std::vector<float> texCoords;  // s t, or empty
    std::vector<std::uint32_t> indices;
    Box bounds;

    std::size_t vertexCount() const { return positions.size() / 3; }
};

struct Material {  // VRML 97 Material
    Rgb diffuse{0.8f, 0.8f, 0.8f};
    float ambientIntensity = 0.2f;
    Rgb specular;
    Rgb emissive;
    float shininess = 0.2f;
    float transparency = 0;
};

// Rows bottom first, `components` bytes a pixel (1 grey, 2 grey+alpha, 3 RGB, 4 RGBA).
struct Texture {
    std::uint32_t width = 0, height = 0, components = 3;
    std::vector<std::uint8_t> pixels;
    bool repeatS = true, repeatT = true;
};

// One mesh placed in the world with its appearance. A mesh may be placed by several shapes.
struct Shape {
    std::string name;
    std::uint32_t mesh = 0;
    Material material;
    std::uint32_t texture = kNone;  // into DrawList::textures
    Matrix toWorld;
    Box bounds;  // in world coordinates
    // The store's shape index (default mode) or the scene's shape index (full mode): what the
    // program's tree knows the shape by.
    std::uint32_t source = 0;
};

struct Light {  // in world coordinates; VRML 97 light fields
    enum class Kind : std::uint8_t { directional, point, spot };
    Kind kind = Kind::directional;
    bool on = true;
    float intensity = 1;
    float ambientIntensity = 0;
    Rgb color{1, 1, 1};
    Vec3 location;
    Vec3 direction{0, 0, -1};
    Vec3 attenuation{1, 0, 0};
    float beamWidth = 1.570796f;
    float cutOffAngle = 0.785398f;
    float radius = 100;
};

struct Viewpoint {     // VRML 97 Viewpoint: the default camera looks down -z with +y up
    std::string name;  // what a menu shows: the description, else the name
    Vec3 position{0, 0, 10};
    Vec3 axis{0, 0, 1};
    float angle = 0;
    float fieldOfView = 0.785398f;  // of the view's smaller side
};

struct DrawList {
    std::vector<Mesh> meshes;
    std::vector<Shape> shapes;
    std::vector<Texture> textures;
    std::vector<Light> lights;
    std::vector<Viewpoint> viewpoints;
    std::optional<Rgb> background;
    Box bounds;  // of every shape, in world coordinates

    std::size_t triangleCount() const;
};

// The default mode's scene store as a draw list. Triangles that name a point the store does not
// have are left out; values the reader never reached read as zero, as the writer writes them.
// Throws std::bad_alloc when memory runs out.
DrawList fromStore();

// Full mode's scene as a draw list: the node tree walked with its transforms composed, `use`
// nodes expanded (a node that uses itself, directly or not, is drawn once), faces triangulated,
// colours resolved per vertex. Indices out of range leave their face, line or point out.
// Throws std::bad_alloc when memory runs out.
DrawList fromScene(const scene::Scene &scene);

}  // namespace tarvex::draw
