// Points, lines and polygonal geometry: each object's fields read and checked, its attribute
// set lists bound, and the result handed to the shape output. A malformed object is skipped
// with a warning at its position.
#include <algorithm>
#include <cmath>

#include "builder/builder.h"

namespace tarvex::builder {

using tree::ObjectType;

namespace {

// `n` points (3 floats each) from the reader; empty when n is 0 or the values are not there.
std::span<const float> read_points(FieldReader &in, std::uint64_t n) {
    if (n == 0 || 3 * n > in.remaining()) return {};
    return in.float_span(static_cast<std::uint32_t>(3 * n));
}

std::vector<float> copy(std::span<const float> s) {
    return {s.begin(), s.end()};
}

}  // namespace

bool Builder::build_geometry(std::uint32_t node) {
    const ObjectType type = tree_.node(node).type;
    drawing_surface_ = type == ObjectType::Ellipsoid || type == ObjectType::Cylinder ||
                       type == ObjectType::Disk || type == ObjectType::Cone ||
                       type == ObjectType::Torus || type == ObjectType::NURBPatch;
    begin_geometry(node);
    size_text_.clear();
    switch (tree_.node(node).type) {
        case ObjectType::TriMesh:
            build_trimesh(node);
            break;
        case ObjectType::Point:
            build_point(node);
            break;
        case ObjectType::Line:
            build_line(node);
            break;
        case ObjectType::PolyLine:
            build_polyline(node);
            break;
        case ObjectType::Triangle:
            build_triangle(node);
            break;
        case ObjectType::Polygon:
            build_polygon(node);
            break;
        case ObjectType::GeneralPolygon:
            build_general_polygon(node);
            break;
        case ObjectType::Box:
            build_box(node);
            break;
        case ObjectType::TriGrid:
            build_trigrid(node);
            break;
        case ObjectType::Polyhedron:
            build_polyhedron(node);
            break;
        case ObjectType::Mesh:
            build_mesh(node);
            break;
        case ObjectType::Ellipsoid:
        case ObjectType::Cylinder:
        case ObjectType::Disk:
        case ObjectType::Cone:
        case ObjectType::Torus:
            build_quadric(node);
            break;
        case ObjectType::Ellipse:
            build_ellipse(node);
            break;
        case ObjectType::NURBCurve:
            build_nurb_curve(node);
            break;
        case ObjectType::NURBPatch:
            build_nurb_patch(node);
            break;
        case ObjectType::Marker:
        case ObjectType::PixmapMarker:
            build_marker(node);
            break;
        default:
            end_geometry();
            return false;
    }
    if (!size_text_.empty()) set_outline_size(std::move(size_text_));
    end_geometry();
    drawing_surface_ = false;
    return true;
}

void Builder::build_point(std::uint32_t node) {
    FieldReader in(tree_, node);
    const std::span<const float> p = read_points(in, 1);
    if (p.empty()) return warn(node, "Point needs three finite numbers: skipped");
    PointSet ps;
    ps.coords = scene_.keep(copy(p));
    emit_point_set(node, ps, merged(state().attributes, own_attributes(node)));
    size_text_ = "1 point";
}

namespace {

// Colours per vertex from a vertex list, missing ones from the geometry; empty when none.
std::vector<float> vertex_colors(const PartSets &vertices, std::size_t n, const Attributes &a) {
    bool any = false;
    for (std::size_t v = 0; v < n; ++v) {
        const Attributes *s = vertices.get(static_cast<std::uint32_t>(v));
        any |= s && s->diffuse;
    }
    if (!any) return {};
    const Color fallback = a.diffuse.value_or(Material{}.diffuse);
    std::vector<float> colors;
    for (std::size_t v = 0; v < n; ++v) {
        const Attributes *s = vertices.get(static_cast<std::uint32_t>(v));
        const Color c = s && s->diffuse ? *s->diffuse : fallback;
        colors.insert(colors.end(), {c.r, c.g, c.b});
    }
    return colors;
}

}  // namespace

void Builder::build_line(std::uint32_t node) {
    FieldReader in(tree_, node);
    const std::span<const float> p = read_points(in, 2);
    if (p.empty()) return warn(node, "Line needs two points: skipped");
    const Attributes a = merged(state().attributes, own_attributes(node));
    const PartSets vertices = read_set_list(node, ObjectType::VertexAttributeSetList, 2);
    LineSet ls;
    ls.coords = scene_.keep(copy(p));
    ls.coord_index = scene_.keep(std::vector<std::int32_t>{0, 1, -1});
    std::vector<float> colors = vertex_colors(vertices, 2, a);
    if (!colors.empty()) ls.colors = scene_.keep(std::move(colors));
    emit_line_set(node, ls, a);
    size_text_ = "1 line";
}

void Builder::build_polyline(std::uint32_t node) {
    FieldReader in(tree_, node);
    const std::optional<std::uint32_t> n = in.next_uint();
    const std::span<const float> p = n ? read_points(in, *n) : std::span<const float>{};
    if (!n || *n < 2 || p.empty())
        return warn(node, "PolyLine needs a vertex count of at least 2 and its points: skipped");
    const Attributes a = merged(state().attributes, own_attributes(node));
    const PartSets vertices = read_set_list(node, ObjectType::VertexAttributeSetList, *n);
    const PartSets segments = read_set_list(node, ObjectType::GeometryAttributeSetList, *n - 1);
    const auto colour_of = [](const PartSets &sets, std::uint32_t part) {
        const Attributes *s = sets.get(part);
        return s && s->diffuse ? s->diffuse : std::nullopt;
    };
    bool by_vertex = false, by_segment = false;
    for (std::uint32_t v = 0; v < *n; ++v) by_vertex |= colour_of(vertices, v).has_value();
    for (std::uint32_t s = 0; s + 1 < *n; ++s) by_segment |= colour_of(segments, s).has_value();
    const Color line = a.diffuse.value_or(Material{}.diffuse);
    LineSet ls;
    ls.coords = scene_.keep(copy(p));
    std::vector<float> colors;
    std::vector<std::int32_t> index, color_index;
    if (by_vertex && by_segment) {
        // A vertex between segments of two colours shows each one's colour at that end: every
        // segment is a polyline of its own, coloured per corner (vertex, else segment, else line).
        for (std::uint32_t s = 0; s + 1 < *n; ++s) {
            for (const std::uint32_t v : {s, s + 1}) {
                const Color c =
                    colour_of(vertices, v).value_or(colour_of(segments, s).value_or(line));
                color_index.push_back(std::int32_t(colors.size() / 3));
                colors.insert(colors.end(), {c.r, c.g, c.b});
            }
            index.insert(index.end(), {std::int32_t(s), std::int32_t(s + 1), -1});
            color_index.push_back(-1);
        }
        ls.color_index = scene_.keep(std::move(color_index));
    } else if (by_segment) {
        // One two-point polyline per segment, a colour per polyline.
        for (std::uint32_t s = 0; s + 1 < *n; ++s) {
            index.insert(index.end(), {std::int32_t(s), std::int32_t(s + 1), -1});
            const Color c = colour_of(segments, s).value_or(line);
            colors.insert(colors.end(), {c.r, c.g, c.b});
        }
        ls.color_per_vertex = false;
    } else {
        for (std::uint32_t v = 0; v < *n; ++v) index.push_back(std::int32_t(v));
        index.push_back(-1);
        colors = vertex_colors(vertices, *n, a);
    }
    ls.coord_index = scene_.keep(std::move(index));
    if (!colors.empty()) ls.colors = scene_.keep(std::move(colors));
    emit_line_set(node, ls, a);
    size_text_ = count_text(*n, "point", "points");
}

bool Builder::add_face(std::uint32_t node, std::string_view what, Polygons &poly,
                       std::span<const std::vector<std::uint32_t>> contours, std::uint32_t source) {
    // A simple contour goes as it is; anything a VRML reader could fill otherwise than the
    // even-odd rule (a hole, a crossing, a corner given twice) goes as triangles. A concave one
    // says so, or readers fan it.
    bool convex = true;
    if (contours.size() == 1 && geometry::contour_is_simple(poly.coords, contours[0], &convex)) {
        poly.convex &= convex;
        for (const std::uint32_t v : contours[0]) poly.faces.push_back(std::int32_t(v));
        poly.faces.push_back(-1);
        poly.face_source.push_back(source);
        return true;
    }
    // The same object gives the same points each time it is drawn, so the same triangles.
    const std::uint64_t key = (std::uint64_t{node} << 32) | source;
    auto found = triangulations_.find(key);
    if (found == triangulations_.end()) {
        Triangulation made;
        const std::size_t before = poly.coords.size();
        made.fill = triangulate(node, poly.coords, contours, made.triangles);
        made.added_points.assign(poly.coords.begin() + std::ptrdiff_t(before), poly.coords.end());
        poly.coords.resize(before);
        found = triangulations_.emplace(key, std::move(made)).first;
    }
    const Triangulation &done = found->second;
    poly.coords.insert(poly.coords.end(), done.added_points.begin(), done.added_points.end());
    const Triangulated fill = done.fill;
    const std::vector<std::uint32_t> &triangles = done.triangles;
    if (fill == Triangulated::none) {
        warn(node, std::string(what) + " spans no area: skipped");
        return false;
    }
    if (fill == Triangulated::fan)
        warn(node, std::string(what) +
                       " is too large or tangled to fill by the even-odd rule: drawn as a fan");
    for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
        poly.faces.insert(poly.faces.end(),
                          {std::int32_t(triangles[t]), std::int32_t(triangles[t + 1]),
                           std::int32_t(triangles[t + 2]), -1});
        poly.face_source.push_back(source);
    }
    return true;
}

