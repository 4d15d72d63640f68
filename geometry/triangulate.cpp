// Even-odd polygons with holes and self-intersections.
//
// The contours are projected onto the plane their Newell normal is most nearly perpendicular to,
// and turned into a planar arrangement: edges are split where they cross or touch, and pieces
// that the contours cover an even number of times cancel (even-odd). Each remaining edge is
// directed so that the filled region lies on its left, and the edges are chained into boundary
// loops, turning at each vertex into the same wedge of the region, so loops touching at a vertex
// stay separate. The loops are then cut into triangles by a monotone sweep over all of them at
// once (monotone_sweep), in n log n whatever their shape, holes needing no bridges. Contours
// that are disjoint simple loops, as nearly all are, go to the sweep as given, and it works out
// which side of each to fill. Loops that share a vertex (touching at a corner) the sweep cannot
// take: there counter-clockwise loops are outer boundaries, clockwise ones holes, each hole is
// bridged to its outer loop and the result ear-clipped, as the sweep's own fallback too.
//
// An outline whose edges meet only at their corners, as most do, is shown so by a sweep
// (segment_sweep) and skips the search for crossings. That search, and so a tangled outline, is
// at most quadratic; a work budget and a limit on crossings keep hostile input (a polygon with
// 100k self-crossing edges) from taking minutes or gigabytes.
//
// The stages share the arrangement's vertices, their hash maps and the work budget, so they are
// one class in one file; the ear clipper, the sweep and the grid they use are apart (ear_clip,
// segment_sweep, sparse_grid).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <unordered_map>
#include <utility>
#include <vector>

#include "geometry/ear_clip.h"
#include "geometry/monotone_sweep.h"
#include "geometry/plane.h"
#include "geometry/segment_sweep.h"
#include "geometry/sparse_grid.h"
#include "geometry/tessellation.h"

namespace tarvex::geometry {
namespace {

constexpr long kWorkBudget = 100'000'000;
constexpr std::size_t kMaxCrossings = 1u << 16;
// A new point where edges cross costs as much as this many pairs of edges looked at: it goes
// into two hash maps and splits two edges.
constexpr long kCrossingCost = 256;

struct Failed {};  // the budget ran out or the arrangement could not be untangled

class Triangulator {
  public:
    Triangulator(std::vector<float> &points, std::vector<std::uint32_t> &triangles, long budget)
        : points_(points), out_(triangles), budget_(budget) {}

    bool run(std::span<const std::vector<std::uint32_t>> contours);
    long work() const { return work_; }

  private:
    struct Split {
        double t;
        std::uint32_t v;
    };
    using Edge = Segment;

    void spend(long units) {
        work_ += units;
        if (work_ > budget_) throw Failed{};
    }
    std::uint32_t vertex(P2 p, std::uint32_t point_index);
    std::uint32_t new_point(std::uint32_t a, std::uint32_t b, double t);
    void find_crossings(std::vector<Edge> &segments, std::vector<std::vector<Split>> &splits);
    // The pairs of segments whose boxes overlap, as sorted positions in `order`, ascending;
    // false (and nothing) where a grid would not pay.
    bool overlapping_by_grid(const std::vector<Edge> &segs, const std::vector<std::uint32_t> &order,
                             std::vector<std::pair<std::uint32_t, std::uint32_t>> &pairs);
    std::vector<Edge> odd_edges(const std::vector<Edge> &segments,
                                std::vector<std::vector<Split>> &splits);
    bool inside(P2 p, const std::vector<Edge> &edges);
    // Sorts `edges` into horizontal bands for inside(), when that takes bounded memory.
    void build_bands(const std::vector<Edge> &edges);
    std::size_t band_of(double y) const {
        const double b = std::floor((y - band_y0_) / band_h_);
        return static_cast<std::size_t>(std::clamp(b, 0.0, static_cast<double>(bands_.size() - 1)));
    }
    std::vector<std::vector<std::uint32_t>> bands_;
    double band_y0_ = 0, band_h_ = 1;
    // `runs`: when the edges are disjoint simple loops, where each loop's edges start in
    // `edges` (and end); empty otherwise.
    std::vector<std::vector<std::uint32_t>> loops(const std::vector<Edge> &edges,
                                                  const std::vector<std::size_t> &runs);
    bool in_loop(P2 p, const std::vector<std::uint32_t> &loop);
    void bridge(std::vector<std::uint32_t> &poly, std::vector<std::vector<std::uint32_t>> holes);
    bool crosses_any(P2 a, P2 b, const std::vector<std::uint32_t> &loop);
    void ear_clip(const std::vector<std::uint32_t> &poly);
    // Fills loops that neither cross nor share a vertex; false where the sweep declined them.
    bool sweep(const std::vector<std::vector<std::uint32_t>> &loops);
    std::vector<std::uint32_t> corners_;  // ear_clip's and sweep's triangles, as vertices

