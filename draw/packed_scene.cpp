#include "draw/packed_scene.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <span>
#include <tuple>

namespace tarvex::draw {

namespace {

std::uint8_t unitByte(float v) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
}

std::int8_t signedByte(float v) {
    return static_cast<std::int8_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 127));
}

bool isTextured(const Shape &shape, const Mesh &mesh, const DrawList &list) {
    return shape.texture < list.textures.size() && list.textures[shape.texture].width > 0 &&
           !mesh.texCoords.empty();
}

BatchStyle styleOf(const Shape &shape, const Mesh &mesh, const DrawList &list) {
    BatchStyle style;
    style.primitive = mesh.primitive;
    style.lit = mesh.primitive == Primitive::triangles;
    style.transparent = shape.material.transparency > 0;
    if (isTextured(shape, mesh, list)) {
        style.texture = shape.texture;
        // Grey with alpha or RGBA: the texture's own alpha makes it see-through.
        style.transparent = style.transparent || list.textures[shape.texture].components % 2 == 0;
    }
    if (style.lit) {
        style.ambientIntensity = shape.material.ambientIntensity;
        style.specular = shape.material.specular;
        style.emissive = shape.material.emissive;
        style.shininess = shape.material.shininess;
    }
    return style;
}

auto key(const BatchStyle &s) {
    return std::tuple(s.transparent, s.primitive, s.lit, s.texture, s.ambientIntensity,
                      s.specular.r, s.specular.g, s.specular.b, s.emissive.r, s.emissive.g,
                      s.emissive.b, s.shininess);
}

struct StyleLess {
    bool operator()(const BatchStyle &a, const BatchStyle &b) const { return key(a) < key(b); }
};

// The normal matrix of a row-vector transform: the cofactors of its 3x3 part, which are the
// inverse transpose times the determinant; the sign is kept so that normals keep their side.
void normalMatrix(const Matrix &m, float out[3][3]) {
    const auto &a = m.m;
    out[0][0] = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    out[0][1] = a[1][2] * a[2][0] - a[1][0] * a[2][2];
    out[0][2] = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    out[1][0] = a[0][2] * a[2][1] - a[0][1] * a[2][2];
    out[1][1] = a[0][0] * a[2][2] - a[0][2] * a[2][0];
    out[1][2] = a[0][1] * a[2][0] - a[0][0] * a[2][1];
    out[2][0] = a[0][1] * a[1][2] - a[0][2] * a[1][1];
    out[2][1] = a[0][2] * a[1][0] - a[0][0] * a[1][2];
    out[2][2] = a[0][0] * a[1][1] - a[0][1] * a[1][0];
    const float det = a[0][0] * out[0][0] + a[0][1] * out[0][1] + a[0][2] * out[0][2];
    if (det < 0) {
        for (auto &row : std::span(out, 3)) {
            for (float &v : row) v = -v;
        }
    }
}

bool isIdentity(const Matrix &m) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            if (m.m[i][j] != (i == j ? 1.0f : 0.0f)) return false;
        }
    }
    return true;
}

void appendShape(const DrawList &list, const Shape &shape, Batch &batch) {
    const Mesh &mesh = list.meshes[shape.mesh];
    const std::size_t base = batch.vertices.size();
    const std::size_t n = mesh.vertexCount();
    const bool identity = isIdentity(shape.toWorld);
    float nm[3][3];
    normalMatrix(shape.toWorld, nm);
    const bool hasColors = mesh.colors.size() >= n * 3;
    const bool hasNormals = mesh.normals.size() >= n * 3;
    const bool hasTex = batch.style.texture != kNone && mesh.texCoords.size() >= n * 2;
    // Lines and points without colours show the emissive colour; an RGB texture replaces the
    // diffuse colour, a grey one modulates it.
    Rgb flat = shape.material.diffuse;
    if (!batch.style.lit) flat = shape.material.emissive;
    if (hasTex && list.textures[batch.style.texture].components >= 3) flat = {1, 1, 1};
    const std::uint8_t alpha = unitByte(1 - shape.material.transparency);
    const std::uint8_t flatColor[4] = {unitByte(flat.r), unitByte(flat.g), unitByte(flat.b), alpha};

    for (std::size_t i = 0; i < n; ++i) {
        PackedVertex &v = batch.vertices.emplace_back();
        const Vec3 p{mesh.positions[i * 3], mesh.positions[i * 3 + 1], mesh.positions[i * 3 + 2]};
        const Vec3 w = identity ? p : transformPoint(shape.toWorld, p);
        v.position[0] = w.x, v.position[1] = w.y, v.position[2] = w.z;
        v.normal[0] = v.normal[1] = v.normal[2] = v.normal[3] = 0;
        if (hasNormals) {
            const float *in = &mesh.normals[i * 3];
            float out[3];
            for (int j = 0; j < 3; ++j)
                out[j] = in[0] * nm[0][j] + in[1] * nm[1][j] + in[2] * nm[2][j];
            const float length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
            if (length > 0 && std::isfinite(length)) {
                for (int j = 0; j < 3; ++j) v.normal[j] = signedByte(out[j] / length);
            }
        }
        if (hasColors) {
            v.color[0] = unitByte(mesh.colors[i * 3]);
            v.color[1] = unitByte(mesh.colors[i * 3 + 1]);
            v.color[2] = unitByte(mesh.colors[i * 3 + 2]);
            v.color[3] = alpha;
        } else {
            std::copy(flatColor, flatColor + 4, v.color);
        }
        v.texCoord[0] = hasTex ? mesh.texCoords[i * 2] : 0;
        v.texCoord[1] = hasTex ? mesh.texCoords[i * 2 + 1] : 0;
    }
    for (std::uint32_t index : mesh.indices) {
        batch.indices.push_back(static_cast<std::uint32_t>(base + index));
    }
}

}  // namespace

