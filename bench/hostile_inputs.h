// 3DMF text that makes a converter's work grow: the benchmark of bounded work times these, and
// its regression tests hold the conversion of the same inputs to their bounds.
#pragma once

#include <cmath>
#include <sstream>
#include <string>

namespace tarvex::hostile {

inline constexpr const char *kHead = "3DMetafile ( 1 6 Normal toc> )\n";

// A table of contents naming labels s1 ... s<count> as references 1 ... count.
inline std::string toc(int count, const char *prefix = "s") {
    std::ostringstream t;
    t << "toc: TableOfContents ( toc2> " << count + 1 << " -1 0 12 " << count << "\n";
    for (int i = 1; i <= count; ++i) t << i << " " << prefix << i << ">\n";
    t << ")\n";
    return t.str();
}

// Attribute sets built from sets: `width` at each of `depth` levels, each set referring to every
// set of the level below. Resolved per path this is width^depth work.
inline std::string fanned_sets(int width, int depth) {
    std::ostringstream t;
    t << kHead;
    const auto id = [&](int level, int i) { return level * width + i + 1; };
    for (int level = 0; level < depth; ++level)
        for (int i = 0; i < width; ++i) {
            t << "s" << id(level, i) << ": Container ( AttributeSet ( ) ";
            if (level == 0) t << "DiffuseColor ( " << i / double(width) << " 0 0 ) ";
            for (int j = 0; level > 0 && j < width; ++j)
                t << "Reference ( " << id(level - 1, j) << " ) ";
            t << ")\n";
        }
    for (int i = 0; i < width; ++i)
        t << "Container ( Point ( " << i << " 0 0 ) Reference ( " << id(depth - 1, i) << " ) )\n";
    return t.str() + toc(width * depth);
}

// `count` spheres, each in a group of its own colour and place, under `subdivision` (none: the
// default) — the scene the output budget must carry whole.
inline std::string spheres(int count, const std::string &subdivision) {
    std::ostringstream t;
    t << kHead << subdivision << "\n";
    for (int i = 0; i < count; ++i)
        t << "BeginGroup ( DisplayGroup ( ) ) DiffuseColor ( " << (i % 100) / 100.0
          << " 0.5 0.2 ) Translate ( " << i << " 0 0 )\n"
          << "Ellipsoid ( 0 1 0 0 0 1 1 0 0 0 0 0 ) EndGroup ( )\n";
    return t.str();
}

// Tori at the per-surface cap: each alone writes about 9.5 MB.
inline std::string greedy_tori(int count) {
    std::ostringstream t;
    t << kHead << "SubdivisionStyle ( Constant 1024 1024 )\n";
    for (int i = 0; i < count; ++i) t << "Torus ( 0 1 0 0 0 1 1 0 0 " << 3 * i << " 0 0 0.3 )\n";
    return t.str();
}

// A comb of `vertices` corners, its teeth 9 high on one long edge, drawn `uses` times through
// References, each in a colour of its own: once a triangulation that outran its steps, repeated.
inline std::string zigzag_polygon_used(int vertices, int uses) {
    std::ostringstream t;
    t << kHead << "s1: GeneralPolygon ( 1 " << vertices << "\n";
    for (int i = 0; i < vertices / 2; ++i) t << i << " " << (i % 2 ? 10 : 1) << " 0\n";
    for (int i = vertices / 2; i-- > 0;) t << i << " 0 0\n";
    t << ")\n";
    for (int i = 0; i < uses; ++i)
        t << "BeginGroup ( DisplayGroup ( ) ) DiffuseColor ( " << i / double(uses)
          << " 1 0 ) Reference ( 1 ) EndGroup ( )\n";
    return t.str() + toc(1);
}

// `count` plates in a row, each a GeneralPolygon of `columns` x `rows` unit square holes one
// apart, wound as the plate: collinear corners, which blocked every hole's bridge, and rows of
// holes, whose bridge searches grew with the square of the corners.
inline std::string holed_plates(int count, int columns, int rows) {
    std::ostringstream t;
    t << kHead;
    const int w = 2 * columns + 1, h = 2 * rows + 1;
    for (int p = 0; p < count; ++p) {
        const int y0 = p * (h + 1);
        t << "GeneralPolygon ( " << columns * rows + 1 << "\n4 0 " << y0 << " 0  " << w << " " << y0
          << " 0  " << w << " " << y0 + h << " 0  0 " << y0 + h << " 0\n";
        for (int i = 0; i < columns; ++i)
            for (int j = 0; j < rows; ++j) {
                const int x = 2 * i + 1, y = y0 + 2 * j + 1;
                t << "4 " << x << " " << y << " 0 " << x + 1 << " " << y << " 0 " << x + 1 << " "
                  << y + 1 << " 0 " << x << " " << y + 1 << " 0\n";
            }
        t << ")\n";
    }
    return t.str();
}

// `count` Polygons, each a spiral corridor of `corners` corners (a turn per 100 corners): the
// ear clipper's worst case, its ears long and its reflex corners everywhere.
inline std::string spirals(int count, int corners) {
    std::ostringstream t;
    t.precision(7);
    t << kHead;
    const int half = corners / 2;
    const double turns = half / 100.0, pi = 3.14159265358979323846;
    for (int s = 0; s < count; ++s) {
        t << "Polygon ( " << 2 * half << "\n";
        for (int k = 0; k < 2 * half; ++k) {
            const int i = k < half ? k : 2 * half - 1 - k;
            const double a = turns * 2 * pi * i / (half - 1),
                         r = 1 + a / (2 * pi) - (k < half ? 0 : 0.5);
            t << r * std::cos(a) + 3 * turns * s << " " << r * std::sin(a) << " 0\n";
        }
        t << ")\n";
    }
    return t.str();
}

}  // namespace tarvex::hostile
