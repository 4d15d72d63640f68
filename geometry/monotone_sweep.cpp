// A polygon with holes cut into triangles in O(n log n), whatever its shape: one sweep over all
// its loops at once splits the region into pieces monotone along the sweep (de Berg et al.,
// "Computational Geometry", chapter 3), and each piece is cut in one linear pass.
//
// Why this and not ear clipping with bridged holes: an ear clipper must find, for every ear,
// that no corner lies inside it, and a hole must find a bridge no edge blocks; spirals, combs
// and long rows of holes make both searches grow with the square of the corners, and collinear
// corners (holes in a grid) block every bridge. The sweep needs neither search. Holes need no
// bridges: the sweep meets a hole's top corner as a split corner and its bottom one as a merge
// corner, and joins each to a corner already seen or met next.
//
// The sweep line moves down; corners on one level are taken from left to right, as if the line
// were turned a hair, so that level edges and collinear corners need no special case. Which
// side of each loop is filled is settled where the sweep meets the loop's top corner, by the
// edge directly to its left (even-odd: the loop flips what that edge has on its right), so the
// caller need not orient the loops.
#include "geometry/monotone_sweep.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <utility>

#include "core/monotonic_arena.h"

namespace tarvex::geometry {
namespace {

struct Refused {};  // over budget, or the loops are not as promised

constexpr std::uint32_t kNone = UINT32_MAX;
constexpr std::uint32_t kProbe = UINT32_MAX - 1;  // the corner being placed, in the edge order

enum class Kind : std::uint8_t { start, split, end, merge, regular };

class Sweep {
  public:
    Sweep(std::span<const P2> pos, std::span<const std::vector<std::uint32_t>> loops, long &work,
          long budget)
        : pos_(pos), work_(work), budget_(budget) {
        for (const auto &loop : loops) {
            const auto first = static_cast<std::uint32_t>(vertex_.size());
            const auto n = static_cast<std::uint32_t>(loop.size());
            if (n < 3) continue;
            double area = 0;
            for (std::uint32_t k = 0; k < n; ++k) {
                vertex_.push_back(loop[k]);
                next_.push_back(first + (k + 1) % n);
                prev_.push_back(first + (k + n - 1) % n);
                loop_of_.push_back(static_cast<std::uint32_t>(ccw_.size()));
                const P2 a = pos[loop[k]], b = pos[loop[(k + 1) % n]];
                area += a.x * b.y - b.x * a.y;
            }
            if (area == 0) throw Refused{};
            ccw_.push_back(area > 0);
        }
        flip_.assign(ccw_.size(), -1);
    }

    void run(std::vector<std::uint32_t> &out) {
        partition();
        cut_pieces(out);
    }

  private:
    P2 at(std::uint32_t c) const { return pos_[vertex_[c]]; }
    void spend(long units) {
        work_ += units;
        if (work_ > budget_) throw Refused{};
    }
    static void refuse_if(bool bad) {
        if (bad) throw Refused{};
    }
    // The loop's corners in the order that keeps the filled region on the left.
    std::uint32_t dnext(std::uint32_t c) const { return flip_[loop_of_[c]] ? prev_[c] : next_[c]; }
    std::uint32_t dprev(std::uint32_t c) const { return flip_[loop_of_[c]] ? next_[c] : prev_[c]; }
    // Edge c joins corner c and next_[c]; the edges leaving and entering c in filled order.
    std::uint32_t edge_out(std::uint32_t c) const { return flip_[loop_of_[c]] ? prev_[c] : c; }
    std::uint32_t edge_in(std::uint32_t c) const { return flip_[loop_of_[c]] ? c : prev_[c]; }
    std::uint32_t upper(std::uint32_t e) const { return rank_[e] < rank_[next_[e]] ? e : next_[e]; }
    std::uint32_t lower(std::uint32_t e) const { return rank_[e] < rank_[next_[e]] ? next_[e] : e; }

