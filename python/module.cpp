// The Python module's native part, tarvex._tarvex: the library's conversions and scene reading.
// tarvex/__init__.py turns results into exceptions and warnings and the scene into objects.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <string>
#include <vector>

#include "tarvex/tarvex.h"

namespace py = pybind11;

namespace {

const char *statusName(tarvex::Status status) {
    switch (status) {
        case tarvex::Status::ok:
            return "ok";
        case tarvex::Status::incomplete:
            return "incomplete";
        case tarvex::Status::cant_open:
            return "cant_open";
        case tarvex::Status::not_3dmf:
            return "not_3dmf";
        case tarvex::Status::write_failed:
            return "write_failed";
        case tarvex::Status::format_unavailable:
            return "format_unavailable";
        case tarvex::Status::out_of_memory:
            return "out_of_memory";
    }
    return "unknown";
}

py::tuple result(const tarvex::Result &r) {
    return py::make_tuple(statusName(r.status), r.message, r.warnings);
}

tarvex::Options options(const std::string &format, bool full, std::uint64_t maxOutput,
                        bool verbose) {
    tarvex::Options o;
    if (!tarvex::format_from_name(format, o.format))
        throw py::value_error("format must be vrml, x3d, gltf or glb, not \"" + format + "\"");
    o.mode = full ? tarvex::Mode::full : tarvex::Mode::default_mode;
    o.max_output = maxOutput;
    o.verbose = verbose;
    return o;
}

// `src` and `dst` are paths (str) or, for src, bytes; dst None: the output comes back as bytes.
py::tuple convert(const py::object &src, const py::object &dst, const std::string &format,
                  bool full, std::uint64_t maxOutput, bool verbose) {
    const tarvex::Options o = options(format, full, maxOutput, verbose);
    const bool fromBytes = py::isinstance<py::bytes>(src);
    const std::string input =
        fromBytes ? std::string(src.cast<py::bytes>()) : src.cast<std::string>();
    const bool toBytes = dst.is_none();
    const std::string path = toBytes ? std::string() : dst.cast<std::string>();
    tarvex::Result r;
    std::string output;
    {
        py::gil_scoped_release unlocked;
        if (toBytes) {
            r = fromBytes ? tarvex::convert_bytes(input, output, o)
                          : tarvex::convert_file(input, output, o);
        } else {
            r = fromBytes ? tarvex::convert_bytes_to_file(input, path, o)
                          : tarvex::convert_file_to_file(input, path, o);
        }
    }
    return py::make_tuple(result(r), toBytes ? py::object(py::bytes(output)) : py::none());
}

template <typename T>
py::array_t<T> rows(const std::vector<T> &values, py::ssize_t width) {
    py::array_t<T> a({py::ssize_t(values.size()) / width, width});
    if (!values.empty()) std::memcpy(a.mutable_data(), values.data(), values.size() * sizeof(T));
    return a;
}

py::object index(std::uint32_t i) {
    return i == tarvex::kNone ? py::none() : py::object(py::int_(i));
}

py::tuple triple(const float (&v)[3]) {
    return py::make_tuple(v[0], v[1], v[2]);
}

py::dict sceneDict(const tarvex::Scene &scene) {
    py::list nodes, meshes, materials, textures, cameras, lights;
    for (const tarvex::Node &n : scene.nodes) {
        py::array_t<float> m({4, 4});
        // Column-major in the library; row-major here, so that m @ p applies it.
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col) m.mutable_at(row, col) = n.transform.m[col * 4 + row];
        nodes.append(py::dict(py::arg("name") = n.name, py::arg("parent") = index(n.parent),
                              py::arg("children") = n.children, py::arg("transform") = m,
                              py::arg("mesh") = index(n.mesh)));
    }
    static const char *const primitives[] = {"triangles", "lines", "points"};
    for (const tarvex::Mesh &mesh : scene.meshes) {
        const int corners = mesh.primitive == tarvex::Primitive::triangles ? 3
                            : mesh.primitive == tarvex::Primitive::lines   ? 2
                                                                           : 1;
        meshes.append(py::dict(
            py::arg("primitive") = primitives[int(mesh.primitive)],
            py::arg("positions") = rows(mesh.positions, 3),
            py::arg("normals") = rows(mesh.normals, 3), py::arg("uvs") = rows(mesh.uvs, 2),
            py::arg("colors") = rows(mesh.colors, 3),
            py::arg("indices") = rows(mesh.indices, corners), py::arg("material") = mesh.material,
            py::arg("double_sided") = mesh.double_sided));
    }
    for (const tarvex::Material &m : scene.materials) {
        materials.append(py::dict(
            py::arg("diffuse") = triple(m.diffuse), py::arg("specular") = triple(m.specular),
            py::arg("emissive") = triple(m.emissive),
            py::arg("ambient_intensity") = m.ambient_intensity, py::arg("shininess") = m.shininess,
            py::arg("transparency") = m.transparency, py::arg("texture") = index(m.texture)));
    }
    for (const tarvex::Texture &t : scene.textures) {
        py::array_t<std::uint8_t> rgba(
            {py::ssize_t(t.height), py::ssize_t(t.width), py::ssize_t(4)});
        if (!t.rgba.empty()) std::memcpy(rgba.mutable_data(), t.rgba.data(), t.rgba.size());
        textures.append(py::dict(py::arg("width") = t.width, py::arg("height") = t.height,
                                 py::arg("rgba") = rgba, py::arg("repeat_s") = t.repeat_s,
                                 py::arg("repeat_t") = t.repeat_t));
    }
    for (const tarvex::Camera &c : scene.cameras) {
        cameras.append(
            py::dict(py::arg("name") = c.name, py::arg("position") = triple(c.position),
                     py::arg("orientation") = py::make_tuple(c.orientation[0], c.orientation[1],
                                                             c.orientation[2], c.orientation[3]),
                     py::arg("field_of_view") = c.field_of_view));
    }
    static const char *const kinds[] = {"ambient", "directional", "point", "spot"};
    for (const tarvex::Light &l : scene.lights) {
        lights.append(py::dict(
            py::arg("kind") = kinds[int(l.kind)], py::arg("name") = l.name, py::arg("on") = l.on,
            py::arg("intensity") = l.intensity, py::arg("color") = triple(l.color),
            py::arg("location") = triple(l.location), py::arg("direction") = triple(l.direction),
            py::arg("attenuation") = triple(l.attenuation), py::arg("beam_width") = l.beam_width,
            py::arg("cut_off_angle") = l.cut_off_angle, py::arg("radius") = l.radius));
    }
    return py::dict(py::arg("nodes") = nodes, py::arg("meshes") = meshes,
                    py::arg("materials") = materials, py::arg("textures") = textures,
                    py::arg("cameras") = cameras, py::arg("lights") = lights,
                    py::arg("background") =
                        scene.has_background ? py::object(triple(scene.background)) : py::none());
}

py::tuple readScene(const py::object &src, std::uint64_t maxOutput, bool verbose) {
    const tarvex::Options o = options("vrml", true, maxOutput, verbose);
    const bool fromBytes = py::isinstance<py::bytes>(src);
    const std::string input =
        fromBytes ? std::string(src.cast<py::bytes>()) : src.cast<std::string>();
    tarvex::Scene scene;
    tarvex::Result r;
    {
        py::gil_scoped_release unlocked;
        r = fromBytes ? tarvex::read_scene_bytes(input, scene, o)
                      : tarvex::read_scene_file(input, scene, o);
    }
    return py::make_tuple(result(r), sceneDict(scene));
}

}  // namespace

PYBIND11_MODULE(_tarvex, m) {
    m.doc() = "tarvex's converter library";
    m.def("convert", &convert, py::arg("src"), py::arg("dst"), py::arg("format"), py::arg("full"),
          py::arg("max_output"), py::arg("verbose"));
    m.def("read", &readScene, py::arg("src"), py::arg("max_output"), py::arg("verbose"));
    m.def("version", &tarvex::version);
}