    std::vector<float> &points_;
    std::vector<std::uint32_t> &out_;
    int drop_ = 2;         // the coordinate left out by the projection
    bool swap_ = false;    // swap the two kept coordinates so that the reference normal is +z
    std::vector<P2> pos_;  // per vertex
    std::vector<std::uint32_t> index_;  // per vertex: its index into points_
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> by_position_;
    // Crossings closer than snap_ to a vertex are that vertex: three edges through one point
    // must meet in one vertex, not in three that rounding set a hair apart.
    double snap_ = 0;
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> by_cell_;
    std::uint64_t cell_key(std::int64_t cx, std::int64_t cy) const {
        return static_cast<std::uint64_t>(cx) * 0x9E3779B97F4A7C15ull ^
               static_cast<std::uint64_t>(cy);
    }
    std::pair<std::int64_t, std::int64_t> cell(P2 p) const {
        return {static_cast<std::int64_t>(std::floor(p.x / snap_)),
                static_cast<std::int64_t>(std::floor(p.y / snap_))};
    }
    void add_to_cell(std::uint32_t v) {
        if (snap_ > 0) {
            const auto [cx, cy] = cell(pos_[v]);
            by_cell_[cell_key(cx, cy)].push_back(v);
        }
    }
    long work_ = 0;
    long budget_;
    std::size_t crossings_ = 0;
};

std::uint64_t position_key(P2 p) {
    const auto h = std::hash<double>{}(p.x) * 0x9E3779B97F4A7C15ull;
    return h ^ std::hash<double>{}(p.y);
}

std::uint32_t Triangulator::vertex(P2 p, std::uint32_t point_index) {
    auto &bucket = by_position_[position_key(p)];
    for (std::uint32_t v : bucket)
        if (pos_[v] == p) return v;
    const auto v = static_cast<std::uint32_t>(pos_.size());
    pos_.push_back(p);
    index_.push_back(point_index);
    bucket.push_back(v);
    add_to_cell(v);
    return v;
}

// A crossing on the edge between vertices a and b at parameter t, as a new point of the polygon.
std::uint32_t Triangulator::new_point(std::uint32_t a, std::uint32_t b, double t) {
    const P2 pa = pos_[a], pb = pos_[b];
    const P2 p{pa.x + t * (pb.x - pa.x), pa.y + t * (pb.y - pa.y)};
    if (snap_ > 0) {
        const auto [cx, cy] = cell(p);
        for (std::int64_t dx = -1; dx <= 1; ++dx)
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                const auto it = by_cell_.find(cell_key(cx + dx, cy + dy));
                if (it == by_cell_.end()) continue;
                for (std::uint32_t v : it->second)
                    if (std::abs(pos_[v].x - p.x) <= snap_ && std::abs(pos_[v].y - p.y) <= snap_)
                        return v;
            }
    }
    auto &bucket = by_position_[position_key(p)];
    for (std::uint32_t v : bucket)
        if (pos_[v] == p) return v;
    if (++crossings_ > kMaxCrossings) throw Failed{};
    spend(kCrossingCost);
    const std::size_t ia = 3 * std::size_t{index_[a]}, ib = 3 * std::size_t{index_[b]};
    const auto index = static_cast<std::uint32_t>(points_.size() / 3);
    float q[3];  // computed before appending: the append may move points_
    for (int k = 0; k < 3; ++k) {
        const double pa = points_[ia + k], pb = points_[ib + k];
        q[k] = static_cast<float>(pa + t * (pb - pa));
    }
    points_.insert(points_.end(), q, q + 3);
    const auto v = static_cast<std::uint32_t>(pos_.size());
    pos_.push_back(p);
    index_.push_back(index);
    bucket.push_back(v);
    add_to_cell(v);
    return v;
}

// Where `p` lies along a -> b (0 at a, 1 at b), for a point known to be on that line.
double along(P2 a, P2 b, P2 p) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    return ((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy);
}

bool Triangulator::overlapping_by_grid(
    const std::vector<Edge> &segs, const std::vector<std::uint32_t> &order,
    std::vector<std::pair<std::uint32_t, std::uint32_t>> &pairs) {
    const std::size_t n = segs.size();
    if (n < 64) return false;  // the sweep is as quick
    // Entries and pairs the grid may hold before the sweep takes over.
    const std::uint64_t max_entries = 16 * std::uint64_t{n}, max_pairs = 16 * std::uint64_t{n};
    struct Box {
        double x0, y0, x1, y1;
    };
    std::vector<Box> box(n);
    P2 lo = pos_[segs[0].a], hi = lo;
    double extent = 0;
    for (std::uint32_t r = 0; r < n; ++r) {
        const Edge &e = segs[order[r]];
        const P2 a = pos_[e.a], b = pos_[e.b];
        box[r] = {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
        lo = {std::min(lo.x, box[r].x0), std::min(lo.y, box[r].y0)};
        hi = {std::max(hi.x, box[r].x1), std::max(hi.y, box[r].y1)};
        extent += std::max(box[r].x1 - box[r].x0, box[r].y1 - box[r].y0);
    }
    SparseGrid grid;
    if (!grid.size(lo, hi, extent / static_cast<double>(n), n)) return false;
    std::uint64_t entries = 0;
    for (const Box &b : box) {
        entries += grid.cells(b.x0, b.y0, b.x1, b.y1);
        if (entries > max_entries) return false;
    }
    spend(static_cast<long>(entries));
    std::vector<std::pair<std::uint64_t, std::uint32_t>> binned;  // (cell, sorted position)
    binned.reserve(entries);
    for (std::uint32_t r = 0; r < n; ++r)
        for (std::uint32_t y = grid.cy(box[r].y0); y <= grid.cy(box[r].y1); ++y)
            for (std::uint32_t x = grid.cx(box[r].x0); x <= grid.cx(box[r].x1); ++x)
                binned.emplace_back(SparseGrid::key(x, y), r);
    std::sort(binned.begin(), binned.end());
    // Each overlapping pair once: in the cell holding the lower left corner of the overlap.
    for (std::size_t first = 0, last = 0; first < binned.size(); first = last) {
        const std::uint64_t cell = binned[first].first;
        while (last < binned.size() && binned[last].first == cell) ++last;
        for (std::size_t k = first; k < last; ++k) {
            spend(static_cast<long>(last - k));
            for (std::size_t m = k + 1; m < last; ++m) {
                const std::uint32_t r = binned[k].second, q = binned[m].second;
                const Box &a = box[r], &b = box[q];
                if (a.x1 < b.x0 || b.x1 < a.x0 || a.y1 < b.y0 || b.y1 < a.y0) continue;
                if (SparseGrid::key(grid.cx(std::max(a.x0, b.x0)), grid.cy(std::max(a.y0, b.y0))) !=
                    cell)
                    continue;
                pairs.emplace_back(r, q);  // r < q: binned sorts positions within a cell
                if (pairs.size() > max_pairs) {
                    pairs.clear();
                    return false;
                }
            }
        }
    }
    std::sort(pairs.begin(), pairs.end());
    spend(static_cast<long>(pairs.size()));
    return true;
}

void Triangulator::find_crossings(std::vector<Edge> &segs,
                                  std::vector<std::vector<Split>> &splits) {
    std::vector<std::uint32_t> order(segs.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    const auto min_x = [&](std::uint32_t i) {
        return std::min(pos_[segs[i].a].x, pos_[segs[i].b].x);
    };
    const auto max_x = [&](std::uint32_t i) {
        return std::max(pos_[segs[i].a].x, pos_[segs[i].b].x);
    };
    std::sort(order.begin(), order.end(), [&](auto i, auto j) { return min_x(i) < min_x(j); });
    spend(static_cast<long>(segs.size()));

    const auto check = [&](std::uint32_t i, std::uint32_t j) {
        const std::uint32_t a = segs[i].a, b = segs[i].b, c = segs[j].a, d = segs[j].b;
        const P2 pa = pos_[a], pb = pos_[b], pc = pos_[c], pd = pos_[d];
        if (std::max(pa.y, pb.y) < std::min(pc.y, pd.y) ||
            std::max(pc.y, pd.y) < std::min(pa.y, pb.y))
            return;
        const double d1 = orient(pc, pd, pa), d2 = orient(pc, pd, pb);
        const double d3 = orient(pa, pb, pc), d4 = orient(pa, pb, pd);
        if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) &&
            ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) {
            const double t = d1 / (d1 - d2);
            const std::uint32_t v = new_point(a, b, t);
            splits[i].push_back({t, v});
            splits[j].push_back({along(pc, pd, pos_[v]), v});
            return;
        }
        // Touching: an end of one edge on the inside of the other (collinear overlaps too).
        const auto touch = [&](std::uint32_t p, double o, std::uint32_t s) {
            const P2 q = pos_[p], e0 = pos_[segs[s].a], e1 = pos_[segs[s].b];
            if (o != 0 || q == e0 || q == e1) return;
            const double t = along(e0, e1, q);
            if (t > 0 && t < 1) splits[s].push_back({t, p});
        };
        touch(a, d1, j);
        touch(b, d2, j);
        touch(c, d3, i);
        touch(d, d4, i);
    };
    // The pairs whose boxes overlap, in the order of a sweep over x (by the sorted position of
    // the first, then of the second): found through a grid of about one cell per segment, so
    // that edges far apart in y are never paired; by the sweep itself where the grid would hold
    // too much (segments spanning many cells, or many sharing cells).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    if (overlapping_by_grid(segs, order, pairs)) {
        for (const auto &[oi, oj] : pairs) check(order[oi], order[oj]);
        return;
    }
    for (std::size_t oi = 0; oi < order.size(); ++oi) {
        const double reach = max_x(order[oi]);
        for (std::size_t oj = oi + 1; oj < order.size() && min_x(order[oj]) <= reach; ++oj) {
            spend(1);
            check(order[oi], order[oj]);
        }
    }
}

