// Shamos and Hoey's sweep: segments are kept in the order they cross a vertical line moving
// right, and two can meet only after being neighbours in that order, so only neighbours are
// tested. The order is decided where a segment starts, by the side of its neighbour its start
// lies on; a start on a neighbour's line is a contact, and ends the sweep at once.
#include "geometry/segment_sweep.h"

#include <algorithm>
#include <set>
#include <vector>

#include "core/monotonic_arena.h"

namespace tarvex::geometry {
namespace {

struct Contact {};  // two segments meet where they must not, or rounding left no order

bool before(P2 p, P2 q) {
    return p.x < q.x || (p.x == q.x && p.y < q.y);
}

int sign(double v) {
    return (v > 0) - (v < 0);
}

// Whether r, known to be on the line through p and q, lies between them.
bool within(P2 p, P2 q, P2 r) {
    return std::min(p.x, q.x) <= r.x && r.x <= std::max(p.x, q.x) && std::min(p.y, q.y) <= r.y &&
           r.y <= std::max(p.y, q.y);
}

struct Ends {
    std::uint32_t left, right;  // vertex numbers, left before right in (x, y)
    P2 l, r;
};

class Sweep {
  public:
    Sweep(std::span<const P2> pos, std::span<const Segment> segments, long &work, long budget)
        : work_(work), budget_(budget), ends_(segments.size()) {
        for (std::size_t i = 0; i < segments.size(); ++i) {
            const auto [a, b] = segments[i];
            ends_[i] =
                before(pos[b], pos[a]) ? Ends{b, a, pos[b], pos[a]} : Ends{a, b, pos[a], pos[b]};
        }
    }

    bool run() {
        for (const Ends &e : ends_)
            if (e.left == e.right) return false;
        // Two events a segment, (segment << 1) | starts; at one point, ends before starts, so
        // that a segment leaving where another arrives is gone before its place is sought.
        std::vector<std::uint32_t> events(2 * ends_.size());
        for (std::uint32_t i = 0; i < events.size(); ++i) events[i] = i;
        const auto at = [&](std::uint32_t ev) {
            return ev & 1 ? ends_[ev >> 1].l : ends_[ev >> 1].r;
        };
        std::sort(events.begin(), events.end(), [&](std::uint32_t x, std::uint32_t y) {
            const P2 p = at(x), q = at(y);
            if (p == q) return (x & 1) < (y & 1);
            return before(p, q);
        });
        if (!spend(static_cast<long>(events.size()))) return false;

        MonotonicArena pool;
        const auto below = [this](std::uint32_t s, std::uint32_t t) { return lower(s, t); };
        std::set<std::uint32_t, decltype(below), ArenaAllocator<std::uint32_t>> order(
            below, ArenaAllocator<std::uint32_t>(pool));
        std::vector<decltype(order)::iterator> place(ends_.size());
        try {
            for (const std::uint32_t ev : events) {
                if (!spend(1)) return false;
                const std::uint32_t s = ev >> 1;
                if (ev & 1) {
                    const auto it = order.insert(s).first;
                    place[s] = it;
                    if (it != order.begin() && meet(s, *std::prev(it))) return false;
                    if (std::next(it) != order.end() && meet(s, *std::next(it))) return false;
                } else {
                    const auto it = place[s];
                    const auto next = std::next(it);
                    if (it != order.begin() && next != order.end() && meet(*std::prev(it), *next))
                        return false;
                    order.erase(it);
                }
            }
        } catch (const Contact &) {
            return false;
        }
        return true;
    }

  private:
    bool spend(long units) {
        work_ += units;
        return work_ <= budget_;
    }

    // Whether s lies below t where both cross the sweep line; throws Contact where the start of
    // one lies on the other's line, a contact or an overlap.
    bool lower(std::uint32_t s, std::uint32_t t) {
        if (s == t) return false;
        ++work_;
        const Ends &x = ends_[s], &y = ends_[t];
        if (x.left == y.left) {
            const int o = sign(orient(x.l, x.r, y.r));
            if (o == 0) throw Contact{};
            return o > 0;
        }
        if (before(y.l, x.l)) {
            const int o = sign(orient(y.l, y.r, x.l));
            if (o == 0) throw Contact{};
            return o < 0;
        }
        const int o = sign(orient(x.l, x.r, y.l));
        if (o == 0) throw Contact{};
        return o > 0;
    }

    // Whether segments s and t meet anywhere but at an end they share.
    bool meet(std::uint32_t s, std::uint32_t t) const {
        const Ends &x = ends_[s], &y = ends_[t];
        const bool shared_left = x.left == y.left || x.left == y.right;
        const bool shared_right = x.right == y.left || x.right == y.right;
        if (shared_left && shared_right) return true;  // the same edge twice
        if (shared_left || shared_right) {
            // They meet beyond the shared end only if they run on along one line, one way.
            const P2 v = shared_left ? x.l : x.r, p = shared_left ? x.r : x.l;
            const P2 q = (y.l == v) ? y.r : y.l;
            if (orient(v, p, q) != 0) return false;
            return (p.x - v.x) * (q.x - v.x) + (p.y - v.y) * (q.y - v.y) > 0;
        }
        const int d1 = sign(orient(y.l, y.r, x.l)), d2 = sign(orient(y.l, y.r, x.r));
        const int d3 = sign(orient(x.l, x.r, y.l)), d4 = sign(orient(x.l, x.r, y.r));
        if (d1 * d2 < 0 && d3 * d4 < 0) return true;
        return (d1 == 0 && within(y.l, y.r, x.l)) || (d2 == 0 && within(y.l, y.r, x.r)) ||
               (d3 == 0 && within(x.l, x.r, y.l)) || (d4 == 0 && within(x.l, x.r, y.r));
    }

    long &work_;
    long budget_;
    std::vector<Ends> ends_;
};

}  // namespace

bool only_shared_ends_meet(std::span<const P2> pos, std::span<const Segment> segments, long &work,
                           long budget) {
    return Sweep(pos, segments, work, budget).run();
}

}  // namespace tarvex::geometry
