// A VRML 97 reader of its own, independent of the writer, and the figures it measures. The parser
// and the walk that places each geometry share the node stack, so they stay in one file.
#include "vrml_measure.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <unordered_map>

namespace tarvex::measure {

void Box::add(const Vec3 &p) {
    for (int k = 0; k < 3; ++k) {
        min[k] = empty ? p[k] : std::min(min[k], p[k]);
        max[k] = empty ? p[k] : std::max(max[k], p[k]);
    }
    empty = false;
}

namespace {

// An affine map: three rows of a 4x4 matrix whose last row is 0 0 0 1.
struct Affine {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    Vec3 apply(const Vec3 &p) const {
        Vec3 r;
        for (int i = 0; i < 3; ++i)
            r[i] = m[i][0] * p[0] + m[i][1] * p[1] + m[i][2] * p[2] + m[i][3];
        return r;
    }
    Affine operator*(const Affine &b) const {
        Affine r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j) {
                r.m[i][j] = (j == 3 ? m[i][3] : 0);
                for (int k = 0; k < 3; ++k) r.m[i][j] += m[i][k] * b.m[k][j];
            }
        return r;
    }
    static Affine move(const Vec3 &t, const Vec3 &s = {1, 1, 1}) {
        return {{{s[0], 0, 0, t[0]}, {0, s[1], 0, t[1]}, {0, 0, s[2], t[2]}}};
    }
    // Rodrigues' formula; a zero axis is no rotation.
    static Affine rotation(const std::array<double, 4> &r) {
        const double len = norm({r[0], r[1], r[2]});
        if (len == 0) return {};
        const double x = r[0] / len, y = r[1] / len, z = r[2] / len;
        const double c = std::cos(r[3]), s = std::sin(r[3]), t = 1 - c;
        return {{{t * x * x + c, t * x * y - s * z, t * x * z + s * y, 0},
                 {t * x * y + s * z, t * y * y + c, t * y * z - s * x, 0},
                 {t * x * z - s * y, t * y * z + s * x, t * z * z + c, 0}}};
    }
};

struct Geometry {
    std::string type;
    std::vector<double> coords, colors, tex_coords;
    std::vector<long> coord_index, color_index, tex_coord_index;
    bool color_per_vertex = true, solid = true;
};

struct Image {  // SFImage: rows bottom first, one integer a pixel
    long width = 0, height = 0, components = 0;
    std::vector<unsigned long> pixels;
    bool repeat_s = true, repeat_t = true;

    Rgb texel(double s, double t) const {
        const auto place = [](double x, long n, bool repeat) {
            x = repeat ? x - std::floor(x) : std::clamp(x, 0.0, 1.0);
            return std::clamp(static_cast<long>(std::floor(x * double(n))), 0L, n - 1);
        };
        const unsigned long p =
            pixels[std::size_t(place(t, height, repeat_t) * width + place(s, width, repeat_s))];
        const auto byte = [&](int from_right) {
            return float((p >> (8 * from_right)) & 255) / 255;
        };
        // Grey from the top byte of one or two components, else the top three bytes of RGB(A).
        const int top = components >= 1 && components <= 3 ? int(components) - 1 : 3;
        if (top < 2) return {byte(top), byte(top), byte(top)};
        return {byte(top), byte(top - 1), byte(top - 2)};
    }
};

// What a node read as a field value hands to the node around it.
struct NodeValue {
    std::string type;
    std::vector<double> numbers;  // Coordinate.point, Color.color, TextureCoordinate.point
    std::optional<Rgb> diffuse;   // Material, and Appearance passing its material on
    std::optional<Rgb> emissive;  // the same
    std::optional<Image> image;   // PixelTexture, and Appearance passing it on
    std::optional<Geometry> geometry;
};

class Reader {
  public:
    Reader(std::string_view text, Measure &out) : text_(text), out_(out) {}

    void world() {
        if (text_.substr(0, 15) != "#VRML V2.0 utf8") error("no VRML 97 header");
        while (!peek().empty()) {
            if (peek() == "ROUTE" || peek() == "PROTO" || peek() == "EXTERNPROTO")
                return error("unexpected " + std::string(peek()));
            node(Affine{});
            if (failed_) return;
        }
    }

