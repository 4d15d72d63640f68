#include "gltf_measure.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>

namespace tarvex::measure {

namespace {

using Json = nlohmann::json;
using Matrix = std::array<double, 16>;  // column-major, as glTF writes it

Matrix multiply(const Matrix &a, const Matrix &b) {
    Matrix r{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k) r[col * 4 + row] += a[k * 4 + row] * b[col * 4 + k];
    return r;
}

Matrix localMatrix(const Json &node) {
    const auto field = [&](const char *name, int n, Matrix value) {
        if (node.contains(name))
            for (int i = 0; i < n; ++i) value[i] = node[name][i].get<double>();
        return value;
    };
    Matrix m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (node.contains("matrix")) return field("matrix", 16, m);
    const auto t = field("translation", 3, {}), q = field("rotation", 4, {0, 0, 0, 1}),
               s = field("scale", 3, {1, 1, 1});
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                            {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                            {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 3; ++row) m[col * 4 + row] = r[row][col] * s[col];
    for (int row = 0; row < 3; ++row) m[12 + row] = t[row];
    return m;
}

Vec3 apply(const Matrix &m, const float *p) {
    Vec3 r;
    for (int row = 0; row < 3; ++row)
        r[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
    return r;
}

std::uint32_t u32(std::string_view bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(bytes[at + k]);
    return v;
}

std::string fromBase64(std::string_view text) {
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    constexpr std::string_view kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (const char c : text) {
        const std::size_t v = kDigits.find(c);
        if (v == std::string_view::npos) break;
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        if ((count += 6) >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xff));
        }
    }
    return out;
}

class Reader {
  public:
    explicit Reader(GltfMeasure &m) : m_(m) {}

    void run(std::string_view bytes) {
        std::string_view json = bytes;
        if (bytes.size() >= 12 && bytes.substr(0, 4) == "glTF") {
            if (u32(bytes, 8) != bytes.size()) return fail("glb length does not match");
            const std::uint32_t jsonLength = u32(bytes, 12);
            json = bytes.substr(20, jsonLength);
            const std::size_t binAt = 20 + jsonLength;
            if (binAt + 8 <= bytes.size())
                bin_ = std::string(bytes.substr(binAt + 8, u32(bytes, binAt)));
        }
        doc_ = Json::parse(json, nullptr, false);
        if (doc_.is_discarded()) return fail("JSON does not parse");
        if (doc_.contains("buffers") && doc_["buffers"][0].contains("uri")) {
            const std::string uri = doc_["buffers"][0]["uri"];
            bin_ = fromBase64(std::string_view(uri).substr(uri.find(',') + 1));
        }
        m_.meshes = doc_.contains("meshes") ? doc_["meshes"].size() : 0;
        m_.cameras = doc_.contains("cameras") ? doc_["cameras"].size() : 0;
        if (doc_.contains("extensions") && doc_["extensions"].contains("KHR_lights_punctual"))
            m_.lights = doc_["extensions"]["KHR_lights_punctual"]["lights"].size();
        const Json &scene = doc_["scenes"][doc_.value("scene", 0)];
        if (!scene.contains("nodes")) return;
        const Matrix identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        for (const Json &root : scene["nodes"]) node(root.get<std::size_t>(), identity, 0);
    }

  private:
    void fail(std::string what) { m_.errors.push_back(std::move(what)); }

    // The values of an accessor, `components` a vertex, of glTF's component `type` (5126 for
    // float, 5125 for uint32).
    template <class T>
    std::vector<T> values(std::size_t index, int components, int type) {
        const Json &a = doc_["accessors"][index];
        const Json &view = doc_["bufferViews"][a["bufferView"].get<std::size_t>()];
        const std::size_t count = a["count"];
        const std::size_t offset = view.value("byteOffset", 0) + a.value("byteOffset", 0);
        std::vector<T> out(count * static_cast<std::size_t>(components));
        if (a["componentType"] != type || offset + out.size() * sizeof(T) > bin_.size()) {
            fail("accessor " + std::to_string(index) + " not of type " + std::to_string(type) +
                 " inside the buffer");
            return {};
        }
        std::memcpy(out.data(), bin_.data() + offset, out.size() * sizeof(T));
        return out;
    }

    void node(std::size_t index, const Matrix &parent, int depth) {
        if (depth > 1000) return fail("nodes nested past 1000 levels");
        const Json &n = doc_["nodes"][index];
        const Matrix world = multiply(parent, localMatrix(n));
        if (n.contains("mesh")) mesh(n["mesh"].get<std::size_t>(), world);
        if (n.contains("children"))
            for (const Json &child : n["children"])
                node(child.get<std::size_t>(), world, depth + 1);
    }

    void mesh(std::size_t index, const Matrix &world) {
        ++m_.placed_meshes;
        for (const Json &p : doc_["meshes"][index]["primitives"]) {
            const std::vector<float> positions =
                values<float>(p["attributes"]["POSITION"], 3, 5126);
            const std::size_t vertices = positions.size() / 3;
            std::vector<Vec3> placed(vertices);
            for (std::size_t i = 0; i < vertices; ++i) {
                placed[i] = apply(world, &positions[i * 3]);
                m_.box.add(placed[i]);
            }
            std::vector<std::uint32_t> order;
            if (p.contains("indices"))
                order = values<std::uint32_t>(p["indices"], 1, 5125);
            else
                for (std::uint32_t i = 0; i < vertices; ++i) order.push_back(i);
            for (const std::uint32_t i : order)
                if (i >= vertices) return fail("index past the vertices");
            const int mode = p.value("mode", 4);
            if (mode == 4) {
                for (std::size_t i = 0; i + 2 < order.size(); i += 3) {
                    const Vec3 &a = placed[order[i]];
                    const Vec3 u = placed[order[i + 1]] - a, v = placed[order[i + 2]] - a;
                    m_.area += norm(cross(u, v)) / 2;
                    ++m_.triangles;
                }
            } else if (mode == 1) {
                for (std::size_t i = 0; i + 1 < order.size(); i += 2)
                    m_.line_length += norm(placed[order[i]] - placed[order[i + 1]]);
            } else if (mode == 0) {
                m_.points += order.size();
            } else {
                fail("primitive mode " + std::to_string(mode) + " not read");
            }
        }
    }

    GltfMeasure &m_;
    Json doc_;
    std::string bin_;
};

}  // namespace

GltfMeasure measure_gltf(std::string_view bytes) {
    GltfMeasure m;
    try {
        Reader(m).run(bytes);
    } catch (const std::exception &e) {
        m.errors.push_back(std::string("malformed: ") + e.what());
    }
    return m;
}

}  // namespace tarvex::measure