    static double checked(double o) {
        refuse_if(o == 0);  // a corner on an edge's line where none may be: rounding
        return o;
    }
    // Whether edge (or probe) s lies left of t where both cross the sweep line.
    bool left_of(std::uint32_t s, std::uint32_t t) {
        if (s == t) return false;
        ++work_;
        if (s == kProbe) return checked(orient(at(upper(t)), at(lower(t)), probe_)) < 0;
        if (t == kProbe) return checked(orient(at(upper(s)), at(lower(s)), probe_)) > 0;
        const std::uint32_t us = upper(s), ut = upper(t);
        if (us == ut) return checked(orient(at(us), at(lower(s)), at(lower(t)))) > 0;
        if (rank_[ut] > rank_[us]) return checked(orient(at(us), at(lower(s)), at(ut))) > 0;
        return checked(orient(at(ut), at(lower(t)), at(us))) < 0;
    }

    void partition();
    void cut_pieces(std::vector<std::uint32_t> &out);
    void cut_piece(const std::vector<std::uint32_t> &piece, std::vector<std::uint32_t> &out);

    std::span<const P2> pos_;
    long &work_;
    long budget_;
    std::vector<std::uint32_t> vertex_, next_, prev_, loop_of_;
    std::vector<bool> ccw_;            // per loop: winds counter-clockwise as given
    std::vector<std::int8_t> flip_;    // per loop: -1 not yet met, 1 reversed to fill on the left
    std::vector<std::uint32_t> rank_;  // per corner: its place in the sweep
    std::vector<Kind> kind_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> diagonals_;
    P2 probe_{};
};

void Sweep::partition() {
    const auto n = static_cast<std::uint32_t>(vertex_.size());
    std::vector<std::uint32_t> order(n);
    for (std::uint32_t c = 0; c < n; ++c) order[c] = c;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const P2 p = at(a), q = at(b);
        return p.y > q.y || (p.y == q.y && p.x < q.x);
    });
    spend(n);
    rank_.resize(n);
    for (std::uint32_t r = 0; r < n; ++r) {
        rank_[order[r]] = r;
        refuse_if(r > 0 && at(order[r]) == at(order[r - 1]));  // loops touch
    }
    kind_.assign(n, Kind::regular);
    std::vector<std::uint32_t> helper(n, kNone);  // per edge whose right side is filled

    MonotonicArena pool;
    const auto less = [this](std::uint32_t s, std::uint32_t t) { return left_of(s, t); };
    std::set<std::uint32_t, decltype(less), ArenaAllocator<std::uint32_t>> edges(
        less, ArenaAllocator<std::uint32_t>(pool));
    std::vector<decltype(edges)::iterator> place(n);
    std::vector<bool> filled_right(n, false);
    const auto insert = [&](std::uint32_t e, bool right) {
        place[e] = edges.insert(e).first;
        filled_right[e] = right;
    };
    // The edge directly left of corner v, which must have the filled region on its right.
    const auto left_edge = [&](std::uint32_t v) {
        probe_ = at(v);
        const auto it = edges.lower_bound(kProbe);
        refuse_if(it == edges.begin());
        const std::uint32_t e = *std::prev(it);
        refuse_if(!filled_right[e]);
        return e;
    };
    const auto join_merge = [&](std::uint32_t v, std::uint32_t e) {
        if (helper[e] != kNone && kind_[helper[e]] == Kind::merge)
            diagonals_.emplace_back(v, helper[e]);
    };