  private:
    // ---- tokens: VRML counts commas as blanks; # comments run to the end of the line
    void skipBlanks() {
        for (; pos_ < text_.size(); ++pos_) {
            if (text_[pos_] == '#')
                pos_ = std::min(text_.find_first_of("\n\r", pos_), text_.size() - 1);
            else if (std::string_view(" \t\n\r,").find(text_[pos_]) == std::string_view::npos)
                return;
        }
    }
    std::string_view peek() {
        const std::size_t saved = pos_;
        const std::string_view t = next();
        pos_ = saved;
        return t;
    }
    std::string_view next() {
        skipBlanks();
        if (pos_ >= text_.size()) return {};
        const std::size_t start = pos_;
        const char c = text_[pos_];
        if (c == '{' || c == '}' || c == '[' || c == ']') {
            ++pos_;
        } else if (c == '"') {
            for (++pos_; pos_ < text_.size() && text_[pos_] != '"'; ++pos_)
                if (text_[pos_] == '\\') ++pos_;
            ++pos_;
        } else {
            pos_ = std::min(text_.find_first_of(" \t\r\n,{}[]\"#", pos_), text_.size());
        }
        return text_.substr(start, pos_ - start);
    }
    void expect(std::string_view want) {
        const std::string_view got = next();
        if (got != want)
            error("expected " + std::string(want) + ", found '" + std::string(got) + "'");
    }
    void error(std::string what) {
        if (!failed_) out_.errors.push_back(what + " at byte " + std::to_string(pos_));
        failed_ = true;
        pos_ = text_.size();
    }

    static bool isNumber(std::string_view t) {
        return !t.empty() && (std::isdigit(static_cast<unsigned char>(t[0])) || t[0] == '-' ||
                              t[0] == '+' || t[0] == '.');
    }
    double number() {
        const std::string_view t = next();
        double v = 0;
        const char *begin = t.data() + (!t.empty() && t[0] == '+' ? 1 : 0);
        const auto [end, ec] = std::from_chars(begin, t.data() + t.size(), v);
        if (ec != std::errc{} || end != t.data() + t.size())
            error("not a number: '" + std::string(t) + "'");
        return v;
    }
    Vec3 vec3() {
        const double x = number(), y = number();
        return {x, y, number()};
    }
    std::array<double, 4> axisAngle() {
        const Vec3 axis = vec3();
        return {axis[0], axis[1], axis[2], number()};
    }
    bool boolean() {
        const std::string_view t = next();
        if (t != "TRUE" && t != "FALSE") error("not a boolean: '" + std::string(t) + "'");
        return t == "TRUE";
    }
    // An MF field of values of `arity` numbers: one value without brackets, or a bracketed list.
    std::vector<double> numbers(int arity = 1) {
        std::vector<double> v;
        if (peek() != "[") {
            for (int k = 0; k < arity && !failed_; ++k) v.push_back(number());
            return v;
        }
        next();
        while (!failed_ && peek() != "]") v.push_back(number());
        expect("]");
        return v;
    }
    // Into `im`, an SFImage: width, height, components, then one integer a pixel (decimal or 0x
    // hex).
    void image(Image &im) {
        im.pixels.clear();
        const auto integer = [&]() -> unsigned long {
            const std::string_view t = next();
            const bool hex = t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
            unsigned long v = 0;
            const auto [end, ec] =
                std::from_chars(t.data() + (hex ? 2 : 0), t.data() + t.size(), v, hex ? 16 : 10);
            if (ec != std::errc{} || end != t.data() + t.size())
                error("not an image integer: '" + std::string(t) + "'");
            return v;
        };
        im.width = long(integer());
        im.height = long(integer());
        im.components = long(integer());
        if (im.width < 0 || im.height < 0 || im.width * im.height > (1L << 24))
            return error("image too large");
        for (long i = 0; i < im.width * im.height && !failed_; ++i) im.pixels.push_back(integer());
    }
    std::vector<long> integers() {
        const std::vector<double> v = numbers();
        return {v.begin(), v.end()};
    }

    // A value this measure has no use for, skipped by its brackets alone. Nothing drawn is
    // skipped, so no DEF a drawing needs is missed.
    void skipValue() {
        std::string_view t = next();
        if (t == "USE") {
            next();
            return;
        }
        if (t == "DEF") {
            next();
            t = next();
        }
        if (t != "[" && (isNumber(t) || t.empty() || t[0] == '"' || t == "TRUE" || t == "FALSE" ||
                         t == "NULL")) {
            while (isNumber(peek())) next();
            return;
        }
        if (t != "[") expect("{");
        for (int depth = 1; depth > 0 && !failed_;) {
            t = next();
            if (t.empty()) return error("a value runs to the end");
            if (t == "[" || t == "{") ++depth;
            if (t == "]" || t == "}") --depth;
        }
    }