void Builder::build_triangle(std::uint32_t node) {
    FieldReader in(tree_, node);
    const std::span<const float> p = read_points(in, 3);
    if (p.empty()) return warn(node, "Triangle needs three points: skipped");
    Polygons poly;
    poly.coords = copy(p);
    poly.faces = {0, 1, 2, -1};
    const Attributes a = merged(state().attributes, own_attributes(node));
    const PartSets vertices = read_set_list(node, ObjectType::VertexAttributeSetList, 3);
    emit_polygons(node, std::move(poly), a, nullptr, &vertices);
    size_text_ = "1 triangle";
}

void Builder::build_polygon(std::uint32_t node) {
    FieldReader in(tree_, node);
    const std::optional<std::uint32_t> n = in.next_uint();
    const std::span<const float> p = n ? read_points(in, *n) : std::span<const float>{};
    if (!n || *n < 3 || p.empty())
        return warn(node, "Polygon needs a vertex count of at least 3 and its points: skipped");
    Polygons poly;
    poly.coords = copy(p);
    std::vector<std::uint32_t> loop(*n);
    for (std::uint32_t v = 0; v < *n; ++v) loop[v] = v;
    if (!add_face(node, "Polygon", poly, {&loop, 1}, 0)) return;
    // Writers do not always keep the convexity promise; a concave face drawn as convex breaks.
    poly.convex = false;
    const Attributes a = merged(state().attributes, own_attributes(node));
    const PartSets vertices = read_set_list(node, ObjectType::VertexAttributeSetList, *n);
    emit_polygons(node, std::move(poly), a, nullptr, &vertices);
    size_text_ = count_text(*n, "vertex", "vertices");
}

