// Ellipsoid, Cylinder, Disk, Cone and Torus: the long form with u/v limits and the older short
// form without, Caps, and the cap attribute sets that give the top, bottom, interior and lateral
// face their own material (each such part becomes its own Shape).
#include "builder/builder.h"

namespace tarvex::builder {

using geometry::Part;
using tree::ObjectType;

namespace {

struct CapSets {
    std::optional<Attributes> part[4];  // indexed by geometry::Part
};

int cap_part(ObjectType t) {
    switch (t) {
        case ObjectType::FaceCapAttributeSet:
            return int(Part::face);
        case ObjectType::TopCapAttributeSet:
            return int(Part::top_cap);
        case ObjectType::BottomCapAttributeSet:
            return int(Part::bottom_cap);
        case ObjectType::InteriorCapAttributeSet:
            return int(Part::interior_cap);
        default:
            return -1;
    }
}

}  // namespace

void Builder::build_quadric(std::uint32_t node) {
    const ObjectType type = tree_.node(node).type;
    FieldReader in(tree_, node);
    geometry::Quadric q;
    const bool has_orientation = type != ObjectType::Disk;
    // The empty form (size 0 in binary) is the format's default frame, which files that rely on
    // it expect: a default Cylinder runs along +x. Torus has no recorded default: the same frame
    // keeps every quadric's axes alike.
    q.orientation = {1, 0, 0};
    q.major = {0, 1, 0};
    q.minor = {0, 0, 1};
    if (!in.at_end()) {
        std::optional<Vec3> o = has_orientation ? in.next_vec3() : Vec3{0, 1, 0};
        const auto ma = in.next_vec3(), mi = in.next_vec3(), c = in.next_vec3();
        if (!o || !ma || !mi || !c)
            return warn(node, type_text(node) + " needs its axes and origin: skipped");
        q.orientation = *o;
        q.major = *ma;
        q.minor = *mi;
        q.origin = *c;
        if (type == ObjectType::Torus) {
            const std::optional<float> ratio = in.next_float();
            if (!ratio) return warn(node, "Torus needs its ratio: skipped");
            q.ratio = *ratio;
        }
        if (!in.at_end()) {
            const auto a = in.next_float(), b = in.next_float(), c2 = in.next_float(),
                       d = in.next_float();
            if (!a || !b || !c2 || !d)
                return warn(node, type_text(node) + " u/v limits are not four numbers: skipped");
            q.u_min = *a;
            q.u_max = *b;
            q.v_min = *c2;
            q.v_max = *d;
        }
    }

    unsigned caps = geometry::caps_none;
    CapSets cap_sets;
    int flat_target = -1;  // cap part that flat attributes after a cap set belong to
    for_children(node, [&](std::uint32_t c) {
        const ObjectType t = tree_.node(c).type;
        if (t == ObjectType::Caps) {
            FieldReader cin(tree_, c);
            caps = cin.next_bits({{"None", 0}, {"Top", 1}, {"Bottom", 2}, {"Interior", 4}})
                       .value_or(0);
            return;
        }
        const int part = cap_part(t);
        if (part >= 0) {
            Attributes a;
            for (const Attributes &s : collect_sets(tree_.node(c).first_child)) a.merge(s);
            cap_sets.part[part] = a;
            flat_target = part;
            return;
        }
        if (t == ObjectType::AttributeSet || t == ObjectType::Reference) {
            flat_target = -1;
            return;
        }
        Attributes flat;
        if (flat_target >= 0 && read_attribute(c, flat)) cap_sets.part[flat_target]->merge(flat);
    });

    const geometry::Subdivision s = subdivision();
    geometry::Surface surface;
    switch (type) {
        case ObjectType::Ellipsoid:
            surface = geometry::tessellate_ellipsoid(q, caps, s);
            break;
        case ObjectType::Cylinder:
            surface = geometry::tessellate_cylinder(q, caps, s);
            break;
        case ObjectType::Cone:
            surface = geometry::tessellate_cone(q, caps, s);
            break;
        case ObjectType::Disk:
            surface = geometry::tessellate_disk(q, s);
            break;
        default:
            surface = geometry::tessellate_torus(q, caps, s);
            break;
    }
    if (!count_output(node, surface)) return;
    const Attributes a = merged(state().attributes, own_attributes(node));

    // One Polygons per part that has a cap set of its own; the rest together.
    std::vector<std::int32_t> part_of_face(surface.face_part.size());
    bool split = false;
    for (std::size_t f = 0; f < surface.face_part.size(); ++f) {
        const int p = int(surface.face_part[f]);
        part_of_face[f] = cap_sets.part[p] ? p : -1;
        split |= part_of_face[f] >= 0;
    }
    const std::size_t face_count = surface.face_part.size();
    const auto emit_part = [&](int part, const Attributes &attributes) {
        Polygons poly;
        poly.coords = surface.coords;
        poly.normals = surface.normals;
        poly.uvs = surface.uvs;
        std::size_t start = 0, face = 0;
        for (std::size_t i = 0; i < surface.coord_index.size(); ++i) {
            if (surface.coord_index[i] >= 0) continue;
            if (face < face_count && part_of_face[face] == part)
                poly.faces.insert(poly.faces.end(), surface.coord_index.begin() + start,
                                  surface.coord_index.begin() + i + 1);
            ++face;
            start = i + 1;
        }
        if (!poly.faces.empty()) emit_polygons(node, std::move(poly), attributes, nullptr, nullptr);
    };
    if (!split) {
        emit_polygons(node, from_surface_polygons(std::move(surface)), a, nullptr, nullptr);
    } else {
        emit_part(-1, a);
        for (int p = 0; p < 4; ++p)
            if (cap_sets.part[p]) emit_part(p, merged(a, *cap_sets.part[p]));
    }
    size_text_ = count_text(face_count, "face", "faces");
}

}  // namespace tarvex::builder
