// NURB curves and patches, evaluated with Cox–de Boor basis functions (and their first
// derivatives for patch normals) on homogeneous control points: 3DMF stores x·w, y·w, z·w, w,
// so the weighted sums are taken as they are and divided by the summed w at the end.
#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/surface_builder.h"

namespace tarvex::geometry {
namespace {

// Orders above this are refused: evaluation costs order² per point, and no modeller writes them.
constexpr std::uint32_t kMaxOrder = 32;
// Most samples a curve gets, all knot spans together.
constexpr int kMaxCurveSegments = 4096;
// Edge visits a patch's trim may cost beyond four per edge (each row looks at the edges spanning
// it): enough for any trim a modeller writes at the largest grid.
constexpr std::uint64_t kMaxTrimWork = std::uint64_t{1} << 24;

struct Knots {
    std::span<const float> k;
    int degree = 0;
    int count = 0;  // control points
    double start() const { return k[degree]; }
    double end() const { return k[count]; }

    // The span holding t: k[i] <= t < k[i + 1] (the last non-empty one at the end).
    int span(double t) const {
        if (t >= end()) {
            int i = count - 1;
            while (i > degree && !(k[i] < k[i + 1])) --i;
            return i;
        }
        const auto it = std::upper_bound(k.begin() + degree, k.begin() + count + 1, t);
        return std::clamp(static_cast<int>(it - k.begin()) - 1, degree, count - 1);
    }

    // The degree + 1 basis functions that are non-zero on span i at t, and their derivatives.
    void basis(int i, double t, double *n, double *dn) const {
        double ndu[kMaxOrder][kMaxOrder], left[kMaxOrder], right[kMaxOrder];
        ndu[0][0] = 1;
        for (int j = 1; j <= degree; ++j) {
            left[j] = t - k[i + 1 - j];
            right[j] = k[i + j] - t;
            double saved = 0;
            for (int r = 0; r < j; ++r) {
                ndu[j][r] = right[r + 1] + left[j - r];  // knot differences, below the diagonal
                const double temp = ndu[j][r] != 0 ? ndu[r][j - 1] / ndu[j][r] : 0;
                ndu[r][j] = saved + right[r + 1] * temp;
                saved = left[j - r] * temp;
            }
            ndu[j][j] = saved;
        }
        for (int r = 0; r <= degree; ++r) {
            n[r] = ndu[r][degree];
            double d = 0;
            if (r >= 1 && ndu[degree][r - 1] != 0) d += ndu[r - 1][degree - 1] / ndu[degree][r - 1];
            if (r < degree && ndu[degree][r] != 0) d -= ndu[r][degree - 1] / ndu[degree][r];
            dn[r] = degree * d;
        }
    }
};

// Knots valid for `count` control points of `order`: finite, non-decreasing, the right number,
// and a parameter range that is not empty.
std::optional<Knots> make_knots(std::uint32_t order, std::size_t count, std::span<const float> k) {
    if (order < 2 || order > kMaxOrder || count < order || count > (1u << 24)) return std::nullopt;
    if (k.size() != order + count) return std::nullopt;
    for (std::size_t i = 0; i < k.size(); ++i)
        if (!std::isfinite(k[i]) || (i > 0 && k[i] < k[i - 1])) return std::nullopt;
    Knots r{k, static_cast<int>(order) - 1, static_cast<int>(count)};
    if (!(r.start() < r.end())) return std::nullopt;
    return r;
}

bool all_finite(std::span<const float> v) {
    return std::all_of(v.begin(), v.end(), [](float x) { return std::isfinite(x); });
}

// Parameters to sample: each non-empty knot span cut into `per_span` pieces (ends included).
std::vector<double> span_samples(const Knots &kn, int per_span) {
    std::vector<double> t;
    for (int i = kn.degree; i < kn.count; ++i) {
        const double a = kn.k[i], b = kn.k[i + 1];
        if (!(a < b)) continue;
        for (int s = 0; s < per_span; ++s) t.push_back(a + (b - a) * s / per_span);
    }
    t.push_back(kn.end());
    return t;
}

int nonempty_spans(const Knots &kn) {
    int n = 0;
    for (int i = kn.degree; i < kn.count; ++i) n += kn.k[i] < kn.k[i + 1];
    return n;
}

// A curve's points: `dim` homogeneous coordinates a point (4 in space, 3 in a patch's uv).
class CurveEval {
  public:
    CurveEval(const Knots &kn, std::span<const float> points, int dim)
        : kn_(kn), p_(points), dim_(dim) {}
    // The point at t in its dim - 1 coordinates; false where the summed weight vanishes.
    bool at(double t, double *out) const {
        const int i = kn_.span(t);
        double n[kMaxOrder], dn[kMaxOrder], h[4] = {0, 0, 0, 0};
        kn_.basis(i, t, n, dn);
        for (int j = 0; j <= kn_.degree; ++j) {
            const float *q = &p_[static_cast<std::size_t>(i - kn_.degree + j) * dim_];
            for (int c = 0; c < dim_; ++c) h[c] += n[j] * q[c];
        }
        const double w = h[dim_ - 1];
        if (w == 0) return false;
        for (int c = 0; c + 1 < dim_; ++c) out[c] = h[c] / w;
        for (int c = 0; c + 1 < dim_; ++c)
            if (!std::isfinite(out[c])) return false;
        return true;
    }