void Builder::build_general_polygon(std::uint32_t node) {
    FieldReader in(tree_, node);
    const std::optional<std::uint32_t> contour_count = in.next_uint();
    if (!contour_count || *contour_count == 0 || *contour_count > in.remaining())
        return warn(node, "GeneralPolygon needs a contour count: skipped");
    std::vector<float> points;
    std::vector<std::vector<std::uint32_t>> contours;
    std::uint32_t total = 0;
    for (std::uint32_t c = 0; c < *contour_count; ++c) {
        const std::optional<std::uint32_t> n = in.next_uint();
        const std::span<const float> p = n ? read_points(in, *n) : std::span<const float>{};
        if (!n || *n < 3 || p.empty())
            return warn(node, "GeneralPolygon contour " + std::to_string(c) +
                                  " needs at least 3 points: skipped");
        std::vector<std::uint32_t> loop(*n);
        for (std::uint32_t v = 0; v < *n; ++v) loop[v] = total + v;
        contours.push_back(std::move(loop));
        points.insert(points.end(), p.begin(), p.end());
        total += *n;
    }
    Polygons poly;
    poly.coords = std::move(points);
    if (!add_face(node, "GeneralPolygon", poly, contours, 0)) return;
    const Attributes a = merged(state().attributes, own_attributes(node));
    const PartSets vertices = read_set_list(node, ObjectType::VertexAttributeSetList, total);
    emit_polygons(node, std::move(poly), a, nullptr, &vertices);
    size_text_ = count_text(*contour_count, "contour", "contours") + ", " +
                 count_text(total, "vertex", "vertices");
}

