// From resolved geometry to Shapes: one colour, normal and texture binding per face set (3DMF's
// corner rule: vertex over face over geometry), one Shape per distinct material, then the
// styles in scope (solid, ccw, crease angle, fill), baking of transforms VRML cannot express,
// and the scene bounds for the lights' radius.
#include <algorithm>
#include <cmath>

#include "builder/builder.h"
#include "core/shortest_float.h"

namespace tarvex::builder {

using geometry::Matrix4;

namespace {

// A Shape's own size, in the units of the growth budget (points and indices).
constexpr std::uint64_t kShapeCost = 100;
// The VRML a Shape takes besides its arrays, as the writer lays it out: about 16 lines of
// brackets and fields, with about 200 bytes of text.
constexpr std::uint64_t kShapeLines = 16, kShapeText = 200;

// Bytes of the shortest text of `v`'s numbers, judged by a few spread over it.
double number_chars(std::span<const float> v) {
    if (v.empty()) return 0;
    const std::size_t samples = std::min<std::size_t>(v.size(), 32), step = v.size() / samples;
    std::uint64_t chars = 0;
    for (std::size_t i = 0; i < samples; ++i) {
        char text[kMaxShortestFloatChars];
        const float x = v[i * step];
        chars += x == 0 || !std::isfinite(x)
                     ? 1
                     : static_cast<std::uint64_t>(format_shortest(text, x) - text);
    }
    return static_cast<double>(chars) / static_cast<double>(samples) *
           static_cast<double>(v.size());
}

std::uint64_t digits(std::size_t n) {
    std::uint64_t d = 1;
    for (; n >= 10; n /= 10) ++d;
    return d;
}

// A number array written `per_line` to a line at indentation `level` (two spaces a level):
// the numbers, a blank or a comma after each, the line's end and its indentation.
std::uint64_t number_array(std::span<const float> v, std::size_t per_line, std::uint64_t level) {
    const std::uint64_t lines = (v.size() + per_line - 1) / per_line;
    return static_cast<std::uint64_t>(number_chars(v)) + v.size() + lines * (2 * level + 1);
}

// An index array of `count` values below `points`, `per_face` to a line (16 at most): each
// value with a comma and a blank or the line's end.
std::uint64_t index_array(std::size_t count, std::size_t points, std::size_t lines,
                          std::uint64_t level) {
    return count * (digits(points) + 2) + lines * 2 * level;
}

struct FaceWalk {
    // Calls f(face, first corner, corner count) for each face of `fs`; corners are positions in
    // the triangles or coord_index array.
    template <class F>
    static void each(const FaceSet &fs, F &&f) {
        if (!fs.triangles.empty()) {
            const std::size_t n = fs.triangles.size() / 3;
            for (std::size_t t = 0; t < n; ++t) f(t, 3 * t, std::size_t{3});
            return;
        }
        std::size_t face = 0, start = 0;
        for (std::size_t i = 0; i < fs.coord_index.size(); ++i) {
            if (fs.coord_index[i] >= 0) continue;
            f(face++, start, i - start);
            start = i + 1;
        }
        if (start < fs.coord_index.size()) f(face, start, fs.coord_index.size() - start);
    }
};

std::int32_t corner_vertex(const FaceSet &fs, std::size_t corner) {
    return fs.triangles.empty() ? fs.coord_index[corner]
                                : static_cast<std::int32_t>(fs.triangles[corner]);
}

// Index arrays of a per-corner binding: position of a corner in the VRML index array. With
// triangles each face takes 4 entries (three and -1), with coord_index the same position.
std::size_t corner_slot(const FaceSet &fs, std::size_t face, std::size_t corner) {
    return fs.triangles.empty() ? corner : 4 * face + (corner - 3 * face);
}

// The faces of `fs` whose key is `key`, sharing its arrays.
FaceSet select_faces(const FaceSet &fs, std::span<const std::uint32_t> keys, std::uint32_t key,
                     Scene &scene) {
    FaceSet out = fs;
    std::vector<std::uint32_t> tris;
    std::vector<std::int32_t> coord_index, color_index, normal_index, tex_index;
    const bool colors_per_corner = !fs.colors.empty() && fs.color_per_vertex;
    const bool normals_per_corner = !fs.normals.empty() && fs.normal_per_vertex;
    FaceWalk::each(fs, [&](std::size_t face, std::size_t first, std::size_t count) {
        if (keys[face] != key) return;
        for (std::size_t c = first; c < first + count; ++c) {
            if (fs.triangles.empty())
                coord_index.push_back(fs.coord_index[c]);
            else
                tris.push_back(fs.triangles[c]);
            const std::size_t slot = corner_slot(fs, face, c);
            if (colors_per_corner && !fs.color_index.empty())
                color_index.push_back(fs.color_index[slot]);
            if (normals_per_corner && !fs.normal_index.empty())
                normal_index.push_back(fs.normal_index[slot]);
            if (!fs.tex_coord_index.empty()) tex_index.push_back(fs.tex_coord_index[slot]);
        }
        if (fs.triangles.empty()) coord_index.push_back(-1);
        if (colors_per_corner && !fs.color_index.empty()) color_index.push_back(-1);
        if (normals_per_corner && !fs.normal_index.empty()) normal_index.push_back(-1);
        if (!fs.tex_coord_index.empty()) tex_index.push_back(-1);
        if (!fs.colors.empty() && !fs.color_per_vertex)
            color_index.push_back(fs.color_index.empty() ? static_cast<std::int32_t>(face)
                                                         : fs.color_index[face]);
        if (!fs.normals.empty() && !fs.normal_per_vertex)
            normal_index.push_back(fs.normal_index.empty() ? static_cast<std::int32_t>(face)
                                                           : fs.normal_index[face]);
    });
    out.triangles =
        fs.triangles.empty() ? std::span<const std::uint32_t>{} : scene.keep(std::move(tris));
    out.coord_index =
        fs.triangles.empty() ? scene.keep(std::move(coord_index)) : std::span<const std::int32_t>{};
    if (!fs.colors.empty() && (!fs.color_per_vertex || !fs.color_index.empty()))
        out.color_index = scene.keep(std::move(color_index));
    if (!fs.normals.empty() && (!fs.normal_per_vertex || !fs.normal_index.empty()))
        out.normal_index = scene.keep(std::move(normal_index));
    if (!fs.tex_coord_index.empty()) out.tex_coord_index = scene.keep(std::move(tex_index));
    return out;
}

std::vector<float> transformed_points(std::span<const float> coords, const Matrix4 &m) {
    std::vector<float> out(coords.size());
    for (std::size_t i = 0; i + 2 < coords.size(); i += 3) {
        const Vec3 p = geometry::apply_point(m, {coords[i], coords[i + 1], coords[i + 2]});
        out[i] = std::isfinite(p.x) ? p.x : 0;
        out[i + 1] = std::isfinite(p.y) ? p.y : 0;
        out[i + 2] = std::isfinite(p.z) ? p.z : 0;
    }
    return out;
}

std::vector<float> transformed_normals(std::span<const float> normals, const Matrix4 &m) {
    std::vector<float> out(normals.size());
    for (std::size_t i = 0; i + 2 < normals.size(); i += 3) {
        const Vec3 n = geometry::apply_normal(m, {normals[i], normals[i + 1], normals[i + 2]});
        const bool ok = std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z);
        out[i] = ok ? n.x : 0;
        out[i + 1] = ok ? n.y : 0;
        out[i + 2] = ok ? n.z : 1;
    }
    return out;
}

// Polylines along every face's boundary, for FillStyle Edges.
std::vector<std::int32_t> face_edges(const FaceSet &fs) {
    std::vector<std::int32_t> lines;
    FaceWalk::each(fs, [&](std::size_t, std::size_t first, std::size_t count) {
        if (count == 0) return;
        for (std::size_t c = first; c < first + count; ++c) lines.push_back(corner_vertex(fs, c));
        lines.push_back(corner_vertex(fs, first));
        lines.push_back(-1);
    });
    return lines;
}

}  // namespace