// The pieces of the split edges that an odd number of contours run along.
std::vector<Triangulator::Edge> Triangulator::odd_edges(const std::vector<Edge> &segs,
                                                        std::vector<std::vector<Split>> &splits) {
    std::unordered_map<std::uint64_t, std::uint32_t> slot;
    std::vector<Edge> pieces;
    std::vector<int> count;
    for (std::size_t i = 0; i < segs.size(); ++i) {
        auto &s = splits[i];
        std::sort(s.begin(), s.end(), [](const Split &x, const Split &y) { return x.t < y.t; });
        spend(static_cast<long>(s.size()) + 1);
        std::uint32_t prev = segs[i].a;
        const auto add = [&](std::uint32_t next) {
            if (next == prev) return;
            const std::uint64_t key =
                (std::uint64_t{std::min(prev, next)} << 32) | std::max(prev, next);
            const auto [it, fresh] =
                slot.try_emplace(key, static_cast<std::uint32_t>(pieces.size()));
            if (fresh) {
                pieces.push_back({prev, next});
                count.push_back(0);
            }
            ++count[it->second];
            prev = next;
        };
        for (const Split &sp : s) add(sp.v);
        add(segs[i].b);
    }
    std::vector<Edge> odd;
    for (std::size_t k = 0; k < pieces.size(); ++k)
        if (count[k] % 2) odd.push_back(pieces[k]);
    return odd;
}

