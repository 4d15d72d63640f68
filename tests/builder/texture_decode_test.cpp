#include "builder/texture_decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tarvex::builder {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Two pixels of each type in both byte orders. 0x2A95 holds 5-bit channels 10, 20, 21 (5-5-5)
// and 5, 20, 21 (5-6-5): widened by x<<3 | x>>2 (6 bits: x<<2 | x>>4) to 0x52 0xA5 0xAD and
// 0x29 0x51 0xAD.
TEST(texture_decode, DecodesEachPixelTypeInBothByteOrders) {
    const struct {
        PixelType type;
        std::uint32_t bits;
        Bytes big, little, expected;
    } cases[] = {
        {PixelType::RGB32,
         32,
         {0x00, 0x11, 0x22, 0x33, 0x00, 0xFF, 0x80, 0x01},
         {0x33, 0x22, 0x11, 0x00, 0x01, 0x80, 0xFF, 0x00},
         {0x11, 0x22, 0x33, 0xFF, 0x80, 0x01}},
        {PixelType::ARGB32,
         32,
         {0x80, 0x11, 0x22, 0x33, 0xFF, 0x01, 0x02, 0x03},
         {0x33, 0x22, 0x11, 0x80, 0x03, 0x02, 0x01, 0xFF},
         {0x11, 0x22, 0x33, 0x80, 0x01, 0x02, 0x03, 0xFF}},
        {PixelType::RGB24,
         24,
         {0x11, 0x22, 0x33, 0x44, 0x55, 0x66},
         {0x33, 0x22, 0x11, 0x66, 0x55, 0x44},
         {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}},
        {PixelType::RGB16,
         16,
         {0x2A, 0x95, 0xFF, 0xFF},
         {0x95, 0x2A, 0xFF, 0xFF},
         {0x52, 0xA5, 0xAD, 0xFF, 0xFF, 0xFF}},
        {PixelType::ARGB16,
         16,
         {0x2A, 0x95, 0x80, 0x00},
         {0x95, 0x2A, 0x00, 0x80},
         {0x52, 0xA5, 0xAD, 0x00, 0x00, 0x00, 0x00, 0xFF}},
        {PixelType::RGB16_565,
         16,
         {0x2A, 0x95, 0xF8, 0x00},
         {0x95, 0x2A, 0x00, 0xF8},
         {0x29, 0x51, 0xAD, 0xFF, 0x00, 0x00}},
    };
    for (const auto &c : cases) {
        for (const bool little : {false, true}) {
            const Bytes &image = little ? c.little : c.big;
            std::string problem;
            const auto texture =
                decode_pixmap(Pixmap{2, 1, static_cast<std::uint32_t>(image.size()), c.bits, c.type,
                                     little, image},
                              problem);
            ASSERT_TRUE(texture) << problem;
            EXPECT_EQ(texture->components, c.expected.size() / 2);
            EXPECT_EQ(texture->pixels, c.expected)
                << static_cast<int>(c.type) << (little ? " little" : " big");
        }
    }
}

// Rows are stored top first and padded to rowBytes; VRML wants them bottom first, unpadded. The
// last row's padding may be missing.
TEST(texture_decode, ReversesRowsAndSkipsPadding) {
    const Bytes image = {1, 1, 1, 2,    2,    2, 0xEE, 0xEE, 3, 3, 3,
                         4, 4, 4, 0xEE, 0xEE, 5, 5,    5,    6, 6, 6};
    std::string problem;
    const auto texture =
        decode_pixmap(Pixmap{2, 3, 8, 24, PixelType::RGB24, false, image}, problem);
    ASSERT_TRUE(texture) << problem;
    EXPECT_EQ(texture->width, 2u);
    EXPECT_EQ(texture->height, 3u);
    EXPECT_EQ(texture->pixels, (Bytes{5, 5, 5, 6, 6, 6, 3, 3, 3, 4, 4, 4, 1, 1, 1, 2, 2, 2}));
}

TEST(texture_decode, RefusesImagesTheDataDoesNotHold) {
    const Bytes small(21, 0);
    const struct {
        Pixmap pixmap;
        const char *problem;
    } cases[] = {
        {Pixmap{2, 3, 8, 24, PixelType::RGB24, false, small}, "image holds 21 bytes, 22 needed"},
        {Pixmap{100000, 100000, 400000, 32, PixelType::RGB32, false, small},
         "image holds 21 bytes, 40000000000 needed"},
        {Pixmap{2, 1, 8, 24, PixelType::ARGB32, false, small}, "pixel size 24 does not fit ARGB32"},
        {Pixmap{2, 1, 8, 32, PixelType::RGB16_565, false, small},
         "pixel size 32 does not fit RGB16_565"},
        {Pixmap{2, 1, 5, 24, PixelType::RGB24, false, small},
         "row bytes 5 too few for 2 pixels of 3 bytes"},
        {Pixmap{0, 2, 8, 24, PixelType::RGB24, false, small}, "image size 0 x 2 holds no pixel"},
        {Pixmap{1, 1, 4, 32, static_cast<PixelType>(9), false, small}, "unknown pixel type 9"},
    };
    for (const auto &c : cases) {
        std::string problem;
        EXPECT_FALSE(decode_pixmap(c.pixmap, problem));
        EXPECT_EQ(problem, c.problem);
    }
}

