// Attributes, attribute sets and attribute set lists, and the VRML material they resolve to.
#include <algorithm>

#include "builder/builder.h"

namespace tarvex::builder {

using tree::ObjectTree;
using tree::ObjectType;

namespace {

constexpr int kMaxReferenceDepth = 8;

float clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}
Color clamp01(Color c) {
    return {clamp01(c.r), clamp01(c.g), clamp01(c.b)};
}

bool is_attribute_set_type(ObjectType t) {
    return t == ObjectType::AttributeSet || t == ObjectType::TopCapAttributeSet ||
           t == ObjectType::BottomCapAttributeSet || t == ObjectType::FaceCapAttributeSet ||
           t == ObjectType::InteriorCapAttributeSet;
}

}  // namespace

void Attributes::merge(const Attributes &upper) {
    if (upper.diffuse) diffuse = upper.diffuse;
    if (upper.specular) specular = upper.specular;
    if (upper.transparency) transparency = upper.transparency;
    if (upper.specular_control) specular_control = upper.specular_control;
    if (upper.ambient) ambient = upper.ambient;
    if (upper.normal) normal = upper.normal;
    if (upper.surface_uv) surface_uv = upper.surface_uv;
    if (upper.shading_uv) shading_uv = upper.shading_uv;
    if (upper.shader != kNone) shader = upper.shader;
}

bool Builder::read_attribute(std::uint32_t node, Attributes &into) {
    const ObjectType type = tree_.node(node).type;
    FieldReader in(tree_, node);
    const auto color = [&](std::optional<Color> &slot) {
        if (const std::optional<Color> c = in.next_color())
            slot = *c;
        else
            warn(node, type_text(node) + " needs three finite numbers: ignored");
    };
    const auto number = [&](std::optional<float> &slot) {
        if (const std::optional<float> f = in.next_float())
            slot = *f;
        else
            warn(node, type_text(node) + " needs a finite number: ignored");
    };
    const auto uv = [&](std::optional<std::array<float, 2>> &slot) {
        const auto u = in.next_float(), v = in.next_float();
        if (u && v)
            slot = std::array<float, 2>{*u, *v};
        else
            warn(node, type_text(node) + " needs two finite numbers: ignored");
    };
    switch (type) {
        case ObjectType::DiffuseColor:
            color(into.diffuse);
            return true;
        case ObjectType::SpecularColor:
            color(into.specular);
            return true;
        case ObjectType::TransparencyColor:
            color(into.transparency);
            return true;
        case ObjectType::SpecularControl:
            number(into.specular_control);
            return true;
        case ObjectType::AmbientCoefficient:
            number(into.ambient);
            return true;
        case ObjectType::Normal:
            if (const std::optional<Vec3> n = in.next_vec3())
                into.normal = *n;
            else
                warn(node, "Normal needs three finite numbers: ignored");
            return true;
        case ObjectType::SurfaceUV:
            uv(into.surface_uv);
            return true;
        case ObjectType::ShadingUV:
            uv(into.shading_uv);
            return true;
        case ObjectType::TextureShader:
            into.shader = texture_use(node);
            return true;
        case ObjectType::SurfaceTangent:
            skip(node);
            return true;
        case ObjectType::HighlightState:
            return true;
        default:
            return false;
    }
}

Attributes Builder::read_attribute_set(std::uint32_t node, int depth) {
    // Sets inherit from sets through References, fanned out and nested: each set is resolved
    // once, whatever number of paths lead to it.
    if (const auto found = resolved_sets_.find(node); found != resolved_sets_.end())
        return found->second;
    Attributes a;
    if (tree_.node(node).type == ObjectType::Reference) {
        if (depth >= kMaxReferenceDepth) {
            warn(node, "References to attribute sets nest too deep: ignored");
            return a;
        }
        if (!charge(1, node)) return a;
        const std::uint32_t target = resolve_reference(node);
        if (target == kNone) return a;
        if (!is_attribute_set_type(tree_.node(target).type)) {
            if (!read_attribute(target, a))
                warn(node, "Reference to " + type_text(target) + " where an attribute set belongs");
        } else {
            a = read_attribute_set(target, depth + 1);
        }
        resolved_sets_.emplace(node, a);
        return a;
    }
    for_children(node, [&](std::uint32_t c) {
        if (!charge(1, c)) return;
        if (read_attribute(c, a)) return;
        const ObjectType t = tree_.node(c).type;
        if (t == ObjectType::Reference) {
            a.merge(read_attribute_set(c, depth + 1));
        } else if (is_name_element(c)) {
        } else {
            skip(c);
        }
    });
    resolved_sets_.emplace(node, a);
    return a;
}