void Builder::begin_geometry(std::uint32_t node) {
    pending_name_ = scene_.name(name_of(node));
}

void Builder::end_geometry() {
    pending_name_ = {};
}

const TextureUse *Builder::texture_for(const Attributes &a) const {
    const std::uint32_t use = a.shader != kNone ? a.shader : state().texture;
    if (use == kNone || use >= texture_uses_.size()) return nullptr;
    return texture_uses_[use].texture == kNone ? nullptr : &texture_uses_[use];
}

void Builder::count_shape_bounds(std::span<const float> coords, const Matrix4 &world) {
    if (coords.size() < 3) return;
    Vec3 lo{coords[0], coords[1], coords[2]}, hi = lo;
    for (std::size_t i = 3; i + 2 < coords.size(); i += 3) {
        lo = {std::min(lo.x, coords[i]), std::min(lo.y, coords[i + 1]),
              std::min(lo.z, coords[i + 2])};
        hi = {std::max(hi.x, coords[i]), std::max(hi.y, coords[i + 1]),
              std::max(hi.z, coords[i + 2])};
    }
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3 p = geometry::apply_point(
            world, {corner & 1 ? hi.x : lo.x, corner & 2 ? hi.y : lo.y, corner & 4 ? hi.z : lo.z});
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) continue;
        if (!have_bounds_) {
            low_ = high_ = p;
            have_bounds_ = true;
        }
        low_ = {std::min(low_.x, p.x), std::min(low_.y, p.y), std::min(low_.z, p.z)};
        high_ = {std::max(high_.x, p.x), std::max(high_.y, p.y), std::max(high_.z, p.z)};
    }
}

