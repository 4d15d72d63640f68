// The scene full mode builds from a 3DMF object tree: plain data in VRML 97 terms, passed
// explicitly from the scene builder to the VRML writer, the desktop program's tree and its 3D
// view. Everything here is already resolved: inheritance applied, geometry tessellated, every
// number finite.
//
// Arrays are spans. They point either into the object tree the scene was built from (a TriMesh's
// points and triangles are not copied) or into the scene's own storage (keep()); so a Scene is
// valid as long as its tree, and neither may be changed once built.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <variant>
#include <vector>

#include "core/string_hash.h"
#include "geometry/maths_types.h"

namespace tarvex::scene {

inline constexpr std::uint32_t kNone = UINT32_MAX;

// Points, rotations and transforms are the geometry's, named here too so that every reader of
// the model finds them with it.
using geometry::Rotation;
using geometry::Transform;
using geometry::Vec3;

struct Color {
    float r = 0, g = 0, b = 0;
    bool operator==(const Color &) const = default;
};

struct Material {  // VRML 97 Material, with its defaults
    Color diffuse{0.8f, 0.8f, 0.8f};
    float ambient_intensity = 0.2f;
    Color specular{0, 0, 0};
    Color emissive{0, 0, 0};
    float shininess = 0.2f;
    float transparency = 0;
};

// A VRML PixelTexture image: rows bottom first, `components` bytes a pixel (3: RGB, 4: RGBA).
struct Texture {
    std::uint32_t width = 0, height = 0, components = 3;
    std::vector<std::uint8_t> pixels;
    bool repeat_s = true, repeat_t = true;
};

struct TextureTransform {  // VRML 97 TextureTransform
    float center[2] = {0, 0};
    float rotation = 0;
    float scale[2] = {1, 1};
    float translation[2] = {0, 0};

    // Where it takes the texture coordinate (u, v), as VRML 97 writes it: Tc' = -C S R C T Tc,
    // read with column vectors (the texture coordinates translated first).
    std::array<double, 2> apply(double u, double v) const {
        const double c = std::cos(rotation), s = std::sin(rotation);
        const double x = u + translation[0] + center[0], y = v + translation[1] + center[1];
        return {scale[0] * (c * x - s * y) - center[0], scale[1] * (s * x + c * y) - center[1]};
    }
};

struct Appearance {
    Material material;
    std::uint32_t texture = kNone;  // index into Scene::textures
    std::optional<TextureTransform> texture_transform;
};

// VRML IndexedFaceSet. Faces are given either as `triangles` (index triples, no separators: a
// TriMesh's own array) or as `coord_index` (faces ended by -1); exactly one of them is used.
// The other index arrays follow VRML's rules: empty means "same as the faces' indices"
// (per-vertex) or "one per face in order" (per-face).
struct FaceSet {
    std::span<const float> coords;  // x y z per point
    std::span<const std::uint32_t> triangles;
    std::span<const std::int32_t> coord_index;
    std::span<const float> colors;  // r g b
    std::span<const std::int32_t> color_index;
    bool color_per_vertex = true;
    std::span<const float> normals;  // x y z
    std::span<const std::int32_t> normal_index;
    bool normal_per_vertex = true;
    std::span<const float> tex_coords;  // s t
    std::span<const std::int32_t> tex_coord_index;
    bool solid = false;  // 3DMF draws both sides unless BackfacingStyle Culled
    bool ccw = true;
    bool convex = true;
    float crease_angle = 0;
};

// VRML IndexedLineSet: polylines ended by -1. Lines are unlit in VRML, so without colours the
// writer shows them in the material's emissive colour.
struct LineSet {
    std::span<const float> coords;
    std::span<const std::int32_t> coord_index;
    std::span<const float> colors;
    std::span<const std::int32_t> color_index;
    bool color_per_vertex = true;
};

struct PointSet {  // VRML PointSet
    std::span<const float> coords;
    std::span<const float> colors;  // one per point, or empty
};

using Geometry = std::variant<FaceSet, LineSet, PointSet>;

struct Shape {
    Appearance appearance;
    Geometry geometry;
    std::uint32_t source = kNone;  // the object tree node it was made from
};

// A name held once by the scene however many nodes carry it (a label on an object drawn
// thousands of times through References is not copied thousands of times): made by
// Scene::name(), or from a literal, which outlives any scene.
class Name {
  public:
    constexpr Name() = default;
    template <std::size_t N>
    constexpr Name(const char (&literal)[N]) : text_(literal, N - 1) {}
    std::string_view view() const { return text_; }
    operator std::string_view() const { return text_; }
    bool empty() const { return text_.empty(); }
    std::size_t size() const { return text_.size(); }
    bool operator==(std::string_view other) const { return text_ == other; }

  private:
    friend struct Scene;
    explicit Name(std::string_view interned) : text_(interned) {}
    std::string_view text_;
};

// The node hierarchy: node 0 is the root group. A `use` node repeats another node (written as
// VRML USE; the writer gives the repeated node a DEF name).
struct Node {
    enum class Kind { group, transform, shape, use };
    Kind kind = Kind::group;
    Name name;                            // from the 3DMF label or name element; may be empty
    Transform transform;                  // Kind::transform
    std::uint32_t shape = kNone;          // Kind::shape: index into Scene::shapes
    std::uint32_t used = kNone;           // Kind::use: index into Scene::nodes
    std::vector<std::uint32_t> children;  // group, transform: indices into Scene::nodes
};

struct Light {
    enum class Kind { ambient, directional, point, spot };
    Kind kind = Kind::directional;
    Name name;
    bool on = true;
    float intensity = 1;
    Color color{1, 1, 1};
    Vec3 location;                    // point, spot
    Vec3 direction{0, 0, -1};         // directional, spot (unit length)
    Vec3 attenuation{1, 0, 0};        // point, spot
    float beam_width = 1.570796f;     // spot
    float cut_off_angle = 0.785398f;  // spot
    float radius = 100;               // point, spot
};

struct Viewpoint {
    Name name;  // DEF name source
    Name description;
    Vec3 position{0, 0, 10};
    Rotation orientation;
    float field_of_view = 0.785398f;
};

struct Scene {
    std::vector<Node> nodes{Node{}};  // nodes[0]: the root group
    std::vector<Shape> shapes;
    std::vector<Texture> textures;
    std::vector<Light> lights;  // written at the root: 3DMF lights light the whole scene
    std::vector<Viewpoint> viewpoints;
    std::optional<Color> background;
    std::optional<float> visibility_limit;
    std::vector<std::string> info;  // WorldInfo strings

    // Storage for arrays the builder makes; deques keep earlier arrays in place.
    std::span<const float> keep(std::vector<float> values) {
        return floatStore_.emplace_back(std::move(values));
    }
    std::span<const std::int32_t> keep(std::vector<std::int32_t> values) {
        return intStore_.emplace_back(std::move(values));
    }
    std::span<const std::uint32_t> keep(std::vector<std::uint32_t> values) {
        return unsStore_.emplace_back(std::move(values));
    }
    // `text` held once, looked up by hash.
    Name name(std::string_view text) {
        if (text.empty()) return {};
        auto found = names_.find(text);
        if (found == names_.end()) found = names_.emplace(text).first;
        return Name(*found);
    }

  private:
    std::deque<std::vector<float>> floatStore_;
    std::deque<std::vector<std::int32_t>> intStore_;
    std::deque<std::vector<std::uint32_t>> unsStore_;
    std::unordered_set<std::string, StringHash, std::equal_to<>>
        names_;  // nodes keep their strings
};

}  // namespace tarvex::scene