// Even-odd test by a ray towards +x, half-open in y so that vertices on the ray count once.
bool Triangulator::inside(P2 p, const std::vector<Edge> &edges) {
    bool in = false;
    const auto test = [&](const Edge &e) {
        const P2 a = pos_[e.a], b = pos_[e.b];
        if ((a.y > p.y) != (b.y > p.y)) {
            const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (x > p.x) in = !in;
        }
    };
    if (!bands_.empty()) {
        const auto &band = bands_[band_of(p.y)];
        spend(static_cast<long>(band.size()) + 1);
        for (std::uint32_t k : band) test(edges[k]);
        return in;
    }
    spend(static_cast<long>(edges.size()));
    for (const Edge &e : edges) {
        const P2 a = pos_[e.a], b = pos_[e.b];
        if ((a.y > p.y) != (b.y > p.y)) {
            const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (x > p.x) in = !in;
        }
    }
    return in;
}

void Triangulator::build_bands(const std::vector<Edge> &edges) {
    bands_.clear();
    if (edges.size() < 64) return;
    double lo = pos_[edges[0].a].y, hi = lo;
    for (const Edge &e : edges) {
        lo = std::min({lo, pos_[e.a].y, pos_[e.b].y});
        hi = std::max({hi, pos_[e.a].y, pos_[e.b].y});
    }
    const std::size_t count = std::clamp<std::size_t>(edges.size() / 4, 1, 4096);
    if (!(hi > lo)) return;
    band_y0_ = lo;
    band_h_ = (hi - lo) / static_cast<double>(count);
    bands_.resize(count);
    std::size_t entries = 0;
    for (std::uint32_t k = 0; k < edges.size(); ++k) {
        const double y0 = pos_[edges[k].a].y, y1 = pos_[edges[k].b].y;
        const std::size_t b0 = band_of(std::min(y0, y1)), b1 = band_of(std::max(y0, y1));
        entries += b1 - b0 + 1;
        if (entries > (std::size_t{1} << 24)) {  // long edges across all bands: scan instead
            bands_.clear();
            return;
        }
        for (std::size_t b = b0; b <= b1; ++b) bands_[b].push_back(k);
    }
    spend(static_cast<long>(entries));
}

