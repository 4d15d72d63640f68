// Transform objects and where drawables go: consecutive transforms are folded and become one
// VRML Transform at the next drawable; what VRML cannot express (mirroring, singular,
// projective) is baked into the geometry, together with every later transform in scope.
#include <cmath>

#include "builder/builder.h"

namespace tarvex::builder {

using geometry::Matrix4;
using tree::ObjectType;

std::optional<Matrix4> Builder::read_transform(std::uint32_t node) {
    FieldReader in(tree_, node);
    const auto bad = [&]() -> std::optional<Matrix4> {
        warn(node, type_text(node) + " with missing or bad values: ignored");
        return std::nullopt;
    };
    const auto axis_of = [](std::uint32_t e, double &x, double &y, double &z) {
        x = e == 0;
        y = e == 1;
        z = e == 2;
    };
    Matrix4 m;
    switch (tree_.node(node).type) {
        case ObjectType::Translate: {
            const auto v = in.next_vec3();
            if (!v) return bad();
            m = geometry::translation(v->x, v->y, v->z);
            break;
        }
        case ObjectType::Scale: {
            const auto v = in.next_vec3();
            if (!v) return bad();
            m = geometry::scaling(v->x, v->y, v->z);
            break;
        }
        case ObjectType::Matrix: {
            const std::span<const float> f = in.float_span(16);
            if (f.empty()) return bad();
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) m.m[r][c] = f[4 * r + c];
            break;
        }
        case ObjectType::Rotate: {
            const auto axis = in.next_enum({"X", "Y", "Z"});
            const auto angle = in.next_float();
            if (!axis || *axis > 2 || !angle) return bad();
            double x, y, z;
            axis_of(*axis, x, y, z);
            m = geometry::rotation(x, y, z, *angle);
            break;
        }
        case ObjectType::RotateAboutPoint: {
            const auto axis = in.next_enum({"X", "Y", "Z"});
            const auto angle = in.next_float();
            const auto p = in.next_vec3();
            if (!axis || *axis > 2 || !angle || !p) return bad();
            double x, y, z;
            axis_of(*axis, x, y, z);
            m = geometry::rotation_about(p->x, p->y, p->z, x, y, z, *angle);
            break;
        }
        case ObjectType::RotateAboutAxis: {
            const auto o = in.next_vec3();
            const auto n = in.next_vec3();
            const auto angle = in.next_float();
            if (!o || !n || !angle) return bad();
            m = geometry::rotation_about(o->x, o->y, o->z, n->x, n->y, n->z, *angle);
            break;
        }
        case ObjectType::Quaternion: {
            const auto w = in.next_float();
            const auto v = in.next_vec3();
            if (!w || !v) return bad();
            m = geometry::quaternion(*w, v->x, v->y, v->z);
            break;
        }
        default:
            return std::nullopt;
    }
    if (!geometry::is_finite(m)) return bad();
    return m;
}

void Builder::add_transform(const Matrix4 &m) {
    Placement &p = mutable_state().placement;
    // The transform written last acts first: it goes on the left of what came before.
    p.pending = p.has_pending ? geometry::multiply(m, p.pending) : m;
    p.has_pending = true;
}

std::uint32_t Builder::add_node(std::uint32_t parent, Node node) {
    const std::uint64_t depth = parent < node_depth_.size() ? node_depth_[parent] + 1u : 1u;
    if (!drawing_surface_ && node.kind != Node::Kind::shape) {  // a shape counts its own lines
        // A group or Transform: its head and fields, "children [", "]" and "}"; a USE one line.
        const std::uint64_t lines = node.kind == Node::Kind::use ? 1 : 4;
        const std::uint64_t level = shape_level(parent);
        const std::uint64_t bytes = (node.kind == Node::Kind::use ? kUseBytes : kNodeBytes) +
                                    2 * node.name.size() + lines * 2 * (level + 1);
        result_.output_other += bytes;
        if (repeating_ > 0) result_.output_repeated += bytes;
    }
    if (node_depth_.size() < scene_.nodes.size()) node_depth_.resize(scene_.nodes.size(), 0);
    node_depth_.push_back(static_cast<std::uint32_t>(depth));
    const auto index = static_cast<std::uint32_t>(scene_.nodes.size());
    scene_.nodes.push_back(std::move(node));
    scene_.nodes[parent].children.push_back(index);
    return index;
}

namespace {

// Inverse of an affine matrix with a non-zero determinant (rows: p' = p * M).
Matrix4 inverse_affine(const Matrix4 &m) {
    const auto &a = m.m;
    const double det = geometry::determinant3(m);
    Matrix4 r;
    r.m[0][0] = (a[1][1] * a[2][2] - a[1][2] * a[2][1]) / det;
    r.m[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
    r.m[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
    r.m[1][0] = (a[1][2] * a[2][0] - a[1][0] * a[2][2]) / det;
    r.m[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
    r.m[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
    r.m[2][0] = (a[1][0] * a[2][1] - a[1][1] * a[2][0]) / det;
    r.m[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
    r.m[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
    for (int c = 0; c < 3; ++c)
        r.m[3][c] = -(a[3][0] * r.m[0][c] + a[3][1] * r.m[1][c] + a[3][2] * r.m[2][c]);
    return r;
}

}  // namespace

Builder::Target Builder::place() {
    const Placement &now = state().placement;
    if (now.has_pending) {
        Placement &p = mutable_state().placement;
        Transform t;
        if (!p.baking && geometry::decompose(p.pending, t)) {
            Node node;
            node.kind = Node::Kind::transform;
            node.transform = t;
            p.parent = add_node(p.parent, std::move(node));
            p.world = geometry::multiply(p.pending, p.world);
        } else {
            p.bake = p.baking ? geometry::multiply(p.pending, p.bake) : p.pending;
            p.baking = true;
        }
        p.has_pending = false;
        p.pending = Matrix4{};
    }
    const Placement &p = state().placement;
    Target target;
    target.parent = p.parent;
    if (p.baking) target.bake = p.bake;
    if (mirrored_) {
        // Mirroring z of the world, expressed below `parent`: B * W * Mz * W^-1.
        const Matrix4 mz = geometry::scaling(1, 1, -1);
        const Matrix4 local = target.bake ? *target.bake : Matrix4{};
        target.bake = geometry::multiply(geometry::multiply(geometry::multiply(local, p.world), mz),
                                         inverse_affine(p.world));
    }
    target.world = target.bake ? geometry::multiply(*target.bake, p.world) : p.world;
    return target;
}

}  // namespace tarvex::builder