TEST(texture_decode, NamesPixelTypesByWordAndNumber) {
    EXPECT_EQ(pixel_type_from_word("RGB32"), PixelType::RGB32);
    EXPECT_EQ(pixel_type_from_word("argb16"), PixelType::ARGB16);
    EXPECT_EQ(pixel_type_from_word("Rgb16_565"), PixelType::RGB16_565);
    EXPECT_EQ(pixel_type_from_word("RGB24"), PixelType::RGB24);
    EXPECT_EQ(pixel_type_from_word("RGB8"), std::nullopt);
    EXPECT_EQ(pixel_type_from_word("RGB16_5650"), std::nullopt);
    EXPECT_EQ(pixel_type_from_word(""), std::nullopt);
    EXPECT_EQ(pixel_type_from_number(1), PixelType::ARGB32);
    EXPECT_EQ(pixel_type_from_number(5), PixelType::RGB24);
    EXPECT_EQ(pixel_type_from_number(6), std::nullopt);
}

struct Uv {
    double u, v;
};

// VRML's Tc' = -C S R C T Tc read with column vectors (translation first) ...
Uv columnMap(const TextureTransform &t, Uv p) {
    const double u = p.u + t.translation[0] + t.center[0];
    const double v = p.v + t.translation[1] + t.center[1];
    const double c = std::cos(t.rotation), s = std::sin(t.rotation);
    return {t.scale[0] * (c * u - s * v) - t.center[0], t.scale[1] * (s * u + c * v) - t.center[1]};
}

// ... and with row vectors, as Coin applies it (measured through its texture matrix).
Uv rowMap(const TextureTransform &t, Uv p) {
    const double u = t.scale[0] * (p.u - t.center[0]), v = t.scale[1] * (p.v - t.center[1]);
    const double c = std::cos(t.rotation), s = std::sin(t.rotation);
    return {c * u - s * v + t.center[0] + t.translation[0],
            s * u + c * v + t.center[1] + t.translation[1]};
}

// What the ShaderUVTransform does: (u', v', w') = (u, v, 1) M, divided by w'.
Uv matrixMap(const float m[3][3], Uv p) {
    const double w = p.u * m[0][2] + p.v * m[1][2] + m[2][2];
    return {(p.u * m[0][0] + p.v * m[1][0] + m[2][0]) / w,
            (p.u * m[0][1] + p.v * m[1][1] + m[2][1]) / w};
}

void expectSameMapping(const float m[3][3], const TextureTransform &t, const char *what) {
    for (const Uv p : {Uv{0, 0}, Uv{1, 0}, Uv{0, 1}, Uv{0.3, 0.7}, Uv{-2, 5}}) {
        const Uv want = matrixMap(m, p);
        for (const Uv got : {columnMap(t, p), rowMap(t, p)}) {
            EXPECT_NEAR(got.u, want.u, 1e-4) << what << " at " << p.u << "," << p.v;
            EXPECT_NEAR(got.v, want.v, 1e-4) << what << " at " << p.u << "," << p.v;
        }
    }
}

// Matrices made from VRML transforms come back as a transform that maps every sample uv where
// the matrix does, under both readings; where rotation and scale do not commute no single
// transform can, and the matrix is left to the builder.
TEST(texture_decode, TurnsUvMatricesIntoTextureTransformsThatMapTheSame) {
    const struct {
        TextureTransform source;
        bool expressible;
    } cases[] = {
        {{}, true},
        {{{0, 0}, 0, {2, 3}, {0, 0}}, true},
        {{{0, 0}, 0, {1, 1}, {0.25f, -0.5f}}, true},
        {{{0, 0}, 0, {2, 3}, {-0.1f, -0.2f}}, true},  // q-uv-transform's second matrix
        {{{0.5f, 0.5f}, 0.7f, {1, 1}, {0, 0}}, true},
        {{{0.5f, 0.25f}, -2.0f, {0.5f, 0.5f}, {0.1f, 0.2f}}, true},
        {{{0, 0}, 3.14159265f, {-1, 2}, {3, 0}}, true},
        {{{0, 0}, 1.0f, {-1, 2}, {3, 0}}, false},
        {{{0.5f, 0.25f}, -2.0f, {4, 0.5f}, {0.1f, 0.2f}}, false},
    };
    for (const auto &c : cases) {
        const Uv t = columnMap(c.source, {0, 0}), x = columnMap(c.source, {1, 0}),
                 y = columnMap(c.source, {0, 1});
        const float m[3][3] = {{float(x.u - t.u), float(x.v - t.v), 0},
                               {float(y.u - t.u), float(y.v - t.v), 0},
                               {float(t.u), float(t.v), 1}};
        const auto result = uv_transform_to_vrml(m);
        ASSERT_EQ(result.has_value(), c.expressible) << c.source.rotation;
        if (result) expectSameMapping(m, *result, "from VRML");
    }
}

TEST(texture_decode, LeavesUvMatricesVrmlCannotExpressToTheBuilder) {
    const float nan = std::nanf("");
    const float w2[3][3] = {{2, 0, 0}, {0, 4, 0}, {1, 1, 2}};  // constant w: divides out
    const auto scaled = uv_transform_to_vrml(w2);
    ASSERT_TRUE(scaled);
    expectSameMapping(w2, *scaled, "constant w");

    const float shear[3][3] = {{1, 0, 0}, {0.5f, 1, 0}, {0, 0, 1}};
    const float projective[3][3] = {{1, 0, 0.5f}, {0, 1, 0}, {0, 0, 1}};
    const float singular[3][3] = {{1, 0, 0}, {0, 0, 0}, {0, 0, 1}};
    const float noW[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 0}};
    const float notFinite[3][3] = {{nan, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const auto *m : {&shear, &projective, &singular, &noW, &notFinite}) {
        EXPECT_FALSE(uv_transform_to_vrml(*m));
    }
}

}  // namespace
}  // namespace tarvex::builder