void Builder::build_box(std::uint32_t node) {
    FieldReader in(tree_, node);
    Vec3 orientation{0, 1, 0}, major{0, 0, 1}, minor{1, 0, 0}, origin{0, 0, 0};
    if (!in.at_end()) {
        const auto o = in.next_vec3(), ma = in.next_vec3(), mi = in.next_vec3(), c = in.next_vec3();
        if (!o || !ma || !mi || !c) return warn(node, "Box needs four vectors: skipped");
        orientation = *o;
        major = *ma;
        minor = *mi;
        origin = *c;
    }
    Polygons poly =
        from_surface_polygons(geometry::tessellate_box(orientation, major, minor, origin));
    const Attributes a = merged(state().attributes, own_attributes(node));
    const PartSets faces = read_set_list(node, ObjectType::FaceAttributeSetList, 6);
    emit_polygons(node, std::move(poly), a, &faces, nullptr);
    size_text_ = "6 faces";
}

void Builder::build_trigrid(std::uint32_t node) {
    FieldReader in(tree_, node);
    const auto rows = in.next_uint(), columns = in.next_uint();
    if (!rows || !columns || *rows < 2 || *columns < 2)
        return warn(node, "TriGrid needs at least 2 rows and 2 columns: skipped");
    const std::uint64_t n = std::uint64_t(*rows) * *columns;
    const std::span<const float> p = read_points(in, n);
    if (p.empty()) return warn(node, "TriGrid has fewer points than rows × columns: skipped");
    Polygons poly = from_surface_polygons(geometry::tessellate_trigrid(*rows, *columns, p));
    const std::uint32_t triangles = 2 * (*rows - 1) * (*columns - 1);
    const Attributes a = merged(state().attributes, own_attributes(node));
    const PartSets faces = read_set_list(node, ObjectType::FaceAttributeSetList, triangles);
    const PartSets vertices =
        read_set_list(node, ObjectType::VertexAttributeSetList, static_cast<std::uint32_t>(n));
    emit_polygons(node, std::move(poly), a, &faces, &vertices);
    size_text_ =
        count_text(triangles, "triangle", "triangles") + ", " + count_text(n, "point", "points");
}

void Builder::build_polyhedron(std::uint32_t node) {
    // Its file layout is not known for certain: guessing would draw wrong shapes silently.
    warn(node, "Polyhedron: layout not confirmed, not converted");
    skip(node);
}

