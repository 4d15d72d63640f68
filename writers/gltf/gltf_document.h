// The parts of a glTF asset that do not depend on where things stand: the binary buffer, its
// accessors, and the meshes, materials and textures made from the scene's shapes. The node
// walk (gltf_writer.cpp) places them.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "writers/gltf/gltf_writer.h"

namespace tarvex::gltf {

// A float as the shortest decimal that reads back to it, so that 0.8f is written as 0.8.
double json_number(float value, WriteReport &report);

class Document {
  public:
    Document(const scene::Scene &scene, WriteReport &report);

    // The glTF mesh for scene shape `shape`, made once however often it is placed; -1 when the
    // shape holds nothing glTF can draw. `box` receives its points' bounds in its own space.
    int mesh(std::uint32_t shape, float box[2][3]);

    nlohmann::json &json() { return json_; }
    // The asset in its container: a .glb, or .gltf JSON with the buffer as a data URI.
    std::string finish(Container container);

  private:
    int bufferView(const void *data, std::size_t bytes, int target);
    int floatAccessor(std::span<const float> values, int components, bool bounds);
    int indexAccessor(std::span<const std::uint32_t> indices);
    int material(const scene::Shape &shape, bool hasColors, bool textured, bool unlit);
    int texture(std::uint32_t index);

    const scene::Scene &scene_;
    WriteReport &report_;
    nlohmann::json json_;
    std::vector<std::uint8_t> bin_;
    std::vector<int> meshOfShape_;                  // -2: not made yet
    std::vector<std::array<float, 6>> boxOfShape_;  // min xyz, max xyz of each made mesh
    std::vector<int> textureOfImage_;               // -2: not made yet, -1: not encodable
    std::vector<float> scratch_;                    // reused across meshes
    std::map<std::string, int> materials_;  // by their JSON text: equal materials are shared
    std::map<int, int> samplers_;           // by wrap modes
};

}  // namespace tarvex::gltf
