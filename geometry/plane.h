// Points of a plane the polygon code projects onto, and the orientation test it is built on.
#pragma once

namespace tarvex::geometry {

struct P2 {
    double x, y;
    bool operator==(const P2 &o) const { return x == o.x && y == o.y; }
};

// Twice the signed area of a, b, c: positive when they turn counter-clockwise.
inline double orient(P2 a, P2 b, P2 c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

}  // namespace tarvex::geometry
