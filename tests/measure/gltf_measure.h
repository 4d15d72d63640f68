// What a glTF client would place in the world from a .glb or .gltf: read with its own small
// reader (nlohmann::json for the text, its own node arithmetic), so that it checks the writer
// without sharing its code, and reports in the VRML measure's terms to compare the two outputs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "vrml_measure.h"

namespace tarvex::measure {

struct GltfMeasure {
    std::size_t meshes = 0;         // the asset's mesh list
    std::size_t placed_meshes = 0;  // nodes drawing a mesh, once per placement
    std::size_t triangles = 0;
    std::size_t points = 0;
    double area = 0;
    double line_length = 0;
    Box box;
    std::size_t cameras = 0, lights = 0;
    std::vector<std::string> errors;  // what could not be read
};

// `bytes`: a whole .glb, or .gltf text whose buffers are data URIs.
GltfMeasure measure_gltf(std::string_view bytes);

}  // namespace tarvex::measure
