// TriMesh: points, triangles and the attribute arrays are borrowed from the tree, not copied (a
// mesh may have millions of triangles). Triangles whose indices leave the point array are
// removed with a warning (and their per-triangle data with them); per-triangle materials and
// surface shaders split the mesh into one Shape per distinct material.
#include <algorithm>

#include "builder/builder.h"

namespace tarvex::builder {

using tree::ObjectType;

namespace {

constexpr std::uint32_t kMaxMaterialsPerMesh = 64;

// Floats per element of each attribute type (index = type number); 0: not inline data.
constexpr std::uint32_t kElementSize[12] = {0, 2, 2, 3, 1, 3, 3, 1, 3, 6, 1, 0};

struct Arrays {
    std::span<const float> face_color, face_normal, vertex_color, vertex_normal, surface_uv,
        shading_uv, face_surface_uv, face_shading_uv, face_specular, face_transparency,
        face_control, face_ambient;
    std::vector<std::uint32_t> face_shader;  // texture use per triangle (SurfaceShader)
};

template <class T>
std::vector<T> compact(std::span<const T> values, std::size_t stride,
                       const std::vector<std::uint8_t> &keep) {
    std::vector<T> out;
    if (values.empty()) return out;
    out.reserve(values.size());
    for (std::size_t f = 0; f < keep.size(); ++f)
        if (keep[f])
            out.insert(out.end(), values.begin() + f * stride, values.begin() + (f + 1) * stride);
    return out;
}

}  // namespace

void Builder::build_trimesh(std::uint32_t node) {
    FieldReader in(tree_, node);
    std::uint32_t count[6];
    for (std::uint32_t &c : count) {
        const std::optional<std::uint32_t> v = in.next_uint();
        if (!v) return warn(node, "TriMesh needs six counts: skipped");
        c = *v;
    }
    const std::uint32_t triangles = count[0], edges = count[2], points = count[4];
    if (3 * std::uint64_t(triangles) + 4 * std::uint64_t(edges) + 3 * std::uint64_t(points) >
        in.remaining())
        return warn(node, "TriMesh has fewer values than its counts say: skipped");
    size_text_ = count_text(triangles, "triangle", "triangles") + ", " +
                 count_text(points, "point", "points");
    if (triangles == 0 || points == 0) return;
    std::span<const std::uint32_t> tris = in.uint_span(3 * triangles);
    if (tris.empty()) return warn(node, "TriMesh triangle indices are not integers: skipped");
    in.skip(4 * edges);
    const std::span<const float> coords = in.float_span(3 * points);
    if (coords.empty()) return warn(node, "TriMesh points are not finite numbers: skipped");

    std::vector<std::uint8_t> keep;
    std::size_t bad = 0;
    for (std::size_t t = 0; t < triangles; ++t) {
        const bool ok =
            tris[3 * t] < points && tris[3 * t + 1] < points && tris[3 * t + 2] < points;
        if (!ok && keep.empty()) keep.assign(triangles, 1);
        if (!ok) {
            keep[t] = 0;
            ++bad;
        }
    }
    if (bad == triangles)
        return warn(node, "TriMesh: every triangle has a point index out of range: skipped");
    if (bad > 0)
        warn(node, "TriMesh: " + count_text(bad, "triangle", "triangles") +
                       " with a point index out of range removed");

    Arrays arrays;
    bool edge_data = false;
    for_children(node, [&](std::uint32_t c) {
        if (tree_.node(c).type != ObjectType::AttributeArray) return;
        FieldReader a(tree_, c);
        const auto type = a.next_int();
        a.skip(1);
        const auto position = a.next_uint();
        a.skip(1);
        const auto use_flag = a.next_uint();
        if (!type || !position || !use_flag || *position > 2)
            return warn(c, "AttributeArray with a bad header: ignored");
        if (*position == 1) {
            edge_data = true;
            return;
        }
        if (*use_flag != 0) return warn(c, "AttributeArray with a use-array flag: ignored");
        const std::uint32_t elements = *position == 0 ? triangles : points;
        if (*type == 11) {
            if (*position != 0) return warn(c, "surface shaders per vertex: ignored");
            arrays.face_shader.assign(triangles, kNone);
            std::uint32_t t = 0;
            for_children(c, [&](std::uint32_t s) {
                std::uint32_t shader = s;
                if (tree_.node(s).type == ObjectType::Reference) shader = resolve_reference(s);
                if (shader == kNone || tree_.node(shader).type != ObjectType::TextureShader) {
                    ++t;
                    return;
                }
                if (t < triangles) arrays.face_shader[t] = texture_use(shader);
                ++t;
            });
            if (t < triangles)
                warn(c, "AttributeArray has " + std::to_string(t) + " surface shaders for " +
                            std::to_string(triangles) + " triangles");
            return;
        }
        if (*type < 1 || *type > 10) return skip(c);
        const std::uint32_t size = kElementSize[*type];
        if (*type == 9 || *type == 10) return skip(c);  // tangents, highlight state
        const std::span<const float> data = std::uint64_t(elements) * size <= a.remaining()
                                                ? a.float_span(elements * size)
                                                : std::span<const float>{};
        if (data.empty())
            return warn(c, "AttributeArray has fewer finite values than elements: ignored");
        const bool face = *position == 0;
        switch (*type) {
            case 1:
                (face ? arrays.face_surface_uv : arrays.surface_uv) = data;
                break;
            case 2:
                (face ? arrays.face_shading_uv : arrays.shading_uv) = data;
                break;
            case 3:
                (face ? arrays.face_normal : arrays.vertex_normal) = data;
                break;
            case 4:
                if (face) arrays.face_ambient = data;
                break;
            case 5:
                (face ? arrays.face_color : arrays.vertex_color) = data;
                break;
            case 6:
                if (face) arrays.face_specular = data;
                break;
            case 7:
                if (face) arrays.face_control = data;
                break;
            case 8:
                if (face) arrays.face_transparency = data;
                break;
            default:
                break;
        }
        if (!face && (*type == 4 || *type >= 6)) warn(c, "per-vertex material values: ignored");
    });
    if (edge_data) warn(node, "TriMesh edge attributes: dropped");

    if (!keep.empty()) {
        tris = scene_.keep(compact(tris, 3, keep));
        const auto compact_floats = [&](std::span<const float> &s, std::size_t stride) {
            if (!s.empty()) s = scene_.keep(compact(s, stride, keep));
        };
        compact_floats(arrays.face_color, 3);
        compact_floats(arrays.face_normal, 3);
        compact_floats(arrays.face_surface_uv, 2);
        compact_floats(arrays.face_shading_uv, 2);
        compact_floats(arrays.face_specular, 3);
        compact_floats(arrays.face_transparency, 3);
        compact_floats(arrays.face_control, 1);
        compact_floats(arrays.face_ambient, 1);
        if (!arrays.face_shader.empty())
            arrays.face_shader =
                compact(std::span<const std::uint32_t>(arrays.face_shader), 1, keep);
    }
    const std::size_t faces = tris.size() / 3;

    const Attributes a = merged(state().attributes, own_attributes(node));
    FaceSet fs;
    fs.coords = coords;
    fs.triangles = tris;
    if (!arrays.vertex_color.empty()) {
        fs.colors = arrays.vertex_color;
    } else if (!arrays.face_color.empty()) {
        fs.colors = arrays.face_color;
        fs.color_per_vertex = false;
    }
    if (!arrays.vertex_normal.empty()) {
        fs.normals = arrays.vertex_normal;
    } else if (!arrays.face_normal.empty()) {
        fs.normals = arrays.face_normal;
        fs.normal_per_vertex = false;
    }
    fs.tex_coords = !arrays.shading_uv.empty() ? arrays.shading_uv : arrays.surface_uv;
    if (fs.tex_coords.empty()) {
        // One uv a triangle: VRML has no per-face texture coordinates, so every corner of
        // triangle t names uv t (four entries a triangle: three corners and -1).
        fs.tex_coords =
            !arrays.face_shading_uv.empty() ? arrays.face_shading_uv : arrays.face_surface_uv;
        if (!fs.tex_coords.empty()) {
            std::vector<std::int32_t> index(4 * faces);
            for (std::size_t f = 0; f < faces; ++f) {
                const auto t = static_cast<std::int32_t>(f);
                index[4 * f] = index[4 * f + 1] = index[4 * f + 2] = t;
                index[4 * f + 3] = -1;
            }
            fs.tex_coord_index = scene_.keep(std::move(index));
        }
    }

    // Per-triangle materials and shaders: one Shape per distinct combination.
    std::vector<Attributes> materials{a};
    std::vector<std::uint32_t> keys;
    const bool per_face = !arrays.face_specular.empty() || !arrays.face_transparency.empty() ||
                          !arrays.face_control.empty() || !arrays.face_ambient.empty() ||
                          !arrays.face_shader.empty();
    if (per_face) {
        keys.resize(faces);
        for (std::size_t f = 0; f < faces && !keys.empty(); ++f) {
            Attributes m = a;
            if (!arrays.face_specular.empty())
                m.specular = Color{arrays.face_specular[3 * f], arrays.face_specular[3 * f + 1],
                                   arrays.face_specular[3 * f + 2]};
            if (!arrays.face_transparency.empty())
                m.transparency =
                    Color{arrays.face_transparency[3 * f], arrays.face_transparency[3 * f + 1],
                          arrays.face_transparency[3 * f + 2]};
            if (!arrays.face_control.empty()) m.specular_control = arrays.face_control[f];
            if (!arrays.face_ambient.empty()) m.ambient = arrays.face_ambient[f];
            if (!arrays.face_shader.empty() && arrays.face_shader[f] != kNone)
                m.shader = arrays.face_shader[f];
            std::uint32_t k = 0;
            while (k < materials.size() && !(materials[k] == m)) ++k;
            if (k == materials.size()) {
                if (materials.size() == kMaxMaterialsPerMesh) {
                    warn(node, "TriMesh has more than " + std::to_string(kMaxMaterialsPerMesh) +
                                   " distinct triangle materials: the mesh's own is used");
                    keys.clear();
                    materials.assign(1, a);
                    break;
                }
                materials.push_back(m);
            }
            keys[f] = k;
        }
    }
    emit_face_set(node, fs, keys, materials);
}

}  // namespace tarvex::builder
