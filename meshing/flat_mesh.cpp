// Face sets are cut here once for every reader of the scene, so that the draw list and the
// writers of triangle formats show the same triangles.
#include "meshing/flat_mesh.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <type_traits>
#include <variant>

#include "geometry/ear_clip.h"

namespace tarvex::meshing {

namespace {

using geometry::ear_clip;
using geometry::orient;
using geometry::P2;

// Steps of ear clipping a face may take per corner before it is cut as a fan instead.
constexpr long kEarClipWork = 4096;

bool valid(std::int64_t index, std::size_t count) {
    return index >= 0 && static_cast<std::uint64_t>(index) < count;
}

// One face corner with every index resolved; -1 where the face set has no such attribute.
struct Corner {
    std::uint32_t coord = 0;
    std::int64_t color = -1, normal = -1, tex = -1;
};

// Cuts a face of `n` corners into triangles of corner numbers. Convex faces become fans; others
// are ear-clipped in the plane they lie in most, falling back to a fan where that fails. A face
// set's convexity is a promise its maker may have broken: each face is held to it, since a fan
// over a concave face draws outside it.
class Triangulator {
  public:
    const std::vector<std::uint32_t> &cut(std::span<const float> coords,
                                          std::span<const Corner> face, bool convex) {
        out_.clear();
        const std::size_t n = face.size();
        if (n <= 3 || !earClip(coords, face, convex)) {
            out_.clear();
            for (std::uint32_t i = 1; i + 1 < n; ++i) out_.insert(out_.end(), {0, i, i + 1});
        }
        return out_;
    }

  private:
    // False (a fan) also where `convex` is promised and the face keeps it.
    bool earClip(std::span<const float> coords, std::span<const Corner> face, bool convex) {
        const std::size_t n = face.size();
        // Newell's normal picks the plane to project on.
        double nx = 0, ny = 0, nz = 0;
        const auto at = [&](std::size_t i, int axis) {
            return double(coords[std::size_t{face[i].coord} * 3 + axis]);
        };
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t j = (i + 1) % n;
            nx += (at(i, 1) - at(j, 1)) * (at(i, 2) + at(j, 2));
            ny += (at(i, 2) - at(j, 2)) * (at(i, 0) + at(j, 0));
            nz += (at(i, 0) - at(j, 0)) * (at(i, 1) + at(j, 1));
        }
        int u = 0, v = 1;
        double sign = nz;
        if (std::abs(nx) >= std::abs(ny) && std::abs(nx) >= std::abs(nz)) {
            u = 1, v = 2, sign = nx;
        } else if (std::abs(ny) >= std::abs(nz)) {
            u = 2, v = 0, sign = ny;
        }
        if (sign == 0) return false;
        // Mirrored where the face winds clockwise in the plane, so that the clipper sees it
        // counter-clockwise and the triangles keep the face's own winding.
        const double flip = sign > 0 ? 1 : -1;
        points_.resize(n);
        corners_.resize(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            points_[i] = {at(i, u), flip * at(i, v)};
            corners_[i] = i;
        }
        if (convex) {
            bool kept = true;
            for (std::size_t i = 0; i < n && kept; ++i)
                kept = orient(points_[(i + n - 1) % n], points_[i], points_[(i + 1) % n]) >= 0;
            if (kept) return false;
        }
        long work = 0;
        return ear_clip(points_, corners_, out_, work, kEarClipWork * long(n));
    }