bool Triangulator::in_loop(P2 p, const std::vector<std::uint32_t> &loop) {
    spend(static_cast<long>(loop.size()));
    bool in = false;
    for (std::size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++) {
        const P2 a = pos_[loop[j]], b = pos_[loop[i]];
        if ((a.y > p.y) != (b.y > p.y)) {
            const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (x > p.x) in = !in;
        }
    }
    return in;
}

// Directs each edge with the region on its left and chains the edges into loops.
std::vector<std::vector<std::uint32_t>> Triangulator::loops(const std::vector<Edge> &edges,
                                                            const std::vector<std::size_t> &runs) {
    const auto left_is_inside = [&](const Edge &e) {
        const P2 a = pos_[e.a], b = pos_[e.b];
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double step = 1e-6;  // a millionth of the edge to its left
        return inside({(a.x + b.x) / 2 - step * dy, (a.y + b.y) / 2 + step * dx}, edges);
    };
    std::vector<Edge> directed;
    directed.reserve(edges.size());
    build_bands(edges);
    if (runs.empty()) {
        for (const Edge &e : edges) directed.push_back(left_is_inside(e) ? e : Edge{e.b, e.a});
    } else {  // disjoint simple loops: one test settles a whole loop
        for (std::size_t r = 0; r + 1 < runs.size(); ++r) {
            const bool keep = left_is_inside(edges[runs[r]]);
            for (std::size_t k = runs[r]; k < runs[r + 1]; ++k)
                directed.push_back(keep ? edges[k] : Edge{edges[k].b, edges[k].a});
        }
    }
    // Outgoing edges per vertex.
    std::vector<std::uint32_t> first(pos_.size() + 1, 0);
    for (const Edge &e : directed) ++first[e.a + 1];
    for (std::size_t v = 0; v < pos_.size(); ++v) first[v + 1] += first[v];
    std::vector<std::uint32_t> outgoing(directed.size()), fill(first.begin(), first.end() - 1);
    for (std::uint32_t k = 0; k < directed.size(); ++k) outgoing[fill[directed[k].a]++] = k;

    const auto angle = [&](std::uint32_t from, std::uint32_t to) {
        return std::atan2(pos_[to].y - pos_[from].y, pos_[to].x - pos_[from].x);
    };
    // After arriving along e, leave by the edge that is first clockwise from the way back: it
    // bounds the same wedge of the region as e.
    const auto successor = [&](std::uint32_t e) {
        const std::uint32_t v = directed[e].b;
        const double back = angle(v, directed[e].a);
        std::uint32_t best = UINT32_MAX;
        double best_turn = 0;
        spend(first[v + 1] - first[v]);
        for (std::uint32_t k = first[v]; k < first[v + 1]; ++k) {
            const std::uint32_t f = outgoing[k];
            double turn = back - angle(v, directed[f].b);
            while (turn <= 0) turn += 2 * std::numbers::pi;
            while (turn > 2 * std::numbers::pi) turn -= 2 * std::numbers::pi;
            if (best == UINT32_MAX || turn < best_turn) {
                best = f;
                best_turn = turn;
            }
        }
        return best;
    };
    std::vector<std::vector<std::uint32_t>> result;
    std::vector<bool> used(directed.size(), false);
    for (std::uint32_t start = 0; start < directed.size(); ++start) {
        if (used[start]) continue;
        std::vector<std::uint32_t> loop;
        std::uint32_t e = start;
        do {
            if (e == UINT32_MAX || used[e]) throw Failed{};
            used[e] = true;
            loop.push_back(directed[e].a);
            e = successor(e);
        } while (e != start);
        result.push_back(std::move(loop));
    }
    return result;
}

double signed_area(const std::vector<P2> &pos, const std::vector<std::uint32_t> &loop) {
    double a = 0;
    for (std::size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++)
        a += pos[loop[j]].x * pos[loop[i]].y - pos[loop[i]].x * pos[loop[j]].y;
    return a / 2;
}

// Whether the open segment a-b properly crosses an edge of `loop` (edges meeting it at a or b
// do not count).
bool Triangulator::crosses_any(P2 a, P2 b, const std::vector<std::uint32_t> &loop) {
    spend(static_cast<long>(loop.size()));
    for (std::size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++) {
        const P2 c = pos_[loop[j]], d = pos_[loop[i]];
        if (c == a || c == b || d == a || d == b) continue;
        const double d1 = orient(c, d, a), d2 = orient(c, d, b);
        const double d3 = orient(a, b, c), d4 = orient(a, b, d);
        if (((d1 >= 0 && d2 <= 0) || (d1 <= 0 && d2 >= 0)) &&
            ((d3 >= 0 && d4 <= 0) || (d3 <= 0 && d4 >= 0)))
            return true;
    }
    return false;
}