    // ---- nodes
    NodeValue node(const Affine &m) {
        std::string_view t = next();
        if (t == "USE") {
            const std::string name(next());
            const auto it = defs_.find(name);
            if (it == defs_.end()) {
                error("USE of " + name + " before its DEF");
                return {};
            }
            const std::size_t resume = pos_;
            pos_ = it->second;
            NodeValue v = node(m);
            pos_ = resume;
            return v;
        }
        if (t == "DEF") {
            const std::string name(next());
            defs_[name] = pos_;
            t = next();
        }
        if (t == "NULL") return {};
        NodeValue v;
        v.type = std::string(t);
        expect("{");
        if (v.type == "Transform") {
            transform(m);
        } else if (v.type == "Group") {
            fields([&](std::string_view f) {
                if (f != "children") return false;
                children(m);
                return true;
            });
        } else if (v.type == "Shape") {
            shape(m);
        } else if (v.type == "DirectionalLight" || v.type == "PointLight" ||
                   v.type == "SpotLight") {
            ++out_.lights[v.type];
            const bool directional = v.type == "DirectionalLight";
            PointLight light;
            double intensity = 1, ambient = 0;
            fields([&](std::string_view f) {
                if (f == "intensity" || f == "ambientIntensity")
                    (f == "intensity" ? intensity : ambient) = number();
                else if (f == "on")
                    light.on = boolean();
                else if (directional)
                    return false;
                else if (f == "location")
                    light.location = m.apply(vec3());
                else if (f == "attenuation")
                    light.attenuation = vec3();
                else if (f == "radius")
                    light.radius = number();
                else
                    return false;
                return true;
            });
            if (light.on) out_.light_intensity += intensity + ambient;
            if (!directional) out_.point_lights.push_back(light);
        } else if (v.type == "Viewpoint") {
            viewpoint();
        } else {
            fields([&](std::string_view f) { return leafField(v, f, m); });
        }
        return v;
    }

    template <class Known>
    void fields(Known known) {
        for (;;) {
            const std::string_view f = next();
            if (f == "}" || failed_) return;
            if (f.empty()) return error("a node runs to the end");
            if (!known(f)) skipValue();
        }
    }

    bool leafField(NodeValue &v, std::string_view f, const Affine &m) {
        if (v.type == "Material" && (f == "diffuseColor" || f == "emissiveColor")) {
            const Vec3 c = vec3();
            (f == "diffuseColor" ? v.diffuse : v.emissive) =
                Rgb{float(c[0]), float(c[1]), float(c[2])};
        } else if (v.type == "Appearance" && f == "material") {
            const NodeValue material = node(m);
            v.diffuse = material.diffuse;
            v.emissive = material.emissive;
        } else if (v.type == "Appearance" && f == "texture") {
            v.image = node(m).image;
        } else if (v.type == "PixelTexture" && (f == "image" || f == "repeatS" || f == "repeatT")) {
            if (!v.image) v.image.emplace();
            if (f == "image")
                image(*v.image);
            else
                (f == "repeatS" ? v.image->repeat_s : v.image->repeat_t) = boolean();
        } else if ((v.type == "Coordinate" && f == "point") ||
                   (v.type == "TextureCoordinate" && f == "point") ||
                   (v.type == "Color" && f == "color")) {
            v.numbers = numbers(v.type == "TextureCoordinate" ? 2 : 3);
        } else if (v.type == "IndexedFaceSet" || v.type == "IndexedLineSet" ||
                   v.type == "PointSet") {
            if (!v.geometry) v.geometry.emplace().type = v.type;
            Geometry &g = *v.geometry;
            if (f == "coord" || f == "color" || f == "texCoord")
                (f == "coord"   ? g.coords
                 : f == "color" ? g.colors
                                : g.tex_coords) = node(m).numbers;
            else if (f == "coordIndex" || f == "colorIndex" || f == "texCoordIndex")
                (f == "coordIndex"   ? g.coord_index
                 : f == "colorIndex" ? g.color_index
                                     : g.tex_coord_index) = integers();
            else if (f == "colorPerVertex" || f == "solid")
                (f == "solid" ? g.solid : g.color_per_vertex) = boolean();
            else
                return false;
        } else {
            return false;
        }
        return true;
    }

    void children(const Affine &m) {
        if (peek() != "[") {
            node(m);
            return;
        }
        next();
        while (!failed_ && peek() != "]") {
            if (peek().empty()) return error("children run to the end");
            node(m);
        }
        next();
    }