std::vector<std::uint32_t> clusterTriangles(const std::vector<PackedVertex> &vertices,
                                            const std::vector<std::uint32_t> &indices,
                                            int cellsAlongLongestSide) {
    Box bounds;
    for (const PackedVertex &v : vertices)
        bounds.add({v.position[0], v.position[1], v.position[2]});
    if (bounds.empty()) return {};
    const float extent[3] = {bounds.max.x - bounds.min.x, bounds.max.y - bounds.min.y,
                             bounds.max.z - bounds.min.z};
    const float longest = std::max({extent[0], extent[1], extent[2]});
    const int n = std::clamp(cellsAlongLongestSide, 1, 1024);
    const float cell = longest > 0 ? longest / float(n) : 1;
    std::size_t cells[3];
    for (int axis = 0; axis < 3; ++axis) {
        cells[axis] = std::min<std::size_t>(std::size_t(extent[axis] / cell) + 1, std::size_t(n));
    }
    const float origin[3] = {bounds.min.x, bounds.min.y, bounds.min.z};
    std::vector<std::uint32_t> firstInCell(cells[0] * cells[1] * cells[2], UINT32_MAX);
    std::vector<std::uint32_t> stand(vertices.size());
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        std::size_t at[3];
        for (int axis = 0; axis < 3; ++axis) {
            const float u = (vertices[i].position[axis] - origin[axis]) / cell;
            at[axis] = std::min(std::size_t(std::max(u, 0.0f)), cells[axis] - 1);
        }
        std::uint32_t &first = firstInCell[(at[2] * cells[1] + at[1]) * cells[0] + at[0]];
        if (first == UINT32_MAX) first = static_cast<std::uint32_t>(i);
        stand[i] = first;
    }
    std::vector<std::uint32_t> kept;
    for (std::size_t t = 0; t + 2 < indices.size(); t += 3) {
        const std::uint32_t a = stand[indices[t]], b = stand[indices[t + 1]],
                            c = stand[indices[t + 2]];
        if (a != b && b != c && a != c) kept.insert(kept.end(), {a, b, c});
    }
    return kept;
}

PackedScene pack(const DrawList &list) {
    PackedScene packed;
    std::map<BatchStyle, std::uint32_t, StyleLess> batchOfStyle;
    std::vector<std::uint32_t> batchOfShape(list.shapes.size());
    std::vector<std::size_t> vertices, indices;
    for (std::size_t i = 0; i < list.shapes.size(); ++i) {
        const Shape &shape = list.shapes[i];
        const Mesh &mesh = list.meshes[shape.mesh];
        const BatchStyle style = styleOf(shape, mesh, list);
        auto [at, added] = batchOfStyle.try_emplace(style, batchOfStyle.size());
        if (added) {
            vertices.push_back(0);
            indices.push_back(0);
        }
        batchOfShape[i] = at->second;
        vertices[at->second] += mesh.vertexCount();
        indices[at->second] += mesh.indices.size();
    }
    // The map's order puts every opaque style before the transparent ones.
    std::vector<std::uint32_t> order(batchOfStyle.size());
    for (const auto &[style, made] : batchOfStyle) {
        order[made] = static_cast<std::uint32_t>(packed.batches.size());
        Batch &batch = packed.batches.emplace_back();
        batch.style = style;
        batch.vertices.reserve(vertices[made]);
        batch.indices.reserve(indices[made]);
    }
    packed.ranges.resize(list.shapes.size());
    for (std::size_t i = 0; i < list.shapes.size(); ++i) {
        const std::uint32_t b = order[batchOfShape[i]];
        Batch &batch = packed.batches[b];
        const std::size_t first = batch.indices.size();
        appendShape(list, list.shapes[i], batch);
        packed.ranges[i] = {b, static_cast<std::uint32_t>(first),
                            static_cast<std::uint32_t>(batch.indices.size() - first)};
    }
    for (Batch &batch : packed.batches) {
        if (batch.style.primitive != Primitive::triangles ||
            batch.indices.size() / 3 <= kCoarseAbove) {
            continue;
        }
        // Rough surfaces keep many clusters a cell; coarser cells until few enough are left.
        for (int cells = 256; cells >= 16; cells /= 2) {
            batch.coarseIndices = clusterTriangles(batch.vertices, batch.indices, cells);
            if (batch.coarseIndices.size() / 3 <= kCoarseTarget) break;
        }
    }
    return packed;
}

}  // namespace tarvex::draw