// Whether direction `dir` from the polygon's vertex at position i lies inside its interior
// wedge (counter-clockwise from the next edge to the previous one).
bool in_wedge(const std::vector<P2> &pos, const std::vector<std::uint32_t> &poly, std::size_t i,
              P2 dir) {
    const P2 v = pos[poly[i]];
    const P2 n = pos[poly[(i + 1) % poly.size()]];
    const P2 p = pos[poly[(i + poly.size() - 1) % poly.size()]];
    const P2 o{0, 0}, to_n{n.x - v.x, n.y - v.y}, to_p{p.x - v.x, p.y - v.y};
    if (orient(o, to_n, to_p) >= 0)  // convex corner: between both
        return orient(o, to_n, dir) >= 0 && orient(o, dir, to_p) >= 0;
    return orient(o, to_n, dir) >= 0 || orient(o, dir, to_p) >= 0;  // reflex corner
}

void Triangulator::bridge(std::vector<std::uint32_t> &poly,
                          std::vector<std::vector<std::uint32_t>> holes) {
    const auto right = [&](const std::vector<std::uint32_t> &h) {
        std::size_t best = 0;
        for (std::size_t i = 1; i < h.size(); ++i)
            if (pos_[h[i]].x > pos_[h[best]].x) best = i;
        return best;
    };
    std::sort(holes.begin(), holes.end(), [&](const auto &x, const auto &y) {
        return pos_[x[right(x)]].x > pos_[y[right(y)]].x;
    });
    for (std::size_t h = 0; h < holes.size(); ++h) {
        const auto &hole = holes[h];
        const std::size_t mi = right(hole);
        const P2 m = pos_[hole[mi]];
        std::vector<std::size_t> candidates;
        for (std::size_t i = 0; i < poly.size(); ++i)
            if (pos_[poly[i]].x >= m.x) candidates.push_back(i);
        const auto dist = [&](std::size_t i) {
            const P2 p = pos_[poly[i]];
            return (p.x - m.x) * (p.x - m.x) + (p.y - m.y) * (p.y - m.y);
        };
        std::sort(candidates.begin(), candidates.end(),
                  [&](auto x, auto y) { return dist(x) < dist(y); });
        spend(static_cast<long>(candidates.size()));
        std::size_t chosen = SIZE_MAX;
        for (std::size_t i : candidates) {
            const P2 v = pos_[poly[i]];
            if (!in_wedge(pos_, poly, i, {m.x - v.x, m.y - v.y})) continue;
            bool blocked = crosses_any(m, v, poly);
            for (std::size_t k = h; k < holes.size() && !blocked; ++k)
                blocked = crosses_any(m, v, holes[k]);
            if (!blocked) {
                chosen = i;
                break;
            }
        }
        if (chosen == SIZE_MAX) throw Failed{};
        std::vector<std::uint32_t> merged(poly.begin(), poly.begin() + chosen + 1);
        for (std::size_t k = 0; k <= hole.size(); ++k)
            merged.push_back(hole[(mi + k) % hole.size()]);
        merged.insert(merged.end(), poly.begin() + chosen, poly.end());
        poly = std::move(merged);
    }
}

bool Triangulator::sweep(const std::vector<std::vector<std::uint32_t>> &loops) {
    const std::size_t first = corners_.size();
    if (!fill_by_monotone_sweep(pos_, loops, corners_, work_, budget_)) return false;
    for (std::size_t k = first; k < corners_.size(); ++k) out_.push_back(index_[corners_[k]]);
    corners_.resize(first);
    return true;
}

void Triangulator::ear_clip(const std::vector<std::uint32_t> &poly) {
    const std::size_t first = corners_.size();
    const bool done = geometry::ear_clip(pos_, poly, corners_, work_, budget_);
    for (std::size_t k = first; k < corners_.size(); ++k) out_.push_back(index_[corners_[k]]);
    corners_.resize(first);
    if (!done) throw Failed{};
}