  private:
    const Knots &kn_;
    std::span<const float> p_;
    int dim_;
};

// Samples per knot span for a curve: Constant and ScreenSpace split each span evenly; WorldSpace
// measures the longest span.
int curve_segments_per_span(const Knots &kn, const CurveEval &eval, int dim, Subdivision s) {
    const int spans = std::max(1, nonempty_spans(kn));
    int per;
    if (s.method == Subdivision::Method::world_space) {
        double longest = 0;
        for (int i = kn.degree; i < kn.count; ++i) {
            const double a = kn.k[i], b = kn.k[i + 1];
            if (!(a < b)) continue;
            longest = std::max(longest, polyline_length(
                                            [&](double f) {
                                                double o[3] = {0, 0, 0};
                                                eval.at(a + f * (b - a), o);
                                                return DVec{o[0], o[1], dim == 4 ? o[2] : 0};
                                            },
                                            16));
        }
        per = world_segments(longest, s.u, 1, 24);
    } else {
        per = constant_segments(s.method == Subdivision::Method::constant ? s.u : 24, 1, 1);
    }
    return std::clamp(per, 1, std::max(1, kMaxCurveSegments / spans));
}

// Samples a curve into `out` (dim - 1 coordinates a point); false when it is invalid or no
// sample is finite. Samples at vanishing weight repeat their neighbour.
bool sample_curve(const NurbCurve &curve, int dim, Subdivision s, std::vector<double> &out) {
    if (curve.points.size() % dim != 0 || !all_finite(curve.points)) return false;
    const auto kn = make_knots(curve.order, curve.points.size() / dim, curve.knots);
    if (!kn) return false;
    const CurveEval eval(*kn, curve.points, dim);
    const std::vector<double> ts = span_samples(*kn, curve_segments_per_span(*kn, eval, dim, s));
    const int c = dim - 1;
    std::vector<bool> good(ts.size());
    const std::size_t base = out.size();
    out.resize(base + ts.size() * c);
    bool any = false;
    for (std::size_t i = 0; i < ts.size(); ++i) {
        good[i] = eval.at(ts[i], &out[base + i * c]);
        any |= good[i];
    }
    if (!any) {
        out.resize(base);
        return false;
    }
    // Fill the gaps from the nearest good sample before (or, at the start, after).
    std::size_t first = 0;
    while (!good[first]) ++first;
    for (std::size_t i = 0; i < ts.size(); ++i)
        if (!good[i]) {
            const std::size_t from = i < first ? first : i - 1;
            std::copy_n(&out[base + from * c], c, &out[base + i * c]);
        }
    return true;
}

}  // namespace

std::optional<Polyline> tessellate_nurb_curve(const NurbCurve &curve, Subdivision s) {
    std::vector<double> xyz;
    if (!sample_curve(curve, 4, s, xyz)) return std::nullopt;
    Polyline out;
    out.coords.reserve(xyz.size());
    for (double x : xyz) out.coords.push_back(static_cast<float>(x));
    const std::size_t n = xyz.size() / 3;
    out.coord_index.reserve(n + 1);
    for (std::size_t i = 0; i < n; ++i) out.coord_index.push_back(static_cast<std::int32_t>(i));
    out.coord_index.push_back(-1);
    return out;
}

namespace {

// Even-odd inside test against trim rings, one row of constant v at a time: the rows are asked
// for in ascending v, and each row keeps the sorted u of the edges crossing it. Every edge is
// stored once however many rows it spans; the work (edges looked at, summed over the rows) is
// counted so that a caller can refuse a trim that would cost too much.
class TrimRows {
  public:
    explicit TrimRows(const std::vector<std::vector<double>> &rings) {
        for (const auto &r : rings) {
            const std::size_t n = r.size() / 2;
            for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
                const Seg seg{r[2 * j], r[2 * j + 1], r[2 * i], r[2 * i + 1]};
                if (seg.v0 != seg.v1) edges_.push_back(seg);
            }
        }
        std::sort(edges_.begin(), edges_.end(),
                  [](const Seg &a, const Seg &b) { return a.low() < b.low(); });
    }
    // Makes `lower` and `upper` (lower <= upper) the current rows; they never decrease from
    // one call to the next.
    void rows(double lower, double upper) {
        while (next_ < edges_.size() && edges_[next_].low() <= upper) active_.push_back(next_++);
        const double at[2] = {lower, upper};
        for (auto &c : crossings_) c.clear();
        std::size_t kept = 0;
        for (const std::size_t e : active_) {
            const Seg &s = edges_[e];
            ++work_;
            if (s.high() < lower) continue;  // below every later row too
            active_[kept++] = e;
            for (int r = 0; r < 2; ++r)
                if ((s.v0 > at[r]) != (s.v1 > at[r]))
                    crossings_[r].push_back(s.u0 + (at[r] - s.v0) * (s.u1 - s.u0) / (s.v1 - s.v0));
        }
        active_.resize(kept);
        for (auto &c : crossings_) {
            std::sort(c.begin(), c.end());
            work_ += c.size();
        }
    }
    // Inside the region on current row `r` (0 lower, 1 upper): an odd number of crossings lies
    // beyond u.
    bool inside(int r, double u) const {
        const std::vector<double> &c = crossings_[r];
        return (c.end() - std::upper_bound(c.begin(), c.end(), u)) % 2 == 1;
    }
    std::uint64_t work() const { return work_; }
    std::size_t edges() const { return edges_.size(); }

