// Ellipses, NURB curves and NURB patches with their trim curves, tessellated by the geometry
// code at the subdivision the styles ask for.
#include <algorithm>
#include <cmath>

#include "builder/builder.h"

namespace tarvex::builder {

using tree::ObjectType;

void Builder::build_ellipse(std::uint32_t node) {
    FieldReader in(tree_, node);
    // The empty form is the default frame the quadrics share: a unit circle in the y-z plane.
    Vec3 major{0, 1, 0}, minor{0, 0, 1}, origin{0, 0, 0};
    float u_min = 0, u_max = 1;
    if (!in.at_end()) {
        const auto ma = in.next_vec3(), mi = in.next_vec3(), o = in.next_vec3();
        if (!ma || !mi || !o) return warn(node, "Ellipse needs three vectors: skipped");
        major = *ma;
        minor = *mi;
        origin = *o;
        if (!in.at_end()) {
            const auto a = in.next_float(), b = in.next_float();
            if (!a || !b) return warn(node, "Ellipse u limits are not numbers: skipped");
            u_min = *a;
            u_max = *b;
        }
    }
    geometry::Polyline line = geometry::tessellate_ellipse(major, minor, origin, u_min, u_max,
                                                           state().styles.subdivision);
    LineSet ls;
    ls.coords = scene_.keep(std::move(line.coords));
    ls.coord_index = scene_.keep(std::move(line.coord_index));
    emit_line_set(node, ls, merged(state().attributes, own_attributes(node)));
    size_text_ = "1 curve";
}

namespace {

// A NURB curve's fields: order, point count, `dimension` floats a point, order + count knots.
std::optional<geometry::NurbCurve> read_nurb_curve(FieldReader &in, std::uint32_t dimension) {
    const auto order = in.next_uint(), count = in.next_uint();
    if (!order || !count || *order < 2 || *count < *order) return std::nullopt;
    geometry::NurbCurve c;
    c.order = *order;
    if (std::uint64_t(*count) * dimension + *order + *count > in.remaining()) return std::nullopt;
    c.points = in.float_span(*count * dimension);
    c.knots = in.float_span(*order + *count);
    if (c.points.empty() || c.knots.empty()) return std::nullopt;
    return c;
}

}  // namespace

void Builder::build_nurb_curve(std::uint32_t node) {
    FieldReader in(tree_, node);
    const std::optional<geometry::NurbCurve> curve = read_nurb_curve(in, 4);
    std::optional<geometry::Polyline> line;
    if (curve) line = geometry::tessellate_nurb_curve(*curve, state().styles.subdivision);
    if (!line) return warn(node, "NURBCurve with inconsistent order, points or knots: skipped");
    LineSet ls;
    ls.coords = scene_.keep(std::move(line->coords));
    ls.coord_index = scene_.keep(std::move(line->coord_index));
    emit_line_set(node, ls, merged(state().attributes, own_attributes(node)));
    size_text_ = count_text(curve->points.size() / 4, "control point", "control points");
}

void Builder::build_nurb_patch(std::uint32_t node) {
    FieldReader in(tree_, node);
    const auto u_order = in.next_uint(), v_order = in.next_uint(), rows = in.next_uint(),
               columns = in.next_uint();
    if (!u_order || !v_order || !rows || !columns || *u_order < 2 || *v_order < 2 ||
        *rows < *v_order || *columns < *u_order ||
        std::uint64_t(*rows) * *columns * 4 + *u_order + *columns + *v_order + *rows >
            in.remaining())
        return warn(node, "NURBPatch with inconsistent orders or counts: skipped");
    geometry::NurbPatch patch;
    patch.u_order = *u_order;
    patch.v_order = *v_order;
    patch.rows = *rows;
    patch.columns = *columns;
    patch.points = in.float_span(*rows * *columns * 4);
    patch.u_knots = in.float_span(*u_order + *columns);
    patch.v_knots = in.float_span(*v_order + *rows);
    if (patch.points.empty() || patch.u_knots.empty() || patch.v_knots.empty())
        return warn(node, "NURBPatch values are not finite numbers: skipped");

    std::vector<std::vector<geometry::NurbCurve>> loops;
    for_children(node, [&](std::uint32_t c) {
        if (tree_.node(c).type != ObjectType::TrimLoop) return;
        std::vector<geometry::NurbCurve> loop;
        for_children(c, [&](std::uint32_t k) {
            if (tree_.node(k).type != ObjectType::NURBCurve2D) return;
            FieldReader kin(tree_, k);
            if (const auto curve = read_nurb_curve(kin, 3))
                loop.push_back(*curve);
            else
                warn(k, "NURBCurve2D with inconsistent values: ignored");
        });
        if (!loop.empty()) loops.push_back(std::move(loop));
    });
    bool trimmed = true;
    std::optional<geometry::Surface> surface =
        geometry::tessellate_nurb_patch(patch, loops, subdivision(), trimmed);
    if (!surface) return warn(node, "NURBPatch data are inconsistent: skipped");
    if (!count_output(node, *surface)) return;
    if (!loops.empty() && !trimmed) warn(node, "NURBPatch trim loops could not be honoured");
    Polygons poly = from_surface_polygons(std::move(*surface));
    emit_polygons(node, std::move(poly), merged(state().attributes, own_attributes(node)), nullptr,
                  nullptr);
    size_text_ = std::to_string(*rows) + " × " + std::to_string(*columns) + " control points";
}

}  // namespace tarvex::builder
