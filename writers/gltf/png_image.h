// A scene texture as PNG bytes, the one image format every glTF reader takes.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/scene.h"

namespace tarvex::gltf {

// The texture's pixels, top row first as PNG wants them (the scene keeps VRML's bottom row
// first). Empty when the texture's pixels fall short of its size or encoding fails.
std::vector<std::uint8_t> encode_png(const scene::Texture &texture);

}  // namespace tarvex::gltf
