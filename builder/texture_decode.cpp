#include "builder/texture_decode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace tarvex::builder {
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

// (u', v') = L (u, v) + t, L row-major.
struct Affine2 {
    double l[4];
    double t[2];
};

// VRML 97 writes the texture transform as Tc' = -C S R C T Tc. Read with column vectors (the
// order its own text gives: the texture coordinates are translated first) that is
// -C + S R (C + T + p); Coin reads it with row vectors, C + T + R S (p - C), the order of the
// Transform node. A transform is written only where both readings give `target`, so that every
// browser shows the same picture.
bool mapsLike(const TextureTransform &t, const Affine2 &target, double tolerance) {
    const double c = std::cos(t.rotation), s = std::sin(t.rotation);
    for (const auto [u, v] : {std::array<double, 2>{0, 0}, {1, 0}, {0, 1}, {1, 1}}) {
        const double wantU = target.l[0] * u + target.l[1] * v + target.t[0];
        const double wantV = target.l[2] * u + target.l[3] * v + target.t[1];
        const auto [columnU, columnV] = t.apply(u, v);
        // Row reading.
        const double bu = t.scale[0] * (u - t.center[0]), bv = t.scale[1] * (v - t.center[1]);
        const double rowU = c * bu - s * bv + t.center[0] + t.translation[0];
        const double rowV = s * bu + c * bv + t.center[1] + t.translation[1];
        if (!(std::fabs(columnU - wantU) <= tolerance && std::fabs(columnV - wantV) <= tolerance &&
              std::fabs(rowU - wantU) <= tolerance && std::fabs(rowV - wantV) <= tolerance)) {
            return false;
        }
    }
    return true;
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

std::optional<TextureTransform> uv_transform_to_vrml(const float (&m)[3][3]) {
    for (const auto &row : m) {
        for (const float v : row) {
            if (!std::isfinite(v)) return std::nullopt;
        }
    }
    // Only a constant w keeps the divide out of the mapping.
    if (m[0][2] != 0 || m[1][2] != 0 || m[2][2] == 0) return std::nullopt;
    const double w = m[2][2];
    // Column form: (u', v') = L (u, v) + t.
    const Affine2 target{{m[0][0] / w, m[1][0] / w, m[0][1] / w, m[1][1] / w},
                         {m[2][0] / w, m[2][1] / w}};
    const double *l = target.l;
    const double size =
        std::max({std::fabs(l[0]), std::fabs(l[1]), std::fabs(l[2]), std::fabs(l[3])});
    const double det = l[0] * l[3] - l[1] * l[2];
    if (!(std::fabs(det) > 1e-12 * size * size)) return std::nullopt;

    // L = S R: its first row is sx (cos, -sin), its second sy (sin, cos).
    const double sx = std::hypot(l[0], l[1]);
    const double cosA = l[0] / sx, sinA = -l[1] / sx;
    const double sy = l[2] * sinA + l[3] * cosA;
    TextureTransform result;
    result.rotation = static_cast<float>(std::atan2(sinA, cosA));
    result.scale[0] = static_cast<float>(sx);
    result.scale[1] = static_cast<float>(sy);

    // The translation: first with the centre at 0, else with T = -2C, where both readings agree
    // whenever L + I is invertible: C = -(L + I)^-1 t, T = t + (L - I) C.
    const double t0 = target.t[0], t1 = target.t[1];
    const double p0 = l[0] + 1, p1 = l[1], p2 = l[2], p3 = l[3] + 1;
    const double pDet = p0 * p3 - p1 * p2;
    struct Placement {
        double center[2], translation[2];
    };
    std::array<Placement, 2> candidates{};
    candidates[0] = {{0, 0}, {t0, t1}};
    std::size_t count = 1;
    if (pDet != 0) {
        const double c0 = -(p3 * t0 - p1 * t1) / pDet, c1 = -(-p2 * t0 + p0 * t1) / pDet;
        candidates[1] = {{c0, c1},
                         {t0 + (l[0] - 1) * c0 + l[1] * c1, t1 + l[2] * c0 + (l[3] - 1) * c1}};
        count = 2;
    }
    const double tolerance = 1e-5 * (1 + size + std::fabs(t0) + std::fabs(t1));
    for (std::size_t i = 0; i < count; ++i) {
        for (int k = 0; k < 2; ++k) {
            result.center[k] = static_cast<float>(candidates[i].center[k]);
            result.translation[k] = static_cast<float>(candidates[i].translation[k]);
        }
        if (mapsLike(result, target, tolerance)) return result;
    }
    return std::nullopt;
}

}  // namespace tarvex::builder
