// The state the builder carries through groups: attributes merged so far, styles, shaders and
// the transform chain. Each group starts from its parent's state and drops its changes at its
// end; states are shared until changed (copy on write) so that deep nesting stays cheap.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "geometry/matrix.h"
#include "geometry/tessellation.h"
#include "scene/scene.h"

namespace tarvex::builder {

using namespace tarvex::scene;  // the builder speaks the model's vocabulary

// One level of 3DMF attributes; unset ones are inherited from the level above.
struct Attributes {
    std::optional<Color> diffuse, specular, transparency;
    std::optional<float> specular_control, ambient;
    std::optional<Vec3> normal;
    std::optional<std::array<float, 2>> surface_uv, shading_uv;
    std::uint32_t shader = kNone;  // SurfaceShader: index into the builder's texture uses

    // `upper` overrides `this` per attribute type.
    void merge(const Attributes &upper);
    bool any_material() const {
        return diffuse || specular || transparency || specular_control || ambient ||
               shader != kNone;
    }
    std::optional<std::array<float, 2>> uv() const { return shading_uv ? shading_uv : surface_uv; }
    bool operator==(const Attributes &) const = default;
};

inline Attributes merged(Attributes lower, const Attributes &upper) {
    lower.merge(upper);
    return lower;
}

enum class Backfacing : std::uint8_t { both, culled, flipped };
enum class Interpolation : std::uint8_t { none, vertex, pixel };
enum class Fill : std::uint8_t { filled, edges, points };
enum class Illumination : std::uint8_t { phong, lambert, none };

struct Styles {
    Backfacing backfacing = Backfacing::both;
    Interpolation interpolation = Interpolation::vertex;
    Fill fill = Fill::filled;
    bool clockwise = false;
    Illumination illumination = Illumination::phong;
    geometry::Subdivision subdivision;
    bool operator==(const Styles &o) const {
        return backfacing == o.backfacing && interpolation == o.interpolation && fill == o.fill &&
               clockwise == o.clockwise && illumination == o.illumination &&
               subdivision.method == o.subdivision.method && subdivision.u == o.subdivision.u &&
               subdivision.v == o.subdivision.v;
    }
};

// Where drawables go. Transforms are collected in `pending` and become one VRML Transform under
// `parent` at the next drawable. Once a transform VRML cannot express has been met, it and every
// later one in scope are baked into the geometry instead (`bake`, applied before `parent`'s).
struct Placement {
    std::uint32_t parent = 0;  // scene node receiving new children
    geometry::Matrix4 world;   // of `parent`
    geometry::Matrix4 pending;
    geometry::Matrix4 bake;
    bool has_pending = false;
    bool baking = false;
};

struct State {
    Attributes attributes;          // group level, ViewHints' set below everything
    std::uint32_t texture = kNone;  // free-standing TextureShader in scope (texture use index)
    Styles styles;
    Placement placement;
};

}  // namespace tarvex::builder