namespace {

void add_shape_node(Builder &b, std::uint32_t parent, Shape shape) {
    Scene &scene = b.scene();
    Node node;
    node.kind = Node::Kind::shape;
    node.shape = static_cast<std::uint32_t>(scene.shapes.size());
    scene.shapes.push_back(std::move(shape));
    // One geometry's several Shapes share its name: the first carries it.
    node.name = b.pending_name_;
    b.pending_name_ = {};
    b.add_node(parent, std::move(node));
}

}  // namespace

void Builder::emit_face_set(std::uint32_t node, FaceSet fs, std::span<const std::uint32_t> keys,
                            std::span<const Attributes> materials) {
    if (fs.coords.empty() || (fs.triangles.empty() && fs.coord_index.empty())) return;
    std::uint32_t key_count = 1;
    for (const std::uint32_t k : keys) key_count = std::max(key_count, k + 1);
    if (key_count > 1) {
        for (std::uint32_t k = 0; k < key_count && k < materials.size(); ++k) {
            FaceSet part = select_faces(fs, keys, k, scene_);
            if (part.triangles.empty() && part.coord_index.empty()) continue;
            emit_face_set(node, part, {}, materials.subspan(k, 1));
        }
        return;
    }
    if (!charge(kShapeCost + fs.coords.size() / 3 + fs.coord_index.size() + fs.triangles.size(),
                node))
        return;
    const Attributes a = materials.empty() ? Attributes{} : materials[0];
    // place() may copy the state on write, which moves the states: styles are looked up after.
    const Target target = place();
    {
        const std::uint64_t level = shape_level(target.parent);
        const std::size_t points = fs.coords.size() / 3;
        const std::size_t faces = fs.triangles.empty()
                                      ? static_cast<std::size_t>(std::count(
                                            fs.coord_index.begin(), fs.coord_index.end(), -1))
                                      : fs.triangles.size() / 3;
        const std::size_t corners = fs.triangles.empty() ? fs.coord_index.size() : faces * 4;
        std::uint64_t bytes =
            kShapeText + kShapeLines * 2 * (level + 2) + number_array(fs.coords, 3, level + 4) +
            number_array(fs.normals, 3, level + 4) + number_array(fs.colors, 3, level + 4) +
            number_array(fs.tex_coords, 2, level + 4) +
            index_array(corners, points, faces, level + 3);
        for (const auto *index : {&fs.normal_index, &fs.color_index, &fs.tex_coord_index})
            if (!index->empty()) bytes += index_array(index->size(), points, faces, level + 3);
        if (!count_written(bytes, node)) return;
    }
    const Styles &styles = state().styles;

    Shape shape;
    shape.source = node;
    shape.appearance.material = material(a);
    if (const TextureUse *t = texture_for(a)) {
        shape.appearance.texture = t->texture;
        shape.appearance.texture_transform = t->transform;
        if (t->uv_matrix && !fs.tex_coords.empty()) {
            const auto &m = *t->uv_matrix;
            std::vector<float> uv(fs.tex_coords.size());
            for (std::size_t i = 0; i + 1 < uv.size(); i += 2) {
                const float u = fs.tex_coords[i], v = fs.tex_coords[i + 1];
                const float x = u * m[0] + v * m[3] + m[6];
                const float y = u * m[1] + v * m[4] + m[7];
                float w = u * m[2] + v * m[5] + m[8];
                if (!(std::fabs(w) > 1e-12f)) w = 1;
                uv[i] = std::isfinite(x / w) ? x / w : 0;
                uv[i + 1] = std::isfinite(y / w) ? y / w : 0;
            }
            fs.tex_coords = scene_.keep(std::move(uv));
        }
    } else {
        fs.tex_coords = {};
        fs.tex_coord_index = {};
    }
    fs.solid = styles.backfacing == Backfacing::culled;
    fs.ccw = !styles.clockwise;
    if (styles.interpolation == Interpolation::none) {
        if (fs.normal_per_vertex) {
            fs.normals = {};
            fs.normal_index = {};
        }
        fs.crease_angle = 0;
    } else if (fs.normals.empty()) {
        fs.crease_angle = 0.5f;  // smooth across gentle bends, keep sharp edges
    }
    count_shape_bounds(fs.coords, target.world);
    if (target.bake) {
        if (!geometry::is_affine(*target.bake))
            warn(node, "projective transform baked into " + type_text(node));
        fs.coords = scene_.keep(transformed_points(fs.coords, *target.bake));
        if (!fs.normals.empty())
            fs.normals = scene_.keep(transformed_normals(fs.normals, *target.bake));
        if (geometry::determinant3(*target.bake) < 0) fs.ccw = !fs.ccw;
    }

    if (styles.fill == Fill::edges) {
        LineSet ls;
        ls.coords = fs.coords;
        ls.coord_index = scene_.keep(face_edges(fs));
        if (!fs.colors.empty() && fs.color_per_vertex && fs.color_index.empty())
            ls.colors = fs.colors;
        shape.appearance.material = unlit_material(a);
        shape.geometry = ls;
    } else if (styles.fill == Fill::points) {
        PointSet ps;
        ps.coords = fs.coords;
        if (!fs.colors.empty() && fs.color_per_vertex && fs.color_index.empty() &&
            fs.colors.size() == fs.coords.size())
            ps.colors = fs.colors;
        shape.appearance.material = unlit_material(a);
        shape.geometry = ps;
    } else {
        shape.geometry = fs;
    }
    add_shape_node(*this, target.parent, std::move(shape));
}