    for (const std::uint32_t v : order) {
        spend(1);
        std::int8_t &flip = flip_[loop_of_[v]];
        if (flip < 0) {  // the loop's top corner: fill its inside if left of it is empty
            probe_ = at(v);
            const auto it = edges.lower_bound(kProbe);
            const bool inside_filled = it == edges.begin() || !filled_right[*std::prev(it)];
            flip = inside_filled != ccw_[loop_of_[v]];
        }
        const std::uint32_t u = dprev(v), w = dnext(v), in = edge_in(v), out = edge_out(v);
        const bool u_below = rank_[u] > rank_[v], w_below = rank_[w] > rank_[v];
        const double o = orient(at(u), at(v), at(w));
        if (u_below && w_below) {
            refuse_if(o == 0);
            kind_[v] = o > 0 ? Kind::start : Kind::split;
            if (o < 0) {
                const std::uint32_t e = left_edge(v);
                diagonals_.emplace_back(v, helper[e]);
                helper[e] = v;
            }
            insert(out, true);
            helper[out] = v;
            insert(in, false);
        } else if (!u_below && !w_below) {
            refuse_if(o == 0);
            kind_[v] = o > 0 ? Kind::end : Kind::merge;
            join_merge(v, in);
            edges.erase(place[in]);
            edges.erase(place[out]);
            if (o < 0) {
                const std::uint32_t e = left_edge(v);
                join_merge(v, e);
                helper[e] = v;
            }
        } else if (w_below) {  // the filled region lies right of v
            join_merge(v, in);
            edges.erase(place[in]);
            insert(out, true);
            helper[out] = v;
        } else {  // the filled region lies left of v
            edges.erase(place[out]);
            const std::uint32_t e = left_edge(v);
            join_merge(v, e);
            helper[e] = v;
            insert(in, false);
        }
    }
    refuse_if(!edges.empty());
}

void Sweep::cut_pieces(std::vector<std::uint32_t> &out) {
    const auto n = static_cast<std::uint32_t>(vertex_.size());
    const auto d = static_cast<std::uint32_t>(diagonals_.size());
    spend(n + 2 * static_cast<long>(d));
    // Half-edges: c < n runs from corner c to dnext(c); n + 2k and n + 2k + 1 are diagonal k
    // both ways. Around each corner, its diagonals in counter-clockwise order from its edge out.
    const std::uint32_t halves = n + 2 * d;
    const auto origin = [&](std::uint32_t h) {
        return h < n         ? h
               : (h - n) % 2 ? diagonals_[(h - n) / 2].second
                             : diagonals_[(h - n) / 2].first;
    };
    const auto target = [&](std::uint32_t h) {
        return h < n ? dnext(h) : origin(n + ((h - n) ^ 1));
    };
    std::vector<std::uint32_t> first(n + 1, 0);
    for (std::uint32_t h = n; h < halves; ++h) ++first[origin(h) + 1];
    for (std::uint32_t c = 0; c < n; ++c) first[c + 1] += first[c];
    std::vector<std::uint32_t> fan(2 * std::size_t{d}), fill(first.begin(), first.end() - 1);
    for (std::uint32_t h = n; h < halves; ++h) fan[fill[origin(h)]++] = h;
    const auto angle = [&](std::uint32_t h) {
        const P2 o = at(origin(h)), a = at(dnext(origin(h))), b = at(target(h));
        const double ax = a.x - o.x, ay = a.y - o.y, bx = b.x - o.x, by = b.y - o.y;
        const double t = std::atan2(ax * by - ay * bx, ax * bx + ay * by);
        return t < 0 ? t + 2 * std::numbers::pi : t;
    };
    std::vector<std::uint32_t> slot(halves, 0);  // a diagonal half-edge's place around its origin
    for (std::uint32_t c = 0; c < n; ++c) {
        const auto b = fan.begin() + first[c], e = fan.begin() + first[c + 1];
        std::sort(b, e, [&](std::uint32_t x, std::uint32_t y) { return angle(x) < angle(y); });
        for (std::uint32_t k = first[c]; k < first[c + 1]; ++k) slot[fan[k]] = k;
    }
    // After arriving at a corner, leave by the half-edge next clockwise from the way back.
    const auto successor = [&](std::uint32_t h) {
        const std::uint32_t c = target(h);
        if (h < n) return first[c + 1] > first[c] ? fan[first[c + 1] - 1] : c;
        const std::uint32_t back = slot[n + ((h - n) ^ 1)];
        return back > first[c] ? fan[back - 1] : c;
    };
    std::vector<bool> used(halves, false);
    std::vector<std::uint32_t> piece;
    for (std::uint32_t start = 0; start < halves; ++start) {
        if (used[start]) continue;
        piece.clear();
        std::uint32_t h = start;
        do {
            refuse_if(used[h] || piece.size() > halves);
            used[h] = true;
            piece.push_back(origin(h));
            h = successor(h);
        } while (h != start);
        cut_piece(piece, out);
    }
}

