#include "bench/reference_converter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/orient.h"

namespace tarvex::bench {
namespace {

struct Mesh {
    std::string name;
    float color[3] = {0.8f, 0.8f, 0.8f};
    std::vector<int> triangles;
    std::vector<float> points;
};
struct Camera {
    std::string name;
    float position[3];
    float orientation[4];
};
struct Light {
    std::string name;
    float direction[3];
    float intensity = 1;
    float color[3] = {1, 1, 1};
};
struct Scene {
    std::vector<Mesh> meshes;
    std::vector<Camera> cameras;
    std::vector<Light> lights;
};

enum State {
    scanning,
    meshHeader,
    triangles,
    points,
    toColor,
    color,
    camera,
    light,
    toLight,
    lightData
};

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool readScene(std::FILE *in, Scene &scene) {
    static char line[1 << 16];
    State state = scanning;
    int count = 0, header[7] = {};
    double placement[9];
    std::string label;
    while (std::fgets(line, sizeof line, in)) {
        for (char *token = std::strtok(line, " \t\r\n"); token;
             token = std::strtok(nullptr, " \t\r\n")) {
            const std::size_t length = std::strlen(token);
            if ((state == scanning || state == toColor) && token[length - 1] == ':') {
                label.assign(token, length - 1);
                continue;
            }
            switch (state) {
                case scanning:
                    if (!std::strcmp(token, "TriMesh")) state = meshHeader;
                    if (!std::strcmp(token, "CameraPlacement")) state = camera;
                    if (!std::strcmp(token, "DirectionalLight")) state = light;
                    count = 0;
                    break;
                case meshHeader:
                    if (count > 0)
                        header[count] = static_cast<int>(std::strtol(token, nullptr, 10));
                    if (++count == 7) {
                        scene.meshes.push_back({label, {0.8f, 0.8f, 0.8f}, {}, {}});
                        label.clear();
                        state = triangles;
                        count = 0;
                    }
                    break;
                case triangles:
                    scene.meshes.back().triangles.push_back(
                        static_cast<int>(std::strtol(token, nullptr, 10)));
                    if (++count == 3 * header[1]) state = points, count = 0;
                    break;
                case points:
                    scene.meshes.back().points.push_back(std::strtof(token, nullptr));
                    if (++count == 3 * header[5]) state = toColor;
                    break;
                case toColor:
                    if (!std::strcmp(token, "DiffuseColor")) state = color, count = 0;
                    break;
                case color:
                    if (count > 0)
                        scene.meshes.back().color[count - 1] = std::strtof(token, nullptr);
                    if (++count == 4) state = scanning;
                    break;
                case camera:
                    if (count > 0) placement[count - 1] = std::strtod(token, nullptr);
                    if (++count == 10) {
                        _Vector pos{placement[0], placement[1], placement[2]};
                        _Vector at{placement[3], placement[4], placement[5]};
                        _Vector up{placement[6], placement[7], placement[8]};
                        _Vector axis;
                        double angle = 0;
                        Convert_Camera_Model(pos, at, up, axis, angle);
                        scene.cameras.push_back(
                            {label,
                             {float(pos.x), float(pos.y), float(pos.z)},
                             {float(axis.x), float(axis.y), float(axis.z), float(angle)}});
                        label.clear();
                        state = scanning;
                    }
                    break;
                case light:
                    if (count == 0) scene.lights.push_back({label, {}, 1, {1, 1, 1}});
                    if (count > 0)
                        scene.lights.back().direction[count - 1] = std::strtof(token, nullptr);
                    if (++count == 4) label.clear(), state = toLight;
                    break;
                case toLight:
                    if (!std::strcmp(token, "Light")) state = lightData, count = 0;
                    break;
                case lightData:
                    if (count == 2) scene.lights.back().intensity = std::strtof(token, nullptr);
                    if (count > 2)
                        scene.lights.back().color[count - 3] = std::strtof(token, nullptr);
                    if (++count == 6) state = scanning;
                    break;
            }
        }
    }
    return !std::ferror(in);
}

void writeScene(std::FILE *out, const Scene &scene) {
    std::fprintf(out, "#VRML V2.0 utf8\nNavigationInfo {\n  type [ \"WALK\" \"ANY\" ]\n%s}\n",
                 scene.lights.empty() ? "" : "  headlight FALSE\n");
    for (const Camera &c : scene.cameras) {
        std::fprintf(out,
                     "DEF %s Viewpoint{\n  position %f %f %f\n  orientation %f %f %f %f\n"
                     "  description \"%s\"\n}\n",
                     c.name.c_str(), c.position[0], c.position[1], c.position[2], c.orientation[0],
                     c.orientation[1], c.orientation[2], c.orientation[3], c.name.c_str());
    }
    std::fprintf(out, "Transform {\n  children [\n");
    for (const Light &l : scene.lights) {
        std::fprintf(out,
                     "    DEF %s DirectionalLight {\n      color %f %f %f\n      intensity %f\n"
                     "      ambientIntensity %f\n      direction %f %f %f\n    }\n",
                     l.name.c_str(), l.color[0], l.color[1], l.color[2], l.intensity, 0.0,
                     l.direction[0], l.direction[1], l.direction[2]);
    }
    for (const Mesh &m : scene.meshes) {
        std::fprintf(out,
                     "    DEF %s Shape {\n      appearance Appearance {\n        material "
                     "Material {\n          diffuseColor %f %f %f\n        }\n      }\n"
                     "      geometry IndexedFaceSet {\n        coord Coordinate {\n"
                     "          point [\n",
                     m.name.c_str(), m.color[0], m.color[1], m.color[2]);
        for (std::size_t i = 0; i < m.points.size(); i += 3) {
            std::fprintf(out, "            %f %f %f\n", m.points[i], m.points[i + 1],
                         m.points[i + 2]);
        }
        std::fprintf(out, "          ]\n        }\n        coordIndex [\n");
        for (std::size_t i = 0; i < m.triangles.size(); i += 3) {
            std::fprintf(out, "          %d %d %d -1\n", m.triangles[i], m.triangles[i + 1],
                         m.triangles[i + 2]);
        }
        std::fprintf(out, "        ]\n      }\n    }\n");
    }
    std::fprintf(out, "  ]\n}\n");
}

}  // namespace

bool reference_convert(const std::string &inputPath, const std::string &outputPath) {
    Scene scene;
    {
        const File in(std::fopen(inputPath.c_str(), "r"));
        if (!in || !readScene(in.get(), scene)) return false;
    }
    File out(std::fopen(outputPath.c_str(), "w"));
    if (!out) return false;
    writeScene(out.get(), scene);
    return !std::ferror(out.get()) && std::fclose(out.release()) == 0;
}

}  // namespace tarvex::bench