    // The fields may come in any order, so the children are read once the matrix is known.
    void transform(const Affine &m) {
        Vec3 translation{0, 0, 0}, scale{1, 1, 1}, center{0, 0, 0};
        std::array<double, 4> rotation{0, 0, 1, 0}, scaleOrientation{0, 0, 1, 0};
        std::optional<std::size_t> childrenAt;
        fields([&](std::string_view f) {
            if (f == "translation" || f == "scale" || f == "center") {
                (f == "scale" ? scale : f == "center" ? center : translation) = vec3();
            } else if (f == "rotation" || f == "scaleOrientation") {
                (f == "rotation" ? rotation : scaleOrientation) = axisAngle();
            } else if (f == "children") {
                childrenAt = pos_;
                skipValue();
            } else {
                return false;
            }
            return true;
        });
        if (!childrenAt || failed_) return;
        const auto &so = scaleOrientation;
        const Affine local = Affine::move(translation) * Affine::move(center) *
                             Affine::rotation(rotation) * Affine::rotation(so) *
                             Affine::move({0, 0, 0}, scale) *
                             Affine::rotation({so[0], so[1], so[2], -so[3]}) *
                             Affine::move({-center[0], -center[1], -center[2]});
        const std::size_t resume = pos_;
        pos_ = *childrenAt;
        children(m * local);
        pos_ = resume;
    }

    void viewpoint() {
        Viewpoint vp;
        fields([&](std::string_view f) {
            if (f == "position")
                vp.position = vec3();
            else if (f == "orientation")
                vp.orientation = axisAngle();
            else if (f == "fieldOfView")
                vp.field_of_view = number();
            else
                return false;
            return true;
        });
        out_.viewpoints.push_back(vp);
    }

    void shape(const Affine &m) {
        NodeValue look;  // the appearance
        std::optional<Geometry> geometry;
        fields([&](std::string_view f) {
            if (f == "appearance")
                look = node(m);
            else if (f == "geometry")
                geometry = node(m).geometry;
            else
                return false;
            return true;
        });
        ++out_.shapes;
        if (geometry && !failed_) measure(*geometry, look, m);
    }

    // ---- what the shape shows
    std::optional<Vec3> triple(const std::vector<double> &v, long i, const char *what,
                               const char *list) {
        if (i >= 0 && std::size_t(3 * i + 2) < v.size())
            return Vec3{v[std::size_t(3 * i)], v[std::size_t(3 * i + 1)],
                        v[std::size_t(3 * i + 2)]};
        error(what + (" " + std::to_string(i)) + " beyond the " + list);
        return std::nullopt;
    }
    std::optional<Vec3> point(const std::vector<double> &coords, long i, const Affine &m) {
        const std::optional<Vec3> p = triple(coords, i, "index", "points");
        return p ? m.apply(*p) : p;
    }
    Rgb color(const std::vector<double> &colors, long i) {
        const Vec3 c = triple(colors, i, "colour", "colours").value_or(Vec3{0, 0, 0});
        return {float(c[0]), float(c[1]), float(c[2])};
    }
    long at(const std::vector<long> &v, std::size_t i) {
        if (i < v.size()) return v[i];
        error("an index list shorter than its faces");
        return 0;
    }
    // The entry of `list` for position k of coordIndex, or the coordinate index there.
    long cornerIndex(const std::vector<long> &list, const Geometry &g, std::size_t k) {
        return list.empty() ? g.coord_index[k] : at(list, k);
    }
    // The colour at position k of coordIndex, in face or polyline `face`.
    Rgb colorAt(const Geometry &g, std::size_t face, std::size_t k) {
        if (g.color_per_vertex) return color(g.colors, cornerIndex(g.color_index, g, k));
        return color(g.colors, g.color_index.empty() ? long(face) : at(g.color_index, face));
    }

    void measure(const Geometry &g, const NodeValue &look, const Affine &m) {
        if (g.coords.size() % 3 != 0 || g.colors.size() % 3 != 0 || g.tex_coords.size() % 2 != 0)
            return error(g.type + " with numbers not in threes (pairs for texture coordinates)");
        if (look.image && look.image->pixels.size() !=
                              std::size_t(look.image->width) * std::size_t(look.image->height))
            return error("PixelTexture with too few pixels");
        if (g.type == "PointSet") {
            for (std::size_t i = 0; i < g.coords.size() / 3; ++i)
                out_.box.add(*point(g.coords, static_cast<long>(i), m));
            out_.points += g.coords.size() / 3;
            return;
        }
        std::size_t face = 0, corner = 0;  // corner: position in coordIndex
        std::vector<long> indices;
        for (std::size_t k = 0; k <= g.coord_index.size() && !failed_; ++k) {
            if (k < g.coord_index.size() && g.coord_index[k] != -1) {
                indices.push_back(g.coord_index[k]);
                continue;
            }
            if (!indices.empty()) {
                if (g.type == "IndexedLineSet")
                    polyline(indices, g, look.emissive.value_or(Rgb{0, 0, 0}), m, face, corner);
                else
                    polygon(indices, g, look, m, face, corner);
                ++face;
            }
            corner = k + 1;
            indices.clear();
        }
    }

