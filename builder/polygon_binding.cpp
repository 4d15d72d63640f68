// Binding 3DMF's per-face, per-vertex and per-corner attributes to the one colour, one normal
// and one texture-coordinate binding a VRML IndexedFaceSet allows. A corner takes the corner
// set's value, else its vertex's, else its face's, else the geometry's: faces only → per-face
// binding; any vertex or corner value → per-corner binding (face values repeated at corners).
#include <cmath>

#include "builder/builder.h"

namespace tarvex::builder {

namespace {

constexpr std::size_t kMaxMaterials = 64;  // Shapes one geometry may be split into

struct Face {
    std::size_t first, count, source;
};

Vec3 newell_normal(const Polygons &p, const Face &f) {
    double x = 0, y = 0, z = 0;
    for (std::size_t i = 0; i < f.count; ++i) {
        const std::size_t a = 3 * std::size_t(p.faces[f.first + i]);
        const std::size_t b = 3 * std::size_t(p.faces[f.first + (i + 1) % f.count]);
        const float *pa = &p.coords[a], *pb = &p.coords[b];
        x += (double(pa[1]) - pb[1]) * (double(pa[2]) + pb[2]);
        y += (double(pa[2]) - pb[2]) * (double(pa[0]) + pb[0]);
        z += (double(pa[0]) - pb[0]) * (double(pa[1]) + pb[1]);
    }
    const double len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 0) || !std::isfinite(len)) return {0, 0, 1};
    return {float(x / len), float(y / len), float(z / len)};
}

}  // namespace