    std::vector<std::uint32_t> out_;
    std::vector<P2> points_;
    std::vector<std::uint32_t> corners_;
};

void applyTextureTransform(const scene::TextureTransform &t, std::vector<float> &tex) {
    for (std::size_t i = 0; i + 1 < tex.size(); i += 2) {
        const auto [u, v] = t.apply(tex[i], tex[i + 1]);
        tex[i] = static_cast<float>(u);
        tex[i + 1] = static_cast<float>(v);
    }
}

void pushTriple(std::vector<float> &to, std::span<const float> from, std::size_t index) {
    to.insert(to.end(), from.begin() + static_cast<std::ptrdiff_t>(index * 3),
              from.begin() + static_cast<std::ptrdiff_t>(index * 3 + 3));
}

FlatMesh faceSetMesh(const scene::FaceSet &fs) {
    FlatMesh mesh;
    const std::size_t points = fs.coords.size() / 3;
    const std::size_t colors = fs.colors.size() / 3, normals = fs.normals.size() / 3,
                      texs = fs.tex_coords.size() / 2;
    const bool fromTriangles = !fs.triangles.empty();
    const std::size_t stream = fromTriangles ? fs.triangles.size() : fs.coord_index.size();
    const auto coordAt = [&](std::size_t pos) -> std::int64_t {
        return fromTriangles ? std::int64_t{fs.triangles[pos]} : std::int64_t{fs.coord_index[pos]};
    };
    // A per-corner index array beside `triangles` may carry VRML's -1 after each triangle.
    const auto cornerIndex = [&](std::span<const std::int32_t> index, std::size_t pos,
                                 std::int64_t fallback) -> std::int64_t {
        if (index.empty()) return fallback;
        if (fromTriangles && index.size() == stream / 3 * 4) pos += pos / 3;
        return pos < index.size() ? index[pos] : -1;
    };
    const auto faceIndex = [](std::span<const std::int32_t> index, std::size_t face) {
        if (index.empty()) return static_cast<std::int64_t>(face);
        return face < index.size() ? std::int64_t{index[face]} : std::int64_t{-1};
    };

    // Coordinates are shared when every attribute follows them one to one.
    const bool shared =
        (colors == 0 || (fs.color_per_vertex && fs.color_index.empty() && colors >= points)) &&
        (normals == 0 || (fs.normal_per_vertex && fs.normal_index.empty() && normals >= points)) &&
        (texs == 0 || (fs.tex_coord_index.empty() && texs >= points));
    if (shared) {
        mesh.positions.assign(fs.coords.begin(), fs.coords.begin() + std::ptrdiff_t(points * 3));
        if (colors) mesh.colors.assign(fs.colors.begin(), fs.colors.begin() + points * 3);
        if (normals) mesh.normals.assign(fs.normals.begin(), fs.normals.begin() + points * 3);
        if (texs) mesh.tex_coords.assign(fs.tex_coords.begin(), fs.tex_coords.begin() + points * 2);
    }

    std::vector<Corner> face;
    Triangulator triangulator;
    std::size_t faceNumber = 0;
    for (std::size_t pos = 0; pos < stream; ++faceNumber) {
        const std::size_t first = pos;
        std::size_t end = pos;
        if (fromTriangles) {
            end = pos + 3 <= stream ? pos + 3 : stream;
            pos = end;
        } else {
            while (end < stream && fs.coord_index[end] >= 0) ++end;
            pos = end + 1;
        }
        face.clear();
        bool ok = true;
        for (std::size_t k = first; k < end && ok; ++k) {
            Corner corner;
            const std::int64_t coord = coordAt(k);
            ok = valid(coord, points);
            if (!ok) break;
            corner.coord = static_cast<std::uint32_t>(coord);
            if (colors) {
                corner.color = fs.color_per_vertex ? cornerIndex(fs.color_index, k, coord)
                                                   : faceIndex(fs.color_index, faceNumber);
                ok = ok && valid(corner.color, colors);
            }
            if (normals) {
                corner.normal = fs.normal_per_vertex ? cornerIndex(fs.normal_index, k, coord)
                                                     : faceIndex(fs.normal_index, faceNumber);
                ok = ok && valid(corner.normal, normals);
            }
            if (texs) {
                corner.tex = cornerIndex(fs.tex_coord_index, k, coord);
                ok = ok && valid(corner.tex, texs);
            }
            face.push_back(corner);
        }
        if (!ok || face.size() < 3) continue;
        for (std::uint32_t c : triangulator.cut(fs.coords, face, fs.convex)) {
            const Corner &corner = face[c];
            if (shared) {
                mesh.indices.push_back(corner.coord);
                continue;
            }
            mesh.indices.push_back(static_cast<std::uint32_t>(mesh.vertex_count()));
            pushTriple(mesh.positions, fs.coords, corner.coord);
            if (colors) pushTriple(mesh.colors, fs.colors, std::size_t(corner.color));
            if (normals) pushTriple(mesh.normals, fs.normals, std::size_t(corner.normal));
            if (texs) {
                mesh.tex_coords.push_back(fs.tex_coords[std::size_t(corner.tex) * 2]);
                mesh.tex_coords.push_back(fs.tex_coords[std::size_t(corner.tex) * 2 + 1]);
            }
        }
    }
    return mesh;
}

// Polylines ended by -1 as separate segments; colours per vertex or per polyline.
FlatMesh lineSetMesh(const scene::LineSet &ls) {
    FlatMesh mesh;
    mesh.primitive = FlatMesh::Primitive::lines;
    const std::size_t points = ls.coords.size() / 3, colors = ls.colors.size() / 3;
    const auto colorOf = [&](std::size_t pos, std::int64_t coord, std::size_t line) {
        if (ls.color_per_vertex) {
            if (ls.color_index.empty()) return coord;
            return pos < ls.color_index.size() ? std::int64_t{ls.color_index[pos]} : -1;
        }
        if (ls.color_index.empty()) return static_cast<std::int64_t>(line);
        return line < ls.color_index.size() ? std::int64_t{ls.color_index[line]} : -1;
    };
    std::size_t line = 0;
    for (std::size_t pos = 0; pos + 1 < ls.coord_index.size(); ++pos) {
        const std::int64_t a = ls.coord_index[pos], b = ls.coord_index[pos + 1];
        if (a < 0) {
            ++line;
            continue;
        }
        if (b < 0 || !valid(a, points) || !valid(b, points)) continue;
        const std::int64_t ca = colors ? colorOf(pos, a, line) : 0;
        const std::int64_t cb = colors ? colorOf(pos + 1, b, line) : 0;
        if (colors && (!valid(ca, colors) || !valid(cb, colors))) continue;
        for (const auto &[coord, color] : {std::pair{a, ca}, std::pair{b, cb}}) {
            mesh.indices.push_back(static_cast<std::uint32_t>(mesh.vertex_count()));
            pushTriple(mesh.positions, ls.coords, std::size_t(coord));
            if (colors) pushTriple(mesh.colors, ls.colors, std::size_t(color));
        }
    }
    return mesh;
}

FlatMesh pointSetMesh(const scene::PointSet &ps) {
    FlatMesh mesh;
    mesh.primitive = FlatMesh::Primitive::points;
    const std::size_t points = ps.coords.size() / 3;
    mesh.positions.assign(ps.coords.begin(), ps.coords.begin() + std::ptrdiff_t(points * 3));
    // Colours count only when every point has one.
    if (ps.colors.size() / 3 >= points) {
        mesh.colors.assign(ps.colors.begin(), ps.colors.begin() + std::ptrdiff_t(points * 3));
    }
    for (std::uint32_t i = 0; i < points; ++i) mesh.indices.push_back(i);
    return mesh;
}

}  // namespace

FlatMesh flatten(const scene::Shape &shape) {
    FlatMesh mesh = std::visit(
        [](const auto &g) {
            using G = std::decay_t<decltype(g)>;
            if constexpr (std::is_same_v<G, scene::FaceSet>) return faceSetMesh(g);
            if constexpr (std::is_same_v<G, scene::LineSet>) return lineSetMesh(g);
            if constexpr (std::is_same_v<G, scene::PointSet>) return pointSetMesh(g);
        },
        shape.geometry);
    if (shape.appearance.texture_transform) {
        applyTextureTransform(*shape.appearance.texture_transform, mesh.tex_coords);
    }
    return mesh;
}

}  // namespace tarvex::meshing
