// The parts of a glTF asset that do not depend on where things stand: the binary buffer, its
// accessors, and the meshes, materials and textures made from the scene's shapes; and the
// nodes the walk (gltf_writer.cpp) places them with. Each is held as a small record, not as a
// JSON tree, and written out as JSON only at the end, straight to the output.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scene/scene.h"
#include "writers/gltf/gltf_writer.h"
#include "writers/gltf/json_out.h"

namespace tarvex::gltf {

// A float as the shortest decimal that reads back to it, so that 0.8f is written as 0.8.
double json_number(float value, WriteReport &report);

// A glTF node. Its numbers are kept as the floats they are written from; children are found
// from each node's parent when the nodes are written.
struct NodeRecord {
    int parent = -1;  // -1: a root, or a node whose parent is named otherwise
    int mesh = -1, camera = -1, light = -1;
    std::string_view name;  // the scene's interned name, or a camera's own
    float translation[3] = {0, 0, 0}, rotation[4] = {0, 0, 0, 1}, scale[3] = {1, 1, 1};
    bool has_translation = false, has_rotation = false, has_scale = false;
};

class Document {
  public:
    Document(const scene::Scene &scene, WriteReport &report);

    // The glTF mesh for scene shape `shape`, made once however often it is placed; -1 when the
    // shape holds nothing glTF can draw. `box` receives its points' bounds in its own space.
    int mesh(std::uint32_t shape, float box[2][3]);

    std::vector<NodeRecord> nodes;
    std::vector<int> roots;
    nlohmann::json cameras = nlohmann::json::array();
    nlohmann::json lights = nlohmann::json::array();
    nlohmann::json scene_extras = nlohmann::json::object();  // of the one scene

    // The asset in its container: a .glb, or .gltf JSON with the buffer as a data URI.
    // Written to `sink` a block at a time. Throws std::length_error past 4 GiB of .glb.
    void finish(Container container, const JsonOut::Sink &sink);

  private:
    struct View {
        std::uint64_t offset, length;
        int target;
    };
    struct Accessor {
        int view, component_type, components;
        std::uint64_t count;
        bool bounds;
        float low[4], high[4];
    };
    struct Mesh {
        int position, normal = -1, tex_coord = -1, color = -1, indices = -1, mode, material;
    };
    struct TextureRecord {
        int source, sampler;
    };

    int bufferView(const void *data, std::size_t bytes, int target);
    int floatAccessor(std::span<const float> values, int components, bool bounds);
    int indexAccessor(std::span<const std::uint32_t> indices);
    int material(const scene::Shape &shape, bool hasColors, bool textured, bool unlit);
    int texture(std::uint32_t index);
    void writeJson(JsonOut &out, Container container);
    void writeNodes(JsonOut &out);

    const scene::Scene &scene_;
    WriteReport &report_;
    std::vector<std::uint8_t> bin_;
    std::vector<View> views_;
    std::vector<Accessor> accessors_;
    std::vector<Mesh> meshes_;
    std::vector<int> images_;  // their buffer views
    std::vector<TextureRecord> textures_;
    std::vector<int> samplerWraps_;                 // by index: bit 0 repeat s, bit 1 repeat t
    std::vector<int> meshOfShape_;                  // -2: not made yet
    std::vector<std::array<float, 6>> boxOfShape_;  // min xyz, max xyz of each made mesh
    std::vector<int> textureOfImage_;               // -2: not made yet, -1: not encodable
    std::vector<float> scratch_;                    // reused across meshes
    // Materials as their compact JSON text: equal ones are shared.
    std::deque<std::string> materials_;
    std::unordered_map<std::string_view, int> materialIndex_;
    std::vector<std::string> extensions_;  // used by the materials, in order of first use
    std::map<int, int> samplers_;          // by wrap modes
};

}  // namespace tarvex::gltf
