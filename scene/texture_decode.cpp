#include "scene/texture_decode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace tarvex::scene {
namespace {

struct Layout {
    std::uint32_t bytes;       // a pixel's bytes
    std::uint32_t components;  // in the VRML image
};

Layout layoutOf(PixelType type) {
    switch (type) {
        case PixelType::RGB32:
            return {4, 3};
        case PixelType::ARGB32:
            return {4, 4};
        case PixelType::RGB24:
            return {3, 3};
        case PixelType::RGB16:
        case PixelType::RGB16_565:
            return {2, 3};
        case PixelType::ARGB16:
            return {2, 4};
    }
    return {4, 3};
}

constexpr std::array<std::string_view, 6> kTypeWords = {"RGB32",  "ARGB32",    "RGB16",
                                                        "ARGB16", "RGB16_565", "RGB24"};

std::uint8_t widen5(std::uint32_t x) {
    return static_cast<std::uint8_t>(x << 3 | x >> 2);
}
std::uint8_t widen6(std::uint32_t x) {
    return static_cast<std::uint8_t>(x << 2 | x >> 4);
}

// One pixel to VRML components (R G B, then A where the type has alpha).
std::uint8_t *decodePixel(const std::uint8_t *p, PixelType type, bool little, std::uint8_t *out) {
    switch (type) {
        case PixelType::RGB24:
            if (little) {
                *out++ = p[2], *out++ = p[1], *out++ = p[0];
            } else {
                *out++ = p[0], *out++ = p[1], *out++ = p[2];
            }
            return out;
        case PixelType::RGB32:
        case PixelType::ARGB32: {
            const std::uint32_t v = little
                                        ? std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                              std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24
                                        : std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                                              std::uint32_t{p[2]} << 8 | std::uint32_t{p[3]};
            *out++ = static_cast<std::uint8_t>(v >> 16);
            *out++ = static_cast<std::uint8_t>(v >> 8);
            *out++ = static_cast<std::uint8_t>(v);
            if (type == PixelType::ARGB32) *out++ = static_cast<std::uint8_t>(v >> 24);
            return out;
        }
        case PixelType::RGB16:
        case PixelType::ARGB16:
        case PixelType::RGB16_565: {
            const std::uint32_t v = little ? std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8
                                           : std::uint32_t{p[0]} << 8 | std::uint32_t{p[1]};
            if (type == PixelType::RGB16_565) {
                *out++ = widen5(v >> 11 & 31);
                *out++ = widen6(v >> 5 & 63);
                *out++ = widen5(v & 31);
                return out;
            }
            *out++ = widen5(v >> 10 & 31);
            *out++ = widen5(v >> 5 & 31);
            *out++ = widen5(v & 31);
            if (type == PixelType::ARGB16) *out++ = (v & 0x8000) ? 255 : 0;
            return out;
        }
    }
    return out;
}

}  // namespace

std::optional<Texture> decode_pixmap(const Pixmap &pixmap, std::string &problem) {
    if (static_cast<std::uint32_t>(pixmap.type) >= kTypeWords.size()) {
        problem = "unknown pixel type " + std::to_string(static_cast<std::uint32_t>(pixmap.type));
        return std::nullopt;
    }
    const std::string_view typeWord = kTypeWords[static_cast<std::size_t>(pixmap.type)];
    const Layout layout = layoutOf(pixmap.type);
    if (pixmap.width == 0 || pixmap.height == 0) {
        problem = "image size " + std::to_string(pixmap.width) + " x " +
                  std::to_string(pixmap.height) + " holds no pixel";
        return std::nullopt;
    }
    if (pixmap.pixel_size != 8 * layout.bytes) {
        problem = "pixel size " + std::to_string(pixmap.pixel_size) + " does not fit " +
                  std::string(typeWord);
        return std::nullopt;
    }
    const std::uint64_t rowPixelBytes = std::uint64_t{pixmap.width} * layout.bytes;
    if (pixmap.row_bytes < rowPixelBytes) {
        problem = "row bytes " + std::to_string(pixmap.row_bytes) + " too few for " +
                  std::to_string(pixmap.width) + " pixels of " + std::to_string(layout.bytes) +
                  " bytes";
        return std::nullopt;
    }
    // The last row's padding may be left out; its pixels may not.
    const std::uint64_t needed =
        std::uint64_t{pixmap.row_bytes} * (pixmap.height - 1) + rowPixelBytes;
    if (pixmap.image.size() < needed) {
        problem = "image holds " + std::to_string(pixmap.image.size()) + " bytes, " +
                  std::to_string(needed) + " needed";
        return std::nullopt;
    }

    Texture texture;
    texture.width = pixmap.width;
    texture.height = pixmap.height;
    texture.components = layout.components;
    texture.pixels.resize(std::uint64_t{pixmap.width} * pixmap.height * layout.components);
    std::uint8_t *out = texture.pixels.data();
    // Stored top row first; VRML wants the bottom row first.
    for (std::uint32_t row = pixmap.height; row-- > 0;) {
        const std::uint8_t *p = pixmap.image.data() + std::uint64_t{row} * pixmap.row_bytes;
        for (std::uint32_t column = 0; column < pixmap.width; ++column, p += layout.bytes) {
            out = decodePixel(p, pixmap.type, pixmap.little_endian, out);
        }
    }
    return texture;
}