  private:
    struct Seg {
        double u0, v0, u1, v1;
        double low() const { return std::min(v0, v1); }
        double high() const { return std::max(v0, v1); }
    };
    std::vector<Seg> edges_;
    std::size_t next_ = 0;
    std::vector<std::size_t> active_;
    std::vector<double> crossings_[2];
    std::uint64_t work_ = 0;
};

// Sample parameters for `cells` grid cells along `kn`: `per_span` pieces in every non-empty knot
// span while that fits; with more spans than cells, every so many span boundaries only, so that
// no knot vector can push a grid past its cap.
std::vector<double> grid_samples(const Knots &kn, int spans, int per_span, int cells) {
    if (cells >= spans) return span_samples(kn, std::max(1, per_span));
    std::vector<double> bounds;
    bounds.reserve(static_cast<std::size_t>(spans) + 1);
    for (int i = kn.degree; i < kn.count; ++i)
        if (kn.k[i] < kn.k[i + 1]) bounds.push_back(kn.k[i]);
    bounds.push_back(kn.end());
    std::vector<double> t(static_cast<std::size_t>(cells) + 1);
    for (int i = 0; i <= cells; ++i)
        t[i] = bounds[static_cast<std::size_t>(std::int64_t{i} * spans / cells)];
    return t;
}

}  // namespace