void Builder::build_mesh(std::uint32_t node) {
    FieldReader in(tree_, node);
    const std::optional<std::uint32_t> n = in.next_uint();
    if (!n) return warn(node, "Mesh needs a vertex count: skipped");
    std::span<const float> p;
    if (*n > 0) {
        p = read_points(in, *n);
        if (p.empty()) return warn(node, "Mesh has fewer points than its count: skipped");
    }
    const auto face_count = in.next_uint(), contour_count = in.next_uint();
    if (!face_count || !contour_count)
        return warn(node, "Mesh needs face and contour counts: skipped");
    if (*n == 0 || *face_count == 0) {
        size_text_ = "empty";
        return warn(node, "Mesh is empty: nothing to draw");
    }
    const std::uint64_t records = std::uint64_t(*face_count) + *contour_count;
    if (records > in.remaining()) return warn(node, "Mesh has fewer faces than its count: skipped");

    Polygons poly;
    poly.coords = copy(p);
    poly.convex = false;
    // Faces as contour lists (the first the outline, the rest holes).
    std::vector<std::vector<std::vector<std::uint32_t>>> faces;
    for (std::uint64_t r = 0; r < records; ++r) {
        const std::optional<std::int64_t> count = in.next_int();
        if (!count || *count == 0 || std::uint64_t(std::llabs(*count)) > in.remaining())
            return warn(node, "Mesh face " + std::to_string(r) + " is malformed: skipped");
        if (*count < 0 && faces.empty())
            return warn(node, "Mesh starts with a hole before any face: skipped");
        std::vector<std::uint32_t> loop;
        for (std::int64_t i = 0; i < std::llabs(*count); ++i) {
            const std::optional<std::uint32_t> v = in.next_uint();
            if (!v || *v >= *n)
                return warn(node, "Mesh face " + std::to_string(r) +
                                      " has a vertex index out of range: skipped");
            loop.push_back(*v);
        }
        if (*count > 0)
            faces.push_back({std::move(loop)});
        else
            faces.back().push_back(std::move(loop));
    }
    for (std::uint32_t f = 0; f < faces.size(); ++f)
        add_face(node, "Mesh face " + std::to_string(f), poly, faces[f], f);
    const Attributes a = merged(state().attributes, own_attributes(node));
    const PartSets face_sets = read_set_list(node, ObjectType::FaceAttributeSetList,
                                             static_cast<std::uint32_t>(faces.size()));
    const PartSets vertex_sets = read_set_list(node, ObjectType::VertexAttributeSetList, *n);

    // MeshCorners: a vertex's attributes in some of its faces.
    std::unordered_map<std::uint64_t, Attributes> corners;
    for_children(node, [&](std::uint32_t c) {
        if (tree_.node(c).type == ObjectType::MeshEdges) skip(c);
        if (tree_.node(c).type != ObjectType::MeshCorners) return;
        FieldReader cin(tree_, c);
        const std::optional<std::uint32_t> corner_count = cin.next_uint();
        const std::vector<Attributes> sets = collect_sets(tree_.node(c).first_child);
        if (!corner_count || *corner_count > cin.remaining())
            return warn(c, "MeshCorners with bad values: ignored");
        for (std::uint32_t k = 0; k < *corner_count; ++k) {
            const auto vertex = cin.next_uint(), count = cin.next_uint();
            if (!vertex || !count || *vertex >= *n || *count > cin.remaining())
                return warn(c, "MeshCorners corner " + std::to_string(k) + " is malformed");
            for (std::uint32_t i = 0; i < *count; ++i) {
                const std::optional<std::uint32_t> face = cin.next_uint();
                if (!face || *face >= faces.size())
                    return warn(c, "MeshCorners names a face out of range");
                if (k < sets.size()) corners[(std::uint64_t(*face) << 32) | *vertex] = sets[k];
            }
        }
        if (sets.size() != *corner_count)
            warn(c, "MeshCorners has " + std::to_string(sets.size()) + " attribute sets for " +
                        std::to_string(*corner_count) + " corners");
    });
    emit_polygons(node, std::move(poly), a, &face_sets, &vertex_sets, &corners);
    size_text_ =
        count_text(faces.size(), "face", "faces") + ", " + count_text(*n, "point", "points");
}

void Builder::build_marker(std::uint32_t node) {
    FieldReader in(tree_, node);
    const std::span<const float> p = read_points(in, 1);
    if (p.empty()) return warn(node, type_text(node) + " needs a location: skipped");
    warn(node, type_text(node) + ": the screen-space image is shown as a point");
    PointSet ps;
    ps.coords = scene_.keep(copy(p));
    emit_point_set(node, ps, merged(state().attributes, own_attributes(node)));
    size_text_ = "1 point";
}

}  // namespace tarvex::builder