Material Builder::unlit_material(const Attributes &a) const {
    // Lines and points are unlit in VRML: without colours they show the emissive colour.
    Material m = material(a);
    if (state().styles.illumination != Illumination::none) m.emissive = m.diffuse;
    return m;
}

void Builder::emit_line_set(std::uint32_t node, LineSet ls, const Attributes &a) {
    if (ls.coords.empty() || ls.coord_index.empty()) return;
    if (!charge(kShapeCost + ls.coords.size() / 3 + ls.coord_index.size(), node)) return;
    const Target target = place();
    {
        const std::uint64_t level = shape_level(target.parent);
        const std::size_t points = ls.coords.size() / 3;
        const std::size_t lines =
            ls.coord_index.size() / 16 + 1 +
            static_cast<std::size_t>(std::count(ls.coord_index.begin(), ls.coord_index.end(), -1));
        if (!count_written(kShapeText + kShapeLines * 2 * (level + 2) +
                               number_array(ls.coords, 3, level + 4) +
                               number_array(ls.colors, 3, level + 4) +
                               index_array(ls.coord_index.size(), points, lines, level + 3) +
                               index_array(ls.color_index.size(), points, lines, level + 3),
                           node))
            return;
    }
    Shape shape;
    shape.source = node;
    shape.appearance.material = unlit_material(a);
    count_shape_bounds(ls.coords, target.world);
    if (target.bake) ls.coords = scene_.keep(transformed_points(ls.coords, *target.bake));
    if (state().styles.fill == Fill::points) {
        PointSet ps;
        ps.coords = ls.coords;
        if (!ls.colors.empty() && ls.color_per_vertex && ls.color_index.empty())
            ps.colors = ls.colors;
        shape.geometry = ps;
    } else {
        shape.geometry = ls;
    }
    add_shape_node(*this, target.parent, std::move(shape));
}

void Builder::emit_point_set(std::uint32_t node, PointSet ps, const Attributes &a) {
    if (ps.coords.empty()) return;
    if (!charge(kShapeCost + ps.coords.size() / 3, node)) return;
    const Target target = place();
    {
        const std::uint64_t level = shape_level(target.parent);
        if (!count_written(kShapeText + kShapeLines * 2 * (level + 2) +
                               number_array(ps.coords, 3, level + 4) +
                               number_array(ps.colors, 3, level + 4),
                           node))
            return;
    }
    Shape shape;
    shape.source = node;
    shape.appearance.material = unlit_material(a);
    count_shape_bounds(ps.coords, target.world);
    if (target.bake) ps.coords = scene_.keep(transformed_points(ps.coords, *target.bake));
    shape.geometry = ps;
    add_shape_node(*this, target.parent, std::move(shape));
}

}  // namespace tarvex::builder
