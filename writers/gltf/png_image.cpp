#include "writers/gltf/png_image.h"

#include <png.h>

#include <csetjmp>
#include <exception>

namespace tarvex::gltf {

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto *out = static_cast<std::vector<std::uint8_t> *>(png_get_io_ptr(png));
    try {
        out->insert(out->end(), data, data + length);
    } catch (const std::exception &) {  // an exception must not cross libpng's C frames
        png_error(png, "out of memory");
    }
}

void noFlush(png_structp) {}

// libpng reports errors by longjmp; failing quietly here turns them into an empty result.
void onError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

}  // namespace

std::vector<std::uint8_t> encode_png(const scene::Texture &texture) {
    static constexpr int kColorType[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                         PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    const std::uint32_t components = texture.components;
    const std::uint64_t rowBytes = std::uint64_t{texture.width} * components;
    if (components < 1 || components > 4 || texture.width == 0 || texture.height == 0 ||
        texture.width > PNG_UINT_31_MAX || texture.height > PNG_UINT_31_MAX ||
        texture.pixels.size() < rowBytes * texture.height) {
        return {};
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png) return {};
    png_infop info = png_create_info_struct(png);
    // Kept outside the setjmp scope so that a longjmp cannot leave it half-built.
    std::vector<std::uint8_t> *volatile result = new std::vector<std::uint8_t>;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        delete result;
        return {};
    }
    png_set_write_fn(png, result, appendBytes, noFlush);
    png_set_IHDR(png, info, texture.width, texture.height, 8, kColorType[components - 1],
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::uint8_t *pixels = texture.pixels.data();
    for (std::uint32_t row = texture.height; row-- > 0;) {
        png_write_row(png, pixels + row * rowBytes);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::vector<std::uint8_t> bytes = std::move(*result);
    delete result;
    return bytes;
}

}  // namespace tarvex::gltf