// A piece monotone along the sweep, counter-clockwise: its two chains from top to bottom are
// merged into sweep order and cut with a stack of corners not yet cut off.
void Sweep::cut_piece(const std::vector<std::uint32_t> &piece, std::vector<std::uint32_t> &out) {
    const std::size_t m = piece.size();
    refuse_if(m < 3);
    spend(static_cast<long>(3 * m));
    std::size_t top = 0, bottom = 0;
    for (std::size_t k = 1; k < m; ++k) {
        if (rank_[piece[k]] < rank_[piece[top]]) top = k;
        if (rank_[piece[k]] > rank_[piece[bottom]]) bottom = k;
    }
    // Counter-clockwise from the top runs down the left chain; the other way, the right one.
    std::vector<std::pair<std::uint32_t, bool>> sorted;  // corner, on the right chain
    sorted.reserve(m);
    sorted.emplace_back(piece[top], false);
    std::size_t l = (top + 1) % m, r = (top + m - 1) % m;
    while (l != bottom || r != bottom) {
        const bool take_left = r == bottom || (l != bottom && rank_[piece[l]] < rank_[piece[r]]);
        const std::uint32_t c = take_left ? piece[l] : piece[r];
        refuse_if(rank_[c] < rank_[sorted.back().first]);  // not monotone: rounding
        sorted.emplace_back(c, !take_left);
        if (take_left)
            l = (l + 1) % m;
        else
            r = (r + m - 1) % m;
    }
    sorted.emplace_back(piece[bottom], false);
    const auto emit = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        const double o = orient(at(a), at(b), at(c));
        if (o == 0) return;  // three corners in a line: nothing to draw
        if (o < 0) std::swap(b, c);
        out.insert(out.end(), {vertex_[a], vertex_[b], vertex_[c]});
    };
    std::vector<std::pair<std::uint32_t, bool>> stack{sorted[0], sorted[1]};
    for (std::size_t j = 2; j + 1 < m; ++j) {
        const auto [u, right] = sorted[j];
        if (right != stack.back().second) {
            for (std::size_t k = 1; k < stack.size(); ++k)
                emit(u, stack[k - 1].first, stack[k].first);
            stack = {sorted[j - 1], sorted[j]};
            continue;
        }
        auto last = stack.back();
        stack.pop_back();
        while (!stack.empty()) {
            const std::uint32_t q = stack.back().first, p = last.first;
            const double o = right ? orient(at(u), at(p), at(q)) : orient(at(q), at(p), at(u));
            if (!(o > 0)) break;
            emit(u, p, q);
            last = stack.back();
            stack.pop_back();
        }
        stack.push_back(last);
        stack.push_back(sorted[j]);
    }
    const std::uint32_t u = sorted[m - 1].first;
    for (std::size_t k = 1; k < stack.size(); ++k) emit(u, stack[k - 1].first, stack[k].first);
}

}  // namespace

bool fill_by_monotone_sweep(std::span<const P2> pos,
                            std::span<const std::vector<std::uint32_t>> loops,
                            std::vector<std::uint32_t> &out, long &work, long budget) {
    std::vector<std::uint32_t> made;
    try {
        Sweep(pos, loops, work, budget).run(made);
    } catch (const Refused &) {
        return false;
    }
    out.insert(out.end(), made.begin(), made.end());
    return true;
}

}  // namespace tarvex::geometry