void Builder::emit_polygons(std::uint32_t node, Polygons &&p, const Attributes &geometry,
                            const PartSets *faces, const PartSets *vertices,
                            const std::unordered_map<std::uint64_t, Attributes> *corners) {
    const std::size_t points = p.coords.size() / 3;
    std::vector<Face> face_list;
    {
        std::size_t start = 0, index = 0;
        for (std::size_t i = 0; i < p.faces.size(); ++i) {
            if (p.faces[i] >= 0) continue;
            if (i > start) {
                const std::size_t source = p.face_source.empty() ? index : p.face_source[index];
                face_list.push_back({start, i - start, source});
            }
            ++index;
            start = i + 1;
        }
    }
    if (face_list.empty() || points == 0) return;

    const auto face_set = [&](const Face &f) -> const Attributes * {
        return faces ? faces->get(static_cast<std::uint32_t>(f.source)) : nullptr;
    };
    const auto vertex_set = [&](std::int32_t v) -> const Attributes * {
        return vertices ? vertices->get(static_cast<std::uint32_t>(v)) : nullptr;
    };
    const auto corner_set = [&](const Face &f, std::int32_t v) -> const Attributes * {
        if (!corners || corners->empty()) return nullptr;
        const auto it = corners->find((std::uint64_t(f.source) << 32) | std::uint32_t(v));
        return it == corners->end() ? nullptr : &it->second;
    };

    // Which levels carry each attribute.
    bool vertex_color = false, face_color = false, vertex_normal = false, face_normal = false,
         vertex_uv = false, every_vertex_color = vertices != nullptr,
         every_vertex_normal = vertices != nullptr;
    if (vertices)
        for (std::size_t v = 0; v < points; ++v) {
            const Attributes *a = vertices->get(static_cast<std::uint32_t>(v));
            vertex_color |= a && a->diffuse;
            vertex_normal |= a && a->normal;
            vertex_uv |= a && a->uv();
            every_vertex_color &= a && a->diffuse;
            every_vertex_normal &= a && a->normal;
        }
    if (corners && !corners->empty()) {
        every_vertex_color = every_vertex_normal = false;
        for (const auto &[key, a] : *corners) {
            vertex_color |= a.diffuse.has_value();
            vertex_normal |= a.normal.has_value();
            vertex_uv |= a.uv().has_value();
        }
    }
    if (faces)
        for (const Face &f : face_list) {
            const Attributes *a = face_set(f);
            face_color |= a && a->diffuse;
            face_normal |= a && a->normal;
        }

    FaceSet fs;
    fs.convex = p.convex;
    const auto corner_value = [&](const Face &f, std::int32_t v, auto member) {
        const Attributes *c = corner_set(f, v);
        if (c && (c->*member)) return c->*member;
        const Attributes *vs = vertex_set(v);
        if (vs && (vs->*member)) return vs->*member;
        const Attributes *fa = face_set(f);
        if (fa && (fa->*member)) return fa->*member;
        return geometry.*member;
    };
    const Color fallback_color = geometry.diffuse.value_or(Material{}.diffuse);

    // Colours.
    if (vertex_color && every_vertex_color && !face_color) {
        std::vector<float> colors;
        colors.reserve(3 * points);
        for (std::size_t v = 0; v < points; ++v) {
            const Color c = *vertices->get(static_cast<std::uint32_t>(v))->diffuse;
            colors.insert(colors.end(), {c.r, c.g, c.b});
        }
        fs.colors = scene_.keep(std::move(colors));
    } else if (vertex_color) {
        std::vector<float> colors;
        std::vector<std::int32_t> index;
        for (const Face &f : face_list) {
            for (std::size_t i = 0; i < f.count; ++i) {
                const Color c = corner_value(f, p.faces[f.first + i], &Attributes::diffuse)
                                    .value_or(fallback_color);
                index.push_back(static_cast<std::int32_t>(colors.size() / 3));
                colors.insert(colors.end(), {c.r, c.g, c.b});
            }
            index.push_back(-1);
        }
        fs.colors = scene_.keep(std::move(colors));
        fs.color_index = scene_.keep(std::move(index));
    } else if (face_color) {
        std::vector<float> colors;
        for (const Face &f : face_list) {
            const Attributes *a = face_set(f);
            const Color c = a && a->diffuse ? *a->diffuse : fallback_color;
            colors.insert(colors.end(), {c.r, c.g, c.b});
        }
        fs.colors = scene_.keep(std::move(colors));
        fs.color_per_vertex = false;
    }

    // Normals: supplied ones win over generated ones; corners without any get the face's.
    const bool generated = p.normals.size() == p.coords.size();
    if (!vertex_normal && !face_normal && generated) {
        fs.normals = scene_.keep(std::move(p.normals));
    } else if (vertex_normal && every_vertex_normal && !face_normal) {
        std::vector<float> normals;
        for (std::size_t v = 0; v < points; ++v) {
            const Vec3 n = *vertices->get(static_cast<std::uint32_t>(v))->normal;
            normals.insert(normals.end(), {n.x, n.y, n.z});
        }
        fs.normals = scene_.keep(std::move(normals));
    } else if (vertex_normal) {
        std::vector<float> normals;
        std::vector<std::int32_t> index;
        for (const Face &f : face_list) {
            for (std::size_t i = 0; i < f.count; ++i) {
                const std::int32_t v = p.faces[f.first + i];
                std::optional<Vec3> n = corner_value(f, v, &Attributes::normal);
                if (!n && generated)
                    n = Vec3{p.normals[3 * v], p.normals[3 * v + 1], p.normals[3 * v + 2]};
                if (!n) n = newell_normal(p, f);
                index.push_back(static_cast<std::int32_t>(normals.size() / 3));
                normals.insert(normals.end(), {n->x, n->y, n->z});
            }
            index.push_back(-1);
        }
        fs.normals = scene_.keep(std::move(normals));
        fs.normal_index = scene_.keep(std::move(index));
    } else if (face_normal) {
        std::vector<float> normals;
        for (const Face &f : face_list) {
            const Attributes *a = face_set(f);
            const Vec3 n = a && a->normal ? *a->normal : newell_normal(p, f);
            normals.insert(normals.end(), {n.x, n.y, n.z});
        }
        fs.normals = scene_.keep(std::move(normals));
        fs.normal_per_vertex = false;
    }

    // Texture coordinates: only worth writing when a texture shows them.
    bool face_shader = false;
    if (faces)
        for (const Attributes &a : faces->sets) face_shader |= a.shader != kNone;
    if (texture_for(geometry) || face_shader) {
        if (vertex_uv) {
            std::vector<float> uvs;
            std::vector<std::int32_t> index;
            for (const Face &f : face_list) {
                for (std::size_t i = 0; i < f.count; ++i) {
                    const std::int32_t v = p.faces[f.first + i];
                    std::optional<std::array<float, 2>> uv =
                        corner_value(f, v, &Attributes::shading_uv);
                    if (!uv) uv = corner_value(f, v, &Attributes::surface_uv);
                    if (!uv && p.uvs.size() == 2 * points)
                        uv = std::array<float, 2>{p.uvs[2 * v], p.uvs[2 * v + 1]};
                    const std::array<float, 2> value = uv.value_or(std::array<float, 2>{0, 0});
                    index.push_back(static_cast<std::int32_t>(uvs.size() / 2));
                    uvs.insert(uvs.end(), {value[0], value[1]});
                }
                index.push_back(-1);
            }
            fs.tex_coords = scene_.keep(std::move(uvs));
            fs.tex_coord_index = scene_.keep(std::move(index));
        } else if (p.uvs.size() == 2 * points) {
            fs.tex_coords = scene_.keep(std::move(p.uvs));
        }
    }

    // Materials: faces whose merged attributes differ (beyond what the bindings carry) become
    // separate Shapes. Vertex-level values that VRML cannot bind (transparency, specular,
    // shininess, ambient) are averaged over each face's corners.
    bool vertex_material = false;
    const auto has_material = [](const Attributes &a) {
        return a.transparency || a.specular || a.specular_control || a.ambient;
    };
    if (vertices)
        for (const Attributes &a : vertices->sets) vertex_material |= has_material(a);
    if (corners)
        for (const auto &[key, a] : *corners) vertex_material |= has_material(a);
    std::vector<Attributes> materials;
    std::vector<std::uint32_t> keys;
    if ((faces && !faces->empty()) || vertex_material) {
        keys.reserve(face_list.size());
        for (const Face &f : face_list) {
            Attributes a = geometry;
            if (const Attributes *fa = face_set(f)) a.merge(*fa);
            if (vertex_material) {
                const auto mean_color = [&](auto member) -> std::optional<Color> {
                    Color sum;
                    std::size_t n = 0;
                    for (std::size_t i = 0; i < f.count; ++i)
                        if (const auto c = corner_value(f, p.faces[f.first + i], member)) {
                            sum = {sum.r + c->r, sum.g + c->g, sum.b + c->b};
                            ++n;
                        }
                    if (n == 0) return std::nullopt;
                    return Color{sum.r / n, sum.g / n, sum.b / n};
                };
                const auto mean = [&](auto member) -> std::optional<float> {
                    float sum = 0;
                    std::size_t n = 0;
                    for (std::size_t i = 0; i < f.count; ++i)
                        if (const auto v = corner_value(f, p.faces[f.first + i], member)) {
                            sum += *v;
                            ++n;
                        }
                    if (n == 0) return std::nullopt;
                    return sum / n;
                };
                a.transparency = mean_color(&Attributes::transparency);
                a.specular = mean_color(&Attributes::specular);
                a.specular_control = mean(&Attributes::specular_control);
                a.ambient = mean(&Attributes::ambient);
            }
            a.normal.reset();
            a.surface_uv.reset();
            a.shading_uv.reset();
            if (!fs.colors.empty()) a.diffuse = geometry.diffuse;
            std::uint32_t k = 0;
            while (k < materials.size() && !(materials[k] == a)) ++k;
            if (k == materials.size()) {
                if (materials.size() == kMaxMaterials) {
                    warn(node, type_text(node) + " has more than " + std::to_string(kMaxMaterials) +
                                   " distinct face materials: the geometry's own is used");
                    materials.clear();
                    break;
                }
                materials.push_back(a);
            }
            keys.push_back(k);
        }
    }
    if (materials.empty()) materials.assign(1, geometry);
    if (materials.size() == 1) keys.clear();

    fs.coords = scene_.keep(std::move(p.coords));
    // Faces with fewer than three corners were left out of face_list: write only real faces.
    std::vector<std::int32_t> index;
    index.reserve(p.faces.size());
    for (const Face &f : face_list) {
        index.insert(index.end(), p.faces.begin() + f.first, p.faces.begin() + f.first + f.count);
        index.push_back(-1);
    }
    fs.coord_index = scene_.keep(std::move(index));
    emit_face_set(node, fs, keys, materials);
}

}  // namespace tarvex::builder
