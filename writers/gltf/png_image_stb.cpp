// The PNG encoder of builds without libpng (WebAssembly): stb's, whose deflate is its own. Its
// bytes differ from libpng's; the pictures are the same.
#include <climits>
#include <cstdlib>

#include "writers/gltf/png_image.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace tarvex::gltf {

std::vector<std::uint8_t> encode_png(const scene::Texture &texture) {
    const std::uint32_t components = texture.components;
    const std::uint64_t rowBytes = std::uint64_t{texture.width} * components;
    // stb counts in int, and its filtered copy of the image needs as much room again.
    if (components < 1 || components > 4 || texture.width == 0 || texture.height == 0 ||
        rowBytes * texture.height > INT_MAX / 2 ||
        texture.pixels.size() < rowBytes * texture.height) {
        return {};
    }
    // From the last row up, by a negative stride: the scene keeps the bottom row first.
    const std::uint8_t *top = texture.pixels.data() + (texture.height - 1) * rowBytes;
    int length = 0;
    unsigned char *png = stbi_write_png_to_mem(
        top, -static_cast<int>(rowBytes), static_cast<int>(texture.width),
        static_cast<int>(texture.height), static_cast<int>(components), &length);
    if (png == nullptr) return {};
    std::vector<std::uint8_t> bytes(png, png + length);
    std::free(png);
    return bytes;
}

}  // namespace tarvex::gltf