std::optional<Surface> tessellate_nurb_patch(const NurbPatch &patch,
                                             std::span<const std::vector<NurbCurve>> trim_loops,
                                             Subdivision s, bool &trimmed) {
    trimmed = false;
    const std::uint64_t count = std::uint64_t{patch.rows} * patch.columns;
    if (count == 0 || count > (1u << 24) || patch.points.size() != 4 * count ||
        !all_finite(patch.points))
        return std::nullopt;
    // u runs along a row (columns), v across the rows.
    const auto ku = make_knots(patch.u_order, patch.columns, patch.u_knots);
    const auto kv = make_knots(patch.v_order, patch.rows, patch.v_knots);
    if (!ku || !kv) return std::nullopt;

    int per_u, per_v;
    if (s.method == Subdivision::Method::world_space) {
        // The control net's extent over the edge length, spread over the spans.
        double lu = 0, lv = 0;
        const auto at = [&](std::uint32_t r, std::uint32_t c) {
            const float *p = &patch.points[4 * (std::size_t{r} * patch.columns + c)];
            const double w = p[3] != 0 ? p[3] : 1;
            return DVec{p[0] / w, p[1] / w, p[2] / w};
        };
        for (std::uint32_t r = 0; r < patch.rows; ++r) {
            double l = 0;
            for (std::uint32_t c = 1; c < patch.columns; ++c) l += length(at(r, c) - at(r, c - 1));
            lu = std::max(lu, l);
        }
        for (std::uint32_t c = 0; c < patch.columns; ++c) {
            double l = 0;
            for (std::uint32_t r = 1; r < patch.rows; ++r) l += length(at(r, c) - at(r - 1, c));
            lv = std::max(lv, l);
        }
        per_u =
            std::max(1, world_segments(lu, s.u, 1, 24 * nonempty_spans(*ku)) / nonempty_spans(*ku));
        per_v =
            std::max(1, world_segments(lv, s.u, 1, 12 * nonempty_spans(*kv)) / nonempty_spans(*kv));
    } else {
        const bool constant = s.method == Subdivision::Method::constant;
        per_u = constant_segments(constant ? s.u : 24, 1, 1);
        per_v = constant_segments(constant ? s.v : 12, 1, 1);
    }
    const int spans_u = nonempty_spans(*ku), spans_v = nonempty_spans(*kv);
    const std::int64_t cells_u = std::int64_t{per_u} * spans_u,
                       cells_v = std::int64_t{per_v} * spans_v;
    int lim_u = static_cast<int>(std::min<std::int64_t>(cells_u, kMaxSegments)),
        lim_v = static_cast<int>(std::min<std::int64_t>(cells_v, kMaxSegments));
    limit_grid(lim_u, lim_v);
    Surface out;
    coarsen_grid(lim_u, lim_v, s.detail, 1, 1, out);
    if (s.count_only) return out;
    per_u = static_cast<int>(per_u * lim_u / cells_u);
    per_v = static_cast<int>(per_v * lim_v / cells_v);
    const std::vector<double> us = grid_samples(*ku, spans_u, per_u, lim_u),
                              vs = grid_samples(*kv, spans_v, per_v, lim_v);

    const int pu = ku->degree, pv = kv->degree;
    const std::size_t nu = us.size(), nv = vs.size();
    out.work = static_cast<std::uint64_t>(nu) * nv * static_cast<std::uint64_t>(pu + 1) * (pv + 1);
    std::vector<DVec> pos(nu * nv), nrm(nu * nv);
    std::vector<bool> ok(nu * nv);
    double bu[kMaxOrder], dbu[kMaxOrder], bv[kMaxOrder], dbv[kMaxOrder];
    for (std::size_t j = 0; j < nv; ++j) {
        const int sv = kv->span(vs[j]);
        kv->basis(sv, vs[j], bv, dbv);
        for (std::size_t i = 0; i < nu; ++i) {
            const int su = ku->span(us[i]);
            ku->basis(su, us[i], bu, dbu);
            double h[4] = {0, 0, 0, 0}, hu[4] = {0, 0, 0, 0}, hv[4] = {0, 0, 0, 0};
            for (int a = 0; a <= pv; ++a) {
                const std::size_t row = static_cast<std::size_t>(sv - pv + a) * patch.columns;
                for (int b = 0; b <= pu; ++b) {
                    const float *p =
                        &patch.points[4 * (row + static_cast<std::size_t>(su - pu + b))];
                    for (int c = 0; c < 4; ++c) {
                        h[c] += bv[a] * bu[b] * p[c];
                        hu[c] += bv[a] * dbu[b] * p[c];
                        hv[c] += dbv[a] * bu[b] * p[c];
                    }
                }
            }
            const std::size_t k = j * nu + i;
            if (h[3] == 0) continue;
            const DVec sp{h[0] / h[3], h[1] / h[3], h[2] / h[3]};
            const DVec du = (1 / h[3]) * (DVec{hu[0], hu[1], hu[2]} - hu[3] * sp);
            const DVec dv = (1 / h[3]) * (DVec{hv[0], hv[1], hv[2]} - hv[3] * sp);
            if (!std::isfinite(sp.x) || !std::isfinite(sp.y) || !std::isfinite(sp.z)) continue;
            pos[k] = sp;
            nrm[k] = cross(du, dv);
            ok[k] = true;
        }
    }
    // Points at a vanishing weight take a neighbour's place; normals that vanish (a collapsed
    // edge, a pole) come from the neighbouring grid points.
    {
        std::size_t first = 0;
        while (first < ok.size() && !ok[first]) ++first;
        if (first == ok.size()) return std::nullopt;
        for (std::size_t k = 0; k < ok.size(); ++k)
            if (!ok[k]) pos[k] = pos[k < first ? first : k - 1];
    }
    SurfaceBuilder builder(out);
    const double u0 = ku->start(), u1 = ku->end(), v0 = kv->start(), v1 = kv->end();
    for (std::size_t j = 0; j < nv; ++j)
        for (std::size_t i = 0; i < nu; ++i) {
            const std::size_t k = j * nu + i;
            DVec n = nrm[k];
            if (!ok[k] || !(length(n) > 1e-12)) {
                const DVec a =
                    pos[j * nu + std::min(i + 1, nu - 1)] - pos[j * nu + (i ? i - 1 : 0)];
                const DVec b =
                    pos[std::min(j + 1, nv - 1) * nu + i] - pos[(j ? j - 1 : 0) * nu + i];
                n = cross(a, b);
            }
            builder.point(pos[k], unit_or(n, DVec{0, 0, 1}), (us[i] - u0) / (u1 - u0),
                          (vs[j] - v0) / (v1 - v0));
        }

    // Trim rings in (u, v); any curve that cannot be evaluated leaves the patch untrimmed.
    std::vector<std::vector<double>> rings;
    bool usable = true;
    for (const auto &loop : trim_loops) {
        std::vector<double> ring;
        for (const NurbCurve &c : loop) usable &= sample_curve(c, 3, s, ring);
        if (ring.size() >= 6) rings.push_back(std::move(ring));
    }
    usable &= trim_loops.empty() || !rings.empty();
    std::optional<TrimRows> region;
    if (usable && !rings.empty()) region.emplace(rings);
    // Each row looks at the edges that span it: past this much work the trim is given up, and
    // the patch is made again untrimmed.
    const std::uint64_t work_cap = kMaxTrimWork + 4 * (region ? region->edges() : 0);
    trimmed = usable;
    const auto add_triangles = [&](TrimRows *trim) {
        for (std::size_t j = 0; j + 1 < nv; ++j) {
            const double dv = vs[j + 1] - vs[j];
            // Triangle (a, b, c) has its centroid at 2/3 du, 1/3 dv into the cell; (a, c, d) at
            // 1/3 du, 2/3 dv.
            if (trim) {
                trim->rows(vs[j] + dv / 3, vs[j] + dv * 2 / 3);
                if (trim->work() > work_cap) return false;
            }
            for (std::size_t i = 0; i + 1 < nu; ++i) {
                const auto a = static_cast<std::int32_t>(j * nu + i), b = a + 1,
                           c = static_cast<std::int32_t>((j + 1) * nu + i + 1), d = c - 1;
                const double du = us[i + 1] - us[i];
                if (!trim || trim->inside(0, us[i] + du * 2 / 3))
                    builder.triangle(a, b, c, Part::face);
                if (!trim || trim->inside(1, us[i] + du / 3)) builder.triangle(a, c, d, Part::face);
            }
        }
        return true;
    };
    if (!add_triangles(region ? &*region : nullptr)) {
        trimmed = false;
        out.coord_index.clear();
        out.face_part.clear();
        out.face_source.clear();
        add_triangles(nullptr);
    }
    if (region) out.work += region->work();
    return out;
}

}  // namespace tarvex::geometry