namespace {

// Whether a node is an attribute set, directly or through a Reference.
bool starts_set(Builder &b, std::uint32_t node) {
    const ObjectTree &tree = b.tree();
    const ObjectType t = tree.node(node).type;
    if (t == ObjectType::AttributeSet) return true;
    if (t != ObjectType::Reference) return false;
    FieldReader in(b.tree(), node);
    const std::optional<std::uint32_t> id = in.next_uint();
    if (!id) return false;
    const std::uint32_t target = tree.reference_target(*id);
    return target != ObjectTree::kNone && tree.node(target).type == ObjectType::AttributeSet;
}

}  // namespace

Attributes Builder::own_attributes(std::uint32_t geometry) {
    Attributes own;
    // Flat attributes belong to the nearest set before them (q-highlight writes them so); one
    // after a cap set or list belongs to that, not to the geometry.
    bool in_own = true;
    for_children(geometry, [&](std::uint32_t c) {
        const ObjectType t = tree_.node(c).type;
        if (starts_set(*this, c)) {
            own.merge(read_attribute_set(c));
            in_own = true;
        } else if (is_attribute_set_type(t) || t == ObjectType::VertexAttributeSetList ||
                   t == ObjectType::FaceAttributeSetList ||
                   t == ObjectType::GeometryAttributeSetList) {
            in_own = false;
        } else if (in_own) {
            Attributes flat;
            if (read_attribute(c, flat)) own.merge(flat);
        }
    });
    return own;
}

std::vector<Attributes> Builder::collect_sets(std::uint32_t first) {
    std::vector<Attributes> sets;
    for (std::uint32_t c = first; c != kNone; c = tree_.node(c).next_sibling) {
        if (starts_set(*this, c)) {
            sets.push_back(read_attribute_set(c));
        } else if (!sets.empty()) {
            Attributes flat;
            if (read_attribute(c, flat)) sets.back().merge(flat);
        }
    }
    return sets;
}

PartSets Builder::read_set_list(std::uint32_t geometry, ObjectType type, std::uint32_t parts) {
    PartSets result;
    for_children(geometry, [&](std::uint32_t c) {
        if (result.empty() && tree_.node(c).type == type) result = read_set_list_node(c, parts);
    });
    return result;
}

PartSets Builder::read_set_list_node(std::uint32_t list, std::uint32_t parts) {
    PartSets result;
    FieldReader in(tree_, list);
    const auto objects = in.next_uint();
    const auto packing = in.next_enum({"Include", "Exclude"});
    const auto count = in.next_uint();
    if (!objects || !packing || *packing > 1 || !count || *count > in.remaining()) {
        warn(list, type_text(list) + " with missing or bad values: ignored");
        return result;
    }
    // Parts beyond the geometry's come last in ascending order: they cannot shift the sets of
    // the parts that exist, so only those are tracked (a huge count costs nothing).
    const std::uint32_t tracked = std::min(*objects, parts);
    std::vector<std::uint8_t> listed(tracked, 0);
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto index = in.next_uint();
        if (!index || *index >= *objects) {
            warn(list, type_text(list) + " lists a part beyond its count: ignored");
            return result;
        }
        if (*index < tracked) listed[*index] = 1;
    }
    std::vector<std::uint32_t> included;
    for (std::uint32_t part = 0; part < tracked; ++part)
        if ((listed[part] != 0) == (*packing == 0)) included.push_back(part);
    const std::uint64_t expected =
        *packing == 0 ? *count : (*objects > *count ? std::uint64_t(*objects) - *count : 0);

    result.sets = collect_sets(tree_.node(list).first_child);
    if (result.sets.size() != expected)
        warn(list, type_text(list) + " has " + std::to_string(result.sets.size()) +
                       " attribute sets for " + std::to_string(expected) + " parts");
    if (*objects > parts)
        warn(list, type_text(list) + " counts " + std::to_string(*objects) +
                       " parts where the geometry has " + std::to_string(parts) + ": clamped");
    result.set_of.assign(parts, kNone);
    const std::size_t n = std::min(result.sets.size(), included.size());
    for (std::size_t i = 0; i < n; ++i)
        if (included[i] < parts) result.set_of[included[i]] = static_cast<std::uint32_t>(i);
    return result;
}

Material Builder::material(const Attributes &a) const {
    Material m;
    const Illumination illumination = state().styles.illumination;
    if (a.diffuse) m.diffuse = clamp01(*a.diffuse);
    if (a.specular) m.specular = clamp01(*a.specular);
    if (illumination != Illumination::phong) m.specular = Color{0, 0, 0};
    if (a.specular_control) m.shininess = clamp01(*a.specular_control / 128.0f);
    if (a.transparency) {
        const Color c = clamp01(*a.transparency);
        const float mean = (c.r + c.g + c.b) / 3.0f;
        m.transparency = clamp01(transparency_means_opacity ? 1.0f - mean : mean);
    }
    if (a.ambient) m.ambient_intensity = clamp01(*a.ambient);
    if (illumination == Illumination::none) {
        m.emissive = m.diffuse;
        m.diffuse = Color{0, 0, 0};
    }
    return m;
}

}  // namespace tarvex::builder
