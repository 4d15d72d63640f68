// Lights (with their LightData), cameras (with placement, range and view port) and view hints.
// Lights belong to the view, not to a group: they are collected untransformed for the root.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "builder/builder.h"
#include "core/orient.h"

namespace tarvex::builder {

using tree::ObjectType;

namespace {

std::optional<Vec3> unit(Vec3 v) {
    const double len = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    if (!(len > 0) || !std::isfinite(len)) return std::nullopt;
    return Vec3{float(v.x / len), float(v.y / len), float(v.z / len)};
}

Vec3 attenuation_of(std::uint32_t e) {
    switch (e) {
        case 1:
            return {0, 1, 0};
        case 2:
            return {0, 0, 1};
        default:
            return {1, 0, 0};
    }
}

}  // namespace

void Builder::read_light(std::uint32_t node) {
    // Lights belong to the view: drawing their group again (a Reference) adds no second light.
    if (!view_objects_read_.insert(node).second) return;
    const ObjectType type = tree_.node(node).type;
    Light light;
    light.name = scene_.name(name_of(node));
    bool has_data = false;
    for_children(node, [&](std::uint32_t c) {
        if (has_data || tree_.node(c).type != ObjectType::LightData) return;
        has_data = true;
        FieldReader in(tree_, c);
        if (in.at_end()) return;
        const auto on = in.next_bool();
        const auto brightness = in.next_float();
        const auto color = in.next_color();
        if (!on || !brightness || !color)
            return warn(c, "LightData with bad values: defaults used");
        light.on = *on;
        light.intensity = std::clamp(*brightness, 0.0f, 1.0f);
        light.color = {std::clamp(color->r, 0.0f, 1.0f), std::clamp(color->g, 0.0f, 1.0f),
                       std::clamp(color->b, 0.0f, 1.0f)};
    });
    const auto mirror = [&](Vec3 v) {
        if (mirrored_) v.z = -v.z;
        return v;
    };
    FieldReader in(tree_, node);
    switch (type) {
        case ObjectType::AmbientLight:
            light.kind = Light::Kind::ambient;
            break;
        case ObjectType::DirectionalLight: {
            light.kind = Light::Kind::directional;
            if (in.at_end()) break;
            const auto d = in.next_vec3();
            const auto u = d ? unit(*d) : std::nullopt;
            if (!u) return warn(node, "DirectionalLight needs a non-zero direction: skipped");
            light.direction = mirror(*u);
            break;
        }
        case ObjectType::PointLight:
        case ObjectType::SpotLight: {
            const bool spot = type == ObjectType::SpotLight;
            light.kind = spot ? Light::Kind::spot : Light::Kind::point;
            const auto location = in.next_vec3();
            if (!location) return warn(node, type_text(node) + " needs a location: skipped");
            light.location = mirror(*location);
            if (spot) {
                const auto d = in.next_vec3();
                const auto u = d ? unit(*d) : std::nullopt;
                if (!u) return warn(node, "SpotLight needs a non-zero direction: skipped");
                light.direction = mirror(*u);
                in.next_bool();  // castsShadows
            }
            // Either one attenuation enum or, as some writers put it, three coefficients.
            if (in.remaining() >= (spot ? 6u : 4u)) {
                const auto c = in.next_vec3();
                if (!c) return warn(node, type_text(node) + " attenuation is not three numbers");
                light.attenuation = {std::max(c->x, 0.0f), std::max(c->y, 0.0f),
                                     std::max(c->z, 0.0f)};
            } else if (!in.at_end()) {
                const auto e = in.next_enum({"None", "InverseDistance", "InverseDistanceSquared"});
                light.attenuation = attenuation_of(e.value_or(0));
            }
            if (spot) {
                const auto hot = in.next_float(), outer = in.next_float();
                const auto falloff = in.next_enum({"None", "Linear", "Exponential", "Cosine"});
                constexpr float kQuarter = std::numbers::pi_v<float> / 2;
                if (hot && outer) {
                    light.cut_off_angle = std::clamp(*outer, 0.0f, kQuarter);
                    light.beam_width = std::clamp(*hot, 0.0f, light.cut_off_angle);
                }
                if (!falloff || *falloff == 0) light.beam_width = light.cut_off_angle;
            } else {
                in.next_bool();  // castsShadows
            }
            break;
        }
        default:
            return;
    }
    scene_.lights.push_back(std::move(light));
    set_outline_size("1 light");
}

void Builder::read_camera(std::uint32_t node) {
    if (!view_objects_read_.insert(node).second) return;
    const ObjectType type = tree_.node(node).type;
    Viewpoint vp;
    vp.name = scene_.name(name_of(node));
    vp.description = vp.name;
    std::optional<std::uint32_t> placement;
    float yon = 0;  // 0: none given
    if (type == ObjectType::CameraPlacement) placement = node;
    for_children(node, [&](std::uint32_t c) {
        const ObjectType t = tree_.node(c).type;
        FieldReader in(tree_, c);
        if (t == ObjectType::CameraPlacement && !placement) {
            placement = c;
        } else if (t == ObjectType::CameraRange) {
            in.next_float();
            const std::optional<float> far = in.next_float();
            if (far && *far > 0)
                yon = *far;
            else
                warn(c, "CameraRange with a bad far distance: ignored");
        } else if (t == ObjectType::CameraViewPort) {
            const auto x = in.next_float(), y = in.next_float(), w = in.next_float(),
                       h = in.next_float();
            if (!(x && y && w && h && *x == -1 && *y == 1 && *w == 2 && *h == 2))
                warn(c, "CameraViewPort other than the whole view: dropped");
        }
    });

    double distance = 10;
    if (placement) {
        FieldReader in(tree_, *placement);
        const std::span<const float> v = in.float_span(9);
        if (v.empty()) {
            warn(*placement, "CameraPlacement needs nine finite numbers: default view used");
        } else {
            const float zs = mirrored_ ? -1.0f : 1.0f;
            _Vector pos{v[0], v[1], v[2] * zs}, at{v[3], v[4], v[5] * zs},
                up{v[6], v[7], v[8] * zs};
            _Vector axis;
            double angle = 0;
            Convert_Camera_Model(pos, at, up, axis, angle);
            vp.position = {float(pos.x), float(pos.y), float(pos.z)};
            vp.orientation = {float(axis.x), float(axis.y), float(axis.z), float(angle)};
            distance = std::sqrt((at.x - pos.x) * (at.x - pos.x) + (at.y - pos.y) * (at.y - pos.y) +
                                 (at.z - pos.z) * (at.z - pos.z));
        }
    }
    if (yon > 0 && !scene_.visibility_limit) scene_.visibility_limit = yon;

    FieldReader in(tree_, node);
    constexpr double kPi = std::numbers::pi;
    double fov = vp.field_of_view;
    switch (type) {
        case ObjectType::ViewAngleAspectCamera: {
            const auto angle = in.next_float();
            const auto aspect = in.next_float();
            if (!angle || *angle <= 0) {
                warn(node, "ViewAngleAspectCamera with a bad angle: default used");
                break;
            }
            double a = *angle;
            if (a >= kPi) a = a * kPi / 180;  // radians stay below π: this is degrees
            double ratio = aspect && *aspect > 0 ? *aspect : 1.0;
            ratio = std::max(ratio, 1 / ratio);
            // The angle spans the longer side; VRML's spans the shorter.
            fov = 2 * std::atan(std::tan(std::min(a, kPi * 0.999) / 2) / ratio);
            break;
        }
        case ObjectType::ViewPlaneCamera: {
            const auto plane = in.next_float(), hw = in.next_float(), hh = in.next_float();
            const auto cx = in.next_float(), cy = in.next_float();
            if (!plane || !hw || !hh || *plane <= 0 || *hw <= 0 || *hh <= 0) {
                warn(node, "ViewPlaneCamera with bad values: default used");
                break;
            }
            fov = 2 * std::atan(std::min(*hw, *hh) / *plane);
            if ((cx && *cx != 0) || (cy && *cy != 0))
                warn(node, "ViewPlaneCamera off-centre view plane: centred");
            break;
        }
        case ObjectType::OrthographicCamera: {
            const auto left = in.next_float(), top = in.next_float(), right = in.next_float(),
                       bottom = in.next_float();
            warn(node, "OrthographicCamera shown as a narrow perspective view");
            if (left && top && right && bottom && distance > 0) {
                const double size = std::min(std::fabs(*right - *left), std::fabs(*top - *bottom));
                if (size > 0) fov = 2 * std::atan(size / 2 / distance);
            }
            break;
        }
        default:
            break;
    }
    if (std::isfinite(fov) && fov > 0 && fov < kPi) vp.field_of_view = float(fov);
    scene_.viewpoints.push_back(std::move(vp));
    set_outline_size("1 camera");
}

void Builder::read_view_hints(std::uint32_t node, std::uint32_t) {
    // Groups inside the hints (a LightGroup) are walked with an explicit stack.
    std::vector<std::uint32_t> pending;
    for_children(node, [&](std::uint32_t c) { pending.push_back(c); });
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        const std::uint32_t c = pending.back();
        pending.pop_back();
        switch (tree_.node(c).type) {
            case ObjectType::AmbientLight:
            case ObjectType::DirectionalLight:
            case ObjectType::PointLight:
            case ObjectType::SpotLight:
                read_light(c);
                break;
            case ObjectType::ViewAngleAspectCamera:
            case ObjectType::ViewPlaneCamera:
            case ObjectType::OrthographicCamera:
            case ObjectType::CameraPlacement:
                read_camera(c);
                break;
            case ObjectType::BeginGroup: {
                std::vector<std::uint32_t> members;
                for_children(c, [&](std::uint32_t m) { members.push_back(m); });
                pending.insert(pending.end(), members.rbegin(), members.rend());
                break;
            }
            case ObjectType::AttributeSet:
            case ObjectType::Reference: {
                // The hints' attributes are the lowest level: everything else overrides them.
                const Attributes hints = read_attribute_set(c);
                State &s = mutable_state();
                s.attributes = merged(hints, s.attributes);
                break;
            }
            case ObjectType::ImageClearColor: {
                FieldReader in(tree_, c);
                if (const auto color = in.next_color()) scene_.background = *color;
                break;
            }
            case ObjectType::ImageDimensions:
            case ObjectType::LightGroup:
                break;
            default:
                if (!is_name_element(c)) skip(c);
                break;
        }
    }
    set_outline_size("view hints");
}

void Builder::finish_lights() {
    // A 3DMF point or spot light has no range, only attenuation: the radius must reach all the
    // scene from where the light stands (a light may be far from the model). The margin keeps
    // the farthest corner inside once the numbers are rounded to text.
    constexpr double kMargin = 1.1;
    for (Light &l : scene_.lights) {
        if (l.kind != Light::Kind::point && l.kind != Light::Kind::spot) continue;
        if (!have_bounds_) continue;
        double far = 0;
        for (int corner = 0; corner < 8; ++corner) {
            const double dx = double(corner & 1 ? high_.x : low_.x) - l.location.x,
                         dy = double(corner & 2 ? high_.y : low_.y) - l.location.y,
                         dz = double(corner & 4 ? high_.z : low_.z) - l.location.z;
            far = std::max(far, std::sqrt(dx * dx + dy * dy + dz * dz));
        }
        if (std::isfinite(far) && far > 0) l.radius = float(std::min(kMargin * far, 1e30));
    }
}

}  // namespace tarvex::builder