bool Triangulator::run(std::span<const std::vector<std::uint32_t>> contours) {
    const std::size_t count = points_.size() / 3;
    const auto at = [&](std::uint32_t i) {
        const float *p = &points_[3 * std::size_t{i}];
        return std::array<double, 3>{p[0], p[1], p[2]};
    };
    // Indices out of range are left out; so are contours too short to enclose anything.
    std::vector<std::vector<std::uint32_t>> valid;
    for (const auto &c : contours) {
        std::vector<std::uint32_t> v;
        for (std::uint32_t i : c)
            if (i < count) v.push_back(i);
        if (v.size() >= 3) valid.push_back(std::move(v));
    }
    // Newell normals: of the first contour with area (the reference side) and of all.
    double ref[3] = {0, 0, 0}, all[3] = {0, 0, 0};
    bool have_ref = false;
    for (const auto &c : valid) {
        double n[3] = {0, 0, 0};
        for (std::size_t k = 0; k < c.size(); ++k) {
            const auto a = at(c[k]), b = at(c[(k + 1) % c.size()]);
            n[0] += (a[1] - b[1]) * (a[2] + b[2]);
            n[1] += (a[2] - b[2]) * (a[0] + b[0]);
            n[2] += (a[0] - b[0]) * (a[1] + b[1]);
        }
        for (int k = 0; k < 3; ++k) all[k] += n[k];
        if (!have_ref && (n[0] != 0 || n[1] != 0 || n[2] != 0)) {
            std::copy(n, n + 3, ref);
            have_ref = true;
        }
    }
    if (!have_ref) {
        // No contour has a net area (a bow tie's lobes cancel): take the plane from the widest
        // triangle of points, the one from the first point to the farthest from it and a third.
        if (valid.empty()) return false;
        const std::array<double, 3> p0 = at(valid[0][0]);
        std::array<double, 3> far = p0;
        double best = 0;
        for (const auto &cv : valid)
            for (std::uint32_t i : cv) {
                const auto p = at(i);
                const double d = (p[0] - p0[0]) * (p[0] - p0[0]) + (p[1] - p0[1]) * (p[1] - p0[1]) +
                                 (p[2] - p0[2]) * (p[2] - p0[2]);
                if (d > best) {
                    best = d;
                    far = p;
                }
            }
        best = 0;
        for (const auto &cv : valid)
            for (std::uint32_t i : cv) {
                const auto p = at(i);
                const double u[3] = {far[0] - p0[0], far[1] - p0[1], far[2] - p0[2]};
                const double v[3] = {p[0] - p0[0], p[1] - p0[1], p[2] - p0[2]};
                const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                     u[0] * v[1] - u[1] * v[0]};
                const double len = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
                if (len > best) {
                    best = len;
                    std::copy(n, n + 3, ref);
                }
            }
        if (!(best > 0)) return false;
        // No side is preferred; face the positive end of the axis the plane is most across.
        const int big = std::abs(ref[0]) >= std::abs(ref[1]) && std::abs(ref[0]) >= std::abs(ref[2])
                            ? 0
                            : (std::abs(ref[1]) >= std::abs(ref[2]) ? 1 : 2);
        if (ref[big] < 0)
            for (double &x : ref) x = -x;
    }
    // Project along the largest component of the overall normal (the best-conditioned plane),
    // oriented so that the reference contour's side is +z.
    const double *plane = (all[0] != 0 || all[1] != 0 || all[2] != 0) ? all : ref;
    drop_ = 2;
    if (std::abs(plane[0]) >= std::abs(plane[1]) && std::abs(plane[0]) >= std::abs(plane[2]))
        drop_ = 0;
    else if (std::abs(plane[1]) >= std::abs(plane[2]))
        drop_ = 1;
    swap_ = ref[drop_] < 0;
    const int ka = (drop_ + 1) % 3, kb = (drop_ + 2) % 3;
    double extent = 0;
    for (const auto &c : valid)
        for (std::uint32_t i : c) {
            const auto p = at(i);
            extent = std::max({extent, std::abs(p[ka]), std::abs(p[kb])});
        }
    snap_ = std::isfinite(extent) ? extent * 1e-9 : 0;
    // Sized once for every corner: growing them rehashed every vertex again and again.
    std::size_t corners = 0;
    for (const auto &c : valid) corners += c.size();
    by_position_.reserve(corners);
    if (snap_ > 0) by_cell_.reserve(corners);

    std::vector<Edge> segs;
    std::vector<std::size_t> runs;
    for (const auto &c : valid) {
        std::vector<std::uint32_t> loop;
        for (std::uint32_t i : c) {
            const auto p = at(i);
            if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) return false;
            const P2 q = swap_ ? P2{p[kb], p[ka]} : P2{p[ka], p[kb]};
            const std::uint32_t v = vertex(q, i);
            if (loop.empty() || loop.back() != v) loop.push_back(v);
        }
        while (loop.size() > 1 && loop.front() == loop.back()) loop.pop_back();
        if (loop.size() < 2) continue;
        runs.push_back(segs.size());
        for (std::size_t k = 0; k < loop.size(); ++k)
            segs.push_back({loop[k], loop[(k + 1) % loop.size()]});
    }
    std::vector<std::vector<Split>> splits(segs.size());
    runs.push_back(segs.size());
    bool clean = true;  // no crossing, no shared or repeated vertex: odd_edges keeps segs as is
    std::vector<std::uint32_t> degree(pos_.size(), 0);
    for (const Edge &e : segs) {
        ++degree[e.a];
        ++degree[e.b];
    }
    for (std::uint32_t d : degree) clean &= d == 2;
    // Most outlines are simple, and the sweep shows it in n log n steps; only where it sees a
    // contact are the crossings sought, through every pair of edges whose boxes overlap. Below
    // a few dozen edges that search is as quick, and the sweep's set not worth making.
    const bool disjoint =
        clean && segs.size() >= 64 && only_shared_ends_meet(pos_, segs, work_, budget_);
    if (work_ > budget_) throw Failed{};
    if (!disjoint) {
        find_crossings(segs, splits);
        for (const auto &sp : splits) clean &= sp.empty();
    }
    const std::vector<Edge> edges = odd_edges(segs, splits);
    if (edges.empty()) return false;
    if (!clean || edges.size() != segs.size()) runs.clear();
    const std::size_t before = out_.size();
    if (!runs.empty()) {  // the contours as given: the sweep finds which side of each to fill
        std::vector<std::vector<std::uint32_t>> given(runs.size() - 1);
        for (std::size_t r = 0; r + 1 < runs.size(); ++r)
            for (std::size_t k = runs[r]; k < runs[r + 1]; ++k) given[r].push_back(segs[k].a);
        if (sweep(given)) return out_.size() > before;
    }
    std::vector<std::vector<std::uint32_t>> found = loops(edges, runs);
    // Loops that touch share a vertex, which the sweep cannot take; bridges and ears can.
    std::vector<std::uint8_t> seen(pos_.size(), 0);
    bool apart = true;
    for (const auto &loop : found)
        for (const std::uint32_t v : loop) apart &= !std::exchange(seen[v], 1);
    if (apart && sweep(found)) return out_.size() > before;
    std::vector<std::vector<std::uint32_t>> outers, holes;
    std::vector<double> outer_area;
    for (auto &loop : found) {
        const double a = signed_area(pos_, loop);
        if (a > 0) {
            outers.push_back(std::move(loop));
            outer_area.push_back(a);
        } else if (a < 0) {
            holes.push_back(std::move(loop));
        }
    }
    // Each hole belongs to the smallest outer loop around it.
    std::vector<std::vector<std::vector<std::uint32_t>>> holes_of(outers.size());
    for (auto &h : holes) {
        const P2 a = pos_[h[0]], b = pos_[h[1]];
        const P2 mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
        std::size_t best = SIZE_MAX;
        for (std::size_t k = 0; k < outers.size(); ++k)
            if ((best == SIZE_MAX || outer_area[k] < outer_area[best]) && in_loop(mid, outers[k]))
                best = k;
        if (best != SIZE_MAX) holes_of[best].push_back(std::move(h));
    }
    for (std::size_t k = 0; k < outers.size(); ++k) {
        bridge(outers[k], std::move(holes_of[k]));
        ear_clip(outers[k]);
    }
    return out_.size() > before;
}

}  // namespace

