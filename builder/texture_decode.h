// Texture pieces of the scene builder: PixmapTexture images as VRML PixelTexture images, and
// ShaderUVTransform matrices as VRML TextureTransforms where one can say the same.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "scene/scene.h"

namespace tarvex::builder {

using namespace tarvex::scene;  // the builder speaks the model's vocabulary

enum class PixelType { RGB32 = 0, ARGB32 = 1, RGB16 = 2, ARGB16 = 3, RGB16_565 = 4, RGB24 = 5 };

struct Pixmap {  // a PixmapTexture's fields as read
    std::uint32_t width = 0, height = 0, row_bytes = 0, pixel_size = 0;
    PixelType type = PixelType::RGB32;
    bool little_endian = false;           // byteOrder: the order of the bytes of each pixel value
    std::span<const std::uint8_t> image;  // rows top first, row_bytes apart
};

// The image as a VRML PixelTexture: rows bottom first, 3 components, or 4 (alpha = opacity) for
// ARGB32 and ARGB16; 5- and 6-bit channels widened to 8 bits. nullopt, with `problem` saying
// why, when the fields do not describe an image the data holds (a zero size, a pixel size that
// does not fit the type, rows shorter than their pixels, fewer bytes than the rows need); the
// image is never read beyond `image`.
std::optional<Texture> decode_pixmap(const Pixmap &pixmap, std::string &problem);

// The pixel type named by a text enum word ("RGB32", "argb16", "RGB16_565"; any case), or by its
// number in binary files. nullopt when unknown.
std::optional<PixelType> pixel_type_from_word(std::string_view word);
std::optional<PixelType> pixel_type_from_number(std::uint32_t number);

// A ShaderUVTransform M (surface uv to texture uv as (u', v', w') = (u, v, 1) * M, translation in
// the third row) as a VRML TextureTransform that maps texture coordinates the same way under
// both readings browsers give VRML's formula (see texture_decode.cpp): M affine (after dividing
// by m[2][2]), invertible, and its linear part a rotation and a scale that commute (a uniform
// scale, mirroring included, or a rotation by 0 or pi). nullopt otherwise: the builder then bakes
// M into the texture coordinates, which every browser shows alike.
std::optional<TextureTransform> uv_transform_to_vrml(const float (&m)[3][3]);

}  // namespace tarvex::builder
