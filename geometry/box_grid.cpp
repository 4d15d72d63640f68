// Box and TriGrid: polyhedral geometry with per-face attribute numbering.
#include <array>
#include <cstddef>

#include "geometry/surface_builder.h"

namespace tarvex::geometry {

// Box faces as the 3D Metafile Reference numbers them for FaceAttributeSetList: 0 and 1 are
// crossed by the orientation vector (0 at its far end, 1 through the origin), 2 and 3 by the
// major axis, 4 and 5 by the minor axis, the far end first. Each face is wound so that, for a
// right-handed (orientation, major, minor), its edge cross product points out of the box.
Surface tessellate_box(Vec3 orientation, Vec3 major, Vec3 minor, Vec3 origin) {
    const DVec a = dvec(orientation), b = dvec(major), c = dvec(minor), o = dvec(origin);
    const DVec zero{};
    // Per face: the corner it starts at and its two edges, in winding order.
    const std::array<std::array<DVec, 3>, 6> faces = {{
        {a, b, c},     // 0: far end of orientation, normal b × c
        {zero, c, b},  // 1: at the origin, normal c × b
        {b, c, a},     // 2: far end of major, normal c × a
        {zero, a, c},  // 3
        {c, a, b},     // 4: far end of minor, normal a × b
        {zero, b, a},  // 5
    }};
    const bool reverse = det3(a, b, c) < 0;
    Surface out;
    SurfaceBuilder builder(out);
    constexpr double uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (std::uint32_t f = 0; f < 6; ++f) {
        const DVec start = o + faces[f][0], e1 = faces[f][1], e2 = faces[f][2];
        DVec corners[4] = {start, start + e1, start + e1 + e2, start + e2};
        DVec n = cross(e1, e2);
        if (reverse) n = -n;
        // A flat box has no outward side; its faces still get a defined normal.
        const DVec unit = unit_or(n, unit_or(reverse ? -faces[f][0] : faces[f][0], DVec{0, 0, 1}));
        std::int32_t idx[4];
        for (int k = 0; k < 4; ++k) {
            const int src = reverse ? (4 - k) % 4 : k;
            idx[k] = builder.point(corners[src], unit, uv[src][0], uv[src][1]);
        }
        out.coord_index.insert(out.coord_index.end(), {idx[0], idx[1], idx[2], idx[3], -1});
        out.face_part.push_back(Part::face);
        out.face_source.push_back(f);
    }
    return out;
}

// Rows run along the first index, points row by row from the lower left; cell (r, c) is split
// along (r, c)-(r+1, c+1) when r + c is even and along the other diagonal when odd, so the
// diagonals alternate like a checkerboard. Triangles are numbered cell by cell, two a cell.
Surface tessellate_trigrid(std::uint32_t rows, std::uint32_t columns,
                           std::span<const float> points) {
    Surface out;
    const std::size_t count = static_cast<std::size_t>(rows) * columns;
    if (rows < 2 || columns < 2 || points.size() / 3 < count || count > (1u << 30)) return out;
    out.coords.assign(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(3 * count));
    out.uvs.reserve(2 * count);
    for (std::uint32_t r = 0; r < rows; ++r)
        for (std::uint32_t c = 0; c < columns; ++c) {
            out.uvs.push_back(static_cast<float>(c) / static_cast<float>(columns - 1));
            out.uvs.push_back(static_cast<float>(r) / static_cast<float>(rows - 1));
        }
    const std::size_t triangles = 2 * static_cast<std::size_t>(rows - 1) * (columns - 1);
    out.coord_index.reserve(4 * triangles);
    out.face_part.assign(triangles, Part::face);
    out.face_source.reserve(triangles);
    const auto at = [&](std::uint32_t r, std::uint32_t c) {
        return static_cast<std::int32_t>(r * columns + c);
    };
    std::uint32_t number = 0;
    for (std::uint32_t r = 0; r + 1 < rows; ++r)
        for (std::uint32_t c = 0; c + 1 < columns; ++c) {
            const std::int32_t p00 = at(r, c), p01 = at(r, c + 1), p10 = at(r + 1, c),
                               p11 = at(r + 1, c + 1);
            if ((r + c) % 2 == 0)
                out.coord_index.insert(out.coord_index.end(),
                                       {p00, p01, p11, -1, p00, p11, p10, -1});
            else
                out.coord_index.insert(out.coord_index.end(),
                                       {p00, p01, p10, -1, p01, p11, p10, -1});
            out.face_source.push_back(number++);
            out.face_source.push_back(number++);
        }
    return out;
}

}  // namespace tarvex::geometry
