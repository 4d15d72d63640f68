// Turning 3DMF's analytic and polygonal geometry into triangles and polylines. Pure functions:
// they take plain numbers, return plain arrays, and never fail on finite input (degenerate
// input gives degenerate or empty output, never NaN). Callers check finiteness first.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "geometry/maths_types.h"

namespace tarvex::geometry {

// Parts of a surface, for cap attribute sets: the lateral face and the caps.
enum class Part : std::uint8_t { face, top_cap, bottom_cap, interior_cap };

// A tessellated surface, in IndexedFaceSet terms.
struct Surface {
    std::vector<float> coords;   // x y z per point
    std::vector<float> normals;  // x y z per point, unit length, outward; or empty
    std::vector<float> uvs;      // u v per point (the surface's own parameters); or empty
    std::vector<std::int32_t> coord_index;   // faces ended by -1, counter-clockwise from outside
    std::vector<Part> face_part;             // one per face
    std::vector<std::uint32_t> face_source;  // one per face: the source face it came from
                                             // (Box face 0-5, TriGrid triangle); else 0
    // Quadrics and NURB patches: the grid the subdivision asked for, before Subdivision::detail
    // thinned it. The output budget is worked out from it.
    std::uint64_t asked_points = 0, asked_triangles = 0;
    // NURB patches: the work their evaluation and trimming took beyond the points and triangles
    // made (basis products, trim edges looked at), for the caller's budget.
    std::uint64_t work = 0;
};

struct Polyline {
    std::vector<float> coords;              // x y z per point
    std::vector<std::int32_t> coord_index;  // polylines ended by -1
};

// SubdivisionStyle: Constant gives the u and v segment counts; WorldSpace a target edge length;
// ScreenSpace (pixels) cannot be honoured offline and falls back to the default counts.
struct Subdivision {
    enum class Method { constant, world_space, screen_space };
    Method method = Method::constant;
    float u = 24;  // constant: segments around; world_space: edge length
    float v = 12;  // constant: segments along
    // The share of its cells every grid keeps (0 < detail <= 1): lowered for the whole file when
    // its surfaces together would write more than the output budget allows.
    double detail = 1;
    // Quadrics and NURB patches only work out the grid they would make (Surface::asked_*) and
    // return no geometry.
    bool count_only = false;
};

// Ellipsoid, Cylinder, Disk, Cone, Torus as the format defines them: arbitrary (possibly
// non-orthogonal) axis vectors and u/v ranges; u_min > u_max wraps through u = 1.
struct Quadric {
    Vec3 orientation{0, 1, 0};
    Vec3 major{0, 0, 1};
    Vec3 minor{1, 0, 0};
    Vec3 origin;
    float u_min = 0, u_max = 1, v_min = 0, v_max = 1;
    float ratio = 1;  // Torus only
};

// Caps bits as the file's Caps object gives them.
enum CapBits : unsigned { caps_none = 0, caps_top = 1, caps_bottom = 2, caps_interior = 4 };

Surface tessellate_ellipsoid(const Quadric &q, unsigned caps, Subdivision s);
Surface tessellate_cylinder(const Quadric &q, unsigned caps, Subdivision s);
Surface tessellate_cone(const Quadric &q, unsigned caps, Subdivision s);
Surface tessellate_disk(const Quadric &q, Subdivision s);
Surface tessellate_torus(const Quadric &q, unsigned caps, Subdivision s);

// Box: 8 corners origin + {0,1}*orientation + {0,1}*major + {0,1}*minor, 6 quads facing out,
// face_source 0-5 in the format's face numbering, uv 0-1 per face.
Surface tessellate_box(Vec3 orientation, Vec3 major, Vec3 minor, Vec3 origin);

// TriGrid: rows x columns points, two triangles a cell with the alternating diagonal;
// face_source = the triangle's number in the format's order.
Surface tessellate_trigrid(std::uint32_t rows, std::uint32_t columns,
                           std::span<const float> points);

// Ellipse: origin + cos(2πu) major + sin(2πu) minor for u in [u_min, u_max]; closed when the
// range is a full turn.
Polyline tessellate_ellipse(Vec3 major, Vec3 minor, Vec3 origin, float u_min, float u_max,
                            Subdivision s);

// NURBS. Control points are homogeneous (x·w, y·w, z·w, w), as 3DMF stores them. nullopt when
// the data are inconsistent (order < 2, too few points, knots not non-decreasing, wrong counts).
struct NurbCurve {
    std::uint32_t order = 0;
    std::span<const float> points;  // 4 floats a point (3 for a 2-D trim curve: u·w, v·w, w)
    std::span<const float> knots;
};
std::optional<Polyline> tessellate_nurb_curve(const NurbCurve &curve, Subdivision s);

struct NurbPatch {
    std::uint32_t u_order = 0, v_order = 0, rows = 0, columns = 0;
    std::span<const float> points;  // rows x columns, 4 floats each, row by row
    std::span<const float> u_knots, v_knots;
};
// Trim loops: each a closed chain of 2-D NURB curves in the patch's (u, v) space. Triangles
// outside the trimmed region are removed; `trimmed` tells whether the loops could be honoured
// (false: the untrimmed surface is returned and the caller warns).
std::optional<Surface> tessellate_nurb_patch(const NurbPatch &patch,
                                             std::span<const std::vector<NurbCurve>> trim_loops,
                                             Subdivision s, bool &trimmed);

// Polygons with holes and self-intersections: `contours` are loops of indices into `points`
// (x y z each); the filled region follows the even-odd rule, as GeneralPolygon and Mesh faces
// with hole contours mean. Appends index triples into `points` (counter-clockwise seen from the
// side the first contour winds counter-clockwise on) to `triangles`; may append new points
// (intersections) to `points`. False when the contours span no area. Indices out of range are
// left out. Input too large or too tangled to untangle in bounded time (a self-crossing polygon
// of many thousand edges) gets one triangle fan per contour, no new points, and false. `work`,
// when given, is the most work units the call may spend (it never spends more than its own
// cap), and is set to what it spent: a caller triangulating many polygons charges one budget.
// Whether one closed contour of indices into `points` is a simple polygon: no two edges meet
// but neighbours at their shared corner, so any VRML reader fills it the same way. Contours of
// more than kMaxSimpleContour corners are not examined (false), nor are those without area or
// with indices out of range; a triangle always is simple. `convex`, when given, is set to
// whether a simple contour is also convex, so that a plain fan fills it.
inline constexpr std::size_t kMaxSimpleContour = 64;
bool contour_is_simple(std::span<const float> points, std::span<const std::uint32_t> contour,
                       bool *convex = nullptr);

bool triangulate_contours(std::vector<float> &points,
                          std::span<const std::vector<std::uint32_t>> contours,
                          std::vector<std::uint32_t> &triangles, std::uint64_t *work = nullptr);

}  // namespace tarvex::geometry