    void polyline(const std::vector<long> &indices, const Geometry &g, const Rgb &emissive,
                  const Affine &m, std::size_t line, std::size_t corner) {
        ++out_.polylines;
        std::optional<Vec3> last;
        Rgb lastColor{};
        for (std::size_t i = 0; i < indices.size() && !failed_; ++i) {
            const std::optional<Vec3> p = point(g.coords, indices[i], m);
            if (!p) return;
            const Rgb c = g.colors.empty() ? emissive : colorAt(g, line, corner + i);
            out_.box.add(*p);
            if (last) {
                const double length = norm(*p - *last);
                out_.line_length += length;
                out_.length_by_color[{(c[0] + lastColor[0]) / 2, (c[1] + lastColor[1]) / 2,
                                      (c[2] + lastColor[2]) / 2}] += length;
            }
            last = p;
            lastColor = c;
        }
    }

    // The area of a flat polygon is half the length of its vector area, whatever its shape;
    // a corner turning against that vector makes it concave.
    void polygon(const std::vector<long> &indices, const Geometry &g, const NodeValue &look,
                 const Affine &m, std::size_t face, std::size_t corner) {
        const std::size_t n = indices.size();
        if (n < 3) return;
        std::vector<Vec3> p;
        for (const long i : indices) {
            const std::optional<Vec3> q = point(g.coords, i, m);
            if (!q) return;
            p.push_back(*q);
            out_.box.add(*q);
        }
        Vec3 vectorArea{0, 0, 0};
        for (std::size_t i = 0; i < n; ++i) {
            const Vec3 c = cross(p[i], p[(i + 1) % n]);
            for (int k = 0; k < 3; ++k) vectorArea[k] += c[k] / 2;
        }
        bool concave = false;
        for (std::size_t i = 0; i < n && n > 3; ++i) {
            const Vec3 turn = cross(p[i] - p[(i + n - 1) % n], p[(i + 1) % n] - p[i]);
            concave |= dot(turn, vectorArea) < -1e-12 * dot(vectorArea, vectorArea);
        }
        const double area = norm(vectorArea);
        ++out_.faces;
        out_.triangles += n - 2;
        out_.concave_faces += concave;
        out_.area += area;
        if (!g.solid) out_.two_sided_area += area;

        if (look.image && !look.image->pixels.empty() && !g.tex_coords.empty()) {
            double s = 0, t = 0;
            for (std::size_t i = 0; i < n; ++i) {
                const long k = cornerIndex(g.tex_coord_index, g, corner + i);
                if (k < 0 || std::size_t(2 * k + 1) >= g.tex_coords.size())
                    return error("texture coordinate " + std::to_string(k) + " beyond the list");
                s += g.tex_coords[std::size_t(2 * k)] / double(n);
                t += g.tex_coords[std::size_t(2 * k + 1)] / double(n);
            }
            out_.area_by_texel[look.image->texel(s, t)] += area;
        }
        Rgb shown = look.diffuse.value_or(Rgb{0.8f, 0.8f, 0.8f});
        if (!g.colors.empty() && !g.color_per_vertex) {
            shown = colorAt(g, face, corner);
        } else if (!g.colors.empty()) {
            Vec3 sum{0, 0, 0};
            for (std::size_t i = 0; i < n; ++i) {
                const Rgb c = colorAt(g, face, corner + i);
                for (int k = 0; k < 3; ++k) sum[k] += c[k];
            }
            shown = {float(sum[0] / n), float(sum[1] / n), float(sum[2] / n)};
        }
        out_.area_by_color[shown] += area;
    }

    std::string_view text_;
    Measure &out_;
    std::size_t pos_ = 0;
    bool failed_ = false;
    std::unordered_map<std::string, std::size_t> defs_;  // name -> where its node's type begins
};

}  // namespace

Measure measure_vrml(std::string_view world) {
    Measure m;
    Reader(world, m).world();
    return m;
}

}  // namespace tarvex::measure