bool triangulate_contours(std::vector<float> &points,
                          std::span<const std::vector<std::uint32_t>> contours,
                          std::vector<std::uint32_t> &triangles, std::uint64_t *work) {
    const std::size_t points_before = points.size(), triangles_before = triangles.size();
    const long budget = work != nullptr
                            ? static_cast<long>(std::min<std::uint64_t>(*work, kWorkBudget))
                            : kWorkBudget;
    Triangulator t(points, triangles, budget);
    try {
        const bool filled = t.run(contours);
        if (work != nullptr) *work = static_cast<std::uint64_t>(t.work());
        return filled;
    } catch (const Failed &) {
        if (work != nullptr) *work = static_cast<std::uint64_t>(t.work());
        // Too large or too tangled to untangle in bounded time: a fan per contour keeps
        // something visible, and the false return tells the caller it is not the even-odd fill.
        points.resize(points_before);
        triangles.resize(triangles_before);
        const std::size_t count = points.size() / 3;
        for (const auto &c : contours) {
            if (c.size() < 3 || c[0] >= count) continue;
            for (std::size_t k = 1; k + 1 < c.size(); ++k)
                if (c[k] < count && c[k + 1] < count)
                    triangles.insert(triangles.end(), {c[0], c[k], c[k + 1]});
        }
        return false;
    }
}

}  // namespace tarvex::geometry