std::optional<PixelType> pixel_type_from_word(std::string_view word) {
    for (std::size_t i = 0; i < kTypeWords.size(); ++i) {
        const std::string_view known = kTypeWords[i];
        if (known.size() != word.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < known.size() && same; ++k) {
            char c = word[k];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            same = c == known[k];
        }
        if (same) return static_cast<PixelType>(i);
    }
    return std::nullopt;
}

std::optional<PixelType> pixel_type_from_number(std::uint32_t number) {
    if (number >= kTypeWords.size()) return std::nullopt;
    return static_cast<PixelType>(number);
}

std::optional<TextureTransform> uv_transform_to_vrml(const float m[3][3]) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (!std::isfinite(m[r][c])) return std::nullopt;
        }
    }
    // Only a constant w keeps the divide out of the mapping.
    if (m[0][2] != 0 || m[1][2] != 0 || m[2][2] == 0) return std::nullopt;
    const double w = m[2][2];
    // Column form: (u', v') = L (u, v) + t.
    const double l00 = m[0][0] / w, l01 = m[1][0] / w, l10 = m[0][1] / w, l11 = m[1][1] / w;
    const double t0 = m[2][0] / w, t1 = m[2][1] / w;

    // VRML's Tc' = -C S R C T Tc with center 0 is S R (Tc + T): L must be S R, a rotation
    // followed by a scale along the axes. Its first row then is sx (cos, -sin).
    const double sx = std::hypot(l00, l01);
    const double det = l00 * l11 - l01 * l10;
    const double size = std::max({std::fabs(l00), std::fabs(l01), std::fabs(l10), std::fabs(l11)});
    if (sx == 0 || std::fabs(det) <= 1e-12 * size * size) return std::nullopt;
    const double cosA = l00 / sx, sinA = -l01 / sx;
    const double sy = l10 * sinA + l11 * cosA;
    // T = L^-1 t.
    const double tx = (l11 * t0 - l01 * t1) / det;
    const double ty = (-l10 * t0 + l00 * t1) / det;

    TextureTransform result;
    result.rotation = static_cast<float>(std::atan2(sinA, cosA));
    result.scale[0] = static_cast<float>(sx);
    result.scale[1] = static_cast<float>(sy);
    result.translation[0] = static_cast<float>(tx);
    result.translation[1] = static_cast<float>(ty);
    if (!std::isfinite(result.translation[0]) || !std::isfinite(result.translation[1]) ||
        !std::isfinite(result.scale[1])) {
        return std::nullopt;
    }

    // Accept only what maps the corners of texture space where M does, in float precision: a
    // linear part that is not S R (shear, say) fails here.
    const double c = std::cos(result.rotation), s = std::sin(result.rotation);
    const double tolerance = 1e-5 * (1 + size + std::fabs(t0) + std::fabs(t1));
    for (const auto [u, v] : {std::array<double, 2>{0, 0}, {1, 0}, {0, 1}, {1, 1}}) {
        const double pu = u + result.translation[0], pv = v + result.translation[1];
        const double vu = result.scale[0] * (c * pu - s * pv);
        const double vv = result.scale[1] * (s * pu + c * pv);
        const double mu = l00 * u + l01 * v + t0, mv = l10 * u + l11 * v + t1;
        if (std::fabs(vu - mu) > tolerance || std::fabs(vv - mv) > tolerance) return std::nullopt;
    }
    return result;
}

}  // namespace tarvex::scene
