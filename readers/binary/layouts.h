// The data layout of every object type as one field list, shared by the binary reader (which
// decodes the fields into object tree values) and by the test writer of binary files (which
// encodes tree values into the fields), so that the two cannot disagree silently.
//
// Each layout yields the values in the order the text form writes them, so that the scene builder
// reads a node the same way whichever encoding it came in. Enum, bitfield and boolean fields are
// Uns32 numbers in binary (words in text, see enum_words.h). One table in one file, one entry
// per object type, so that a type's layout is found where the others are.
//
// A Codec provides:
//   bool ok() const                                   no failure so far
//   std::uint32_t uns(unsigned width)                 Uns8/16/32 (0 once failed)
//   void uns_array(std::uint64_t count, unsigned width)
//   std::int32_t int32()
//   void floats(std::uint64_t count)                  Float32 × count
//   std::uint32_t choice(EnumTable table)             Uns32 enum, bitfield or boolean
//   void string()                                     zero-terminated, padded to 4 bytes
//   void raw(std::uint64_t bytes)                     raw bytes, padded to 4 bytes
//   void file_pointer()                               Uns64 offset from the file's start
//   void object_type()                                a type code (TOC entries)
//   bool more(std::uint64_t bytes, std::uint32_t values)
//        whether an optional tail follows: the reader has `bytes` left in the object, the writer
//        `values` left in the node
//   std::size_t pick(std::span<const std::uint64_t> sizes)
//        which candidate data size (index widths) the object has; the writer takes the first
//   unsigned record_width(std::uint64_t records, unsigned preferred)
//        the index width of `records` (Int32 count, |count| indices) records filling the rest
//   void rest(Rest kind)                              values of one kind up to the data's end
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "readers/binary/enum_words.h"
#include "tree/object_type.h"

namespace tarvex::binary {

enum class Rest : std::uint8_t { Float, Boolean, Raw };

// The width of an index into `count` elements: the narrowest unsigned type holding count - 1.
constexpr unsigned index_width(std::uint64_t count) {
    return count <= 0x100u ? 1u : count <= 0x10000u ? 2u : 4u;
}

// `preferred` first, then the other widths.
constexpr std::array<unsigned, 3> widths_from(unsigned preferred) {
    return preferred == 1   ? std::array<unsigned, 3>{1, 2, 4}
           : preferred == 2 ? std::array<unsigned, 3>{2, 1, 4}
                            : std::array<unsigned, 3>{4, 1, 2};
}

namespace layout {

template <class Codec>
void counted_points(Codec &c) {
    const std::uint32_t n = c.uns(4);
    c.floats(std::uint64_t(n) * 3);
}

// Quadrics: the base fields, then the four u/v limits of format 1.5 when present.
template <class Codec>
void quadric(Codec &c, std::uint32_t baseFloats) {
    if (!c.more(std::uint64_t(baseFloats) * 4, baseFloats)) return;  // size 0: the default object
    c.floats(baseFloats);
    if (c.more(16, 4)) c.floats(4);
}

template <class Codec>
void tri_mesh(Codec &c) {
    const std::uint32_t triangles = c.uns(4);
    c.uns(4);
    const std::uint32_t edges = c.uns(4);
    c.uns(4);
    const std::uint32_t points = c.uns(4);
    c.uns(4);
    if (!c.ok()) return;
    // Point indices (triangle corners, edge ends) are sized by the point count, an edge's
    // triangle indices by the triangle count. The sizes decide; the rule's widths come first.
    const std::array<unsigned, 3> pw = widths_from(index_width(points));
    const std::array<unsigned, 3> tw = widths_from(index_width(triangles));
    std::array<std::uint64_t, 9> sizes{};
    for (std::size_t i = 0; i < 9; ++i) {
        const std::uint64_t wp = pw[i / 3], wt = tw[i % 3];
        sizes[i] = 24 + std::uint64_t(triangles) * 3 * wp +
                   std::uint64_t(edges) * (2 * wp + 2 * wt) + std::uint64_t(points) * 12 + 28;
    }
    const std::size_t which = c.pick(sizes);
    if (!c.ok()) return;
    const unsigned wp = pw[which / 3], wt = tw[which % 3];
    c.uns_array(std::uint64_t(triangles) * 3, wp);
    if (wp == wt) {
        c.uns_array(std::uint64_t(edges) * 4, wp);
    } else {
        for (std::uint32_t e = 0; c.ok() && e < edges; ++e) {
            c.uns_array(2, wp);
            c.uns_array(2, wt);
        }
    }
    c.floats(std::uint64_t(points) * 3);
    c.floats(6);
    c.choice(EnumTable::Boolean);
}

// Layout measured on real files (no reference page): vertices, then face and hole records.
template <class Codec>
void mesh(Codec &c) {
    const std::uint32_t vertices = c.uns(4);
    c.floats(std::uint64_t(vertices) * 3);
    const std::uint32_t faces = c.uns(4);
    const std::uint32_t contours = c.uns(4);
    const std::uint64_t records = std::uint64_t(faces) + contours;
    if (!c.ok()) return;
    const unsigned width = c.record_width(records, index_width(vertices));
    for (std::uint64_t r = 0; c.ok() && r < records; ++r) {
        const std::int32_t count = c.int32();
        const std::uint64_t n =
            count < 0 ? std::uint64_t(-std::int64_t(count)) : std::uint64_t(count);
        c.uns_array(n, width);
    }
}

template <class Codec>
void attribute_array(Codec &c) {
    const std::int32_t type = c.int32();
    c.uns(4);                // reserved
    c.uns(4);                // position of the array: triangles, edges, points
    c.uns(4);                // position in the array
    c.uns(4);                // use-array flag
    if (type == 11) return;  // surface shaders: the elements follow as objects
    c.rest(type == 10 ? Rest::Boolean : Rest::Float);
}

// Attribute set lists: part count, packing, then the listed part numbers.
template <class Codec>
void attribute_set_list(Codec &c, bool vertices) {
    const std::uint32_t parts = c.uns(4);
    c.choice(EnumTable::Packing);
    const std::uint32_t indices = c.uns(4);
    if (!c.ok()) return;
    const std::array<unsigned, 3> w = widths_from(vertices ? index_width(parts) : 4);
    std::array<std::uint64_t, 3> sizes{};
    for (std::size_t i = 0; i < 3; ++i) sizes[i] = 12 + std::uint64_t(indices) * w[i];
    const std::size_t which = c.pick(sizes);
    c.uns_array(indices, w[which]);
}

template <class Codec>
void table_of_contents(Codec &c) {
    c.file_pointer();  // next table of contents
    c.uns(4);          // refSeed
    c.int32();         // typeSeed
    const std::uint32_t entryType = c.uns(4);
    c.uns(4);  // entry size
    c.uns(4);  // entry count: writers get it wrong, the object's size decides
    const bool typed = entryType == 1;
    while (c.ok() && c.more(typed ? 16 : 12, typed ? 3 : 2)) {
        c.uns(4);
        c.file_pointer();
        if (typed) c.object_type();
    }
}

template <class Codec>
void pixmap(Codec &c, bool marker) {
    if (marker) {
        c.floats(3);
        c.int32();
        c.int32();
    }
    c.uns(4);  // width
    const std::uint32_t height = c.uns(4);
    const std::uint32_t rowBytes = c.uns(4);
    c.uns(4);  // pixel size
    c.choice(EnumTable::PixelType);
    c.choice(EnumTable::Endian);
    c.choice(EnumTable::Endian);
    c.raw(std::uint64_t(rowBytes) * height);
}

template <class Codec>
void bitmap(Codec &c, bool marker) {
    if (marker) {
        c.floats(3);
        c.int32();
        c.int32();
    }
    c.uns(4);  // width
    const std::uint32_t height = c.uns(4);
    const std::uint32_t rowBytes = c.uns(4);
    c.choice(EnumTable::Endian);
    c.raw(std::uint64_t(rowBytes) * height);
}

template <class Codec>
void nurb_curve(Codec &c, unsigned coordinates) {
    const std::uint32_t order = c.uns(4);
    const std::uint32_t points = c.uns(4);
    c.floats(std::uint64_t(points) * coordinates);
    c.floats(std::uint64_t(order) + points);
}

template <class Codec>
void nurb_patch(Codec &c) {
    const std::uint32_t uOrder = c.uns(4);
    const std::uint32_t vOrder = c.uns(4);
    const std::uint32_t rows = c.uns(4);
    const std::uint32_t columns = c.uns(4);
    c.floats(std::uint64_t(rows) * columns * 4);
    c.floats(std::uint64_t(uOrder) + columns);
    c.floats(std::uint64_t(vOrder) + rows);
}

}  // namespace layout

// Encodes or decodes the data of one object of `type`. False when the type has no known layout
// (its data is then left alone); structural types (Container, BeginGroup, EndGroup, Type) are the
// reader's business and have none here.
template <class Codec>
bool fields(tree::ObjectType type, Codec &c) {
    using tree::ObjectType;
    switch (type) {
        case ObjectType::Metafile:
            c.uns(2);
            c.uns(2);
            c.choice(EnumTable::MetafileFlags);
            c.file_pointer();
            return true;
        case ObjectType::TableOfContents:
            layout::table_of_contents(c);
            return true;
        case ObjectType::Reference:
        case ObjectType::PickIDStyle:
            c.uns(4);
            return true;

        // No data.
        case ObjectType::Group:
        case ObjectType::DisplayGroup:
        case ObjectType::OrderedDisplayGroup:
        case ObjectType::LightGroup:
        case ObjectType::InfoGroup:
        case ObjectType::IOProxyDisplayGroup:
        case ObjectType::TrimLoop:
        case ObjectType::AttributeSet:
        case ObjectType::TopCapAttributeSet:
        case ObjectType::BottomCapAttributeSet:
        case ObjectType::FaceCapAttributeSet:
        case ObjectType::InteriorCapAttributeSet:
        case ObjectType::HighlightStyle:
        case ObjectType::AmbientLight:
        case ObjectType::TextureShader:
        case ObjectType::LambertIllumination:
        case ObjectType::PhongIllumination:
        case ObjectType::NULLIllumination:
        case ObjectType::ViewHints:
        case ObjectType::WireFrameRenderer:
        case ObjectType::InteractiveRenderer:
            return true;

        case ObjectType::DisplayGroupState:
            c.choice(EnumTable::DisplayGroupState);
            return true;
        case ObjectType::UnknownText:
            c.string();
            c.string();
            return true;
        case ObjectType::UnknownBinary:
            c.int32();
            c.uns(4);
            c.choice(EnumTable::Endian);
            c.rest(Rest::Raw);
            return true;
        case ObjectType::CString:
            c.string();
            return true;
        case ObjectType::Unicode:
            c.raw(std::uint64_t(c.uns(4)) * 2);
            return true;

        // Geometry.
        case ObjectType::Point:
        case ObjectType::Normal:
        case ObjectType::DiffuseColor:
        case ObjectType::SpecularColor:
        case ObjectType::TransparencyColor:
        case ObjectType::Translate:
        case ObjectType::Scale:
        case ObjectType::ImageClearColor:
            c.floats(3);
            return true;
        case ObjectType::Line:
        case ObjectType::SurfaceTangent:
            c.floats(6);
            return true;
        case ObjectType::PolyLine:
        case ObjectType::Polygon:
            layout::counted_points(c);
            return true;
        case ObjectType::Triangle:
        case ObjectType::ShaderUVTransform:
        case ObjectType::CameraPlacement:
            c.floats(9);
            return true;
        case ObjectType::GeneralPolygon: {
            const std::uint32_t contours = c.uns(4);
            for (std::uint32_t i = 0; c.ok() && i < contours; ++i) layout::counted_points(c);
            return true;
        }
        case ObjectType::GeneralPolygonHint:
            c.choice(EnumTable::PolygonShape);
            return true;
        case ObjectType::Box:
            if (c.more(48, 12)) c.floats(12);
            return true;
        case ObjectType::TriGrid: {  // provisional: the API's description
            const std::uint32_t rows = c.uns(4);
            const std::uint32_t columns = c.uns(4);
            c.floats(std::uint64_t(rows) * columns * 3);
            return true;
        }
        case ObjectType::Mesh:
            layout::mesh(c);
            return true;
        case ObjectType::MeshCorners: {
            const std::uint32_t corners = c.uns(4);
            for (std::uint32_t i = 0; c.ok() && i < corners; ++i) {
                c.uns(4);
                c.uns_array(c.uns(4), 4);
            }
            return true;
        }
        case ObjectType::MeshEdges:
            c.uns_array(std::uint64_t(c.uns(4)) * 2, 4);
            return true;
        case ObjectType::TriMesh:
            layout::tri_mesh(c);
            return true;
        case ObjectType::AttributeArray:
            layout::attribute_array(c);
            return true;
        case ObjectType::Ellipse:
            if (!c.more(36, 9)) return true;
            c.floats(9);
            if (c.more(8, 2)) c.floats(2);
            return true;
        case ObjectType::NURBCurve:
            layout::nurb_curve(c, 4);
            return true;
        case ObjectType::NURBCurve2D:
            layout::nurb_curve(c, 3);
            return true;
        case ObjectType::NURBPatch:
            layout::nurb_patch(c);
            return true;
        case ObjectType::Ellipsoid:
        case ObjectType::Cylinder:
        case ObjectType::Cone:
            layout::quadric(c, 12);
            return true;
        case ObjectType::Torus:
            layout::quadric(c, 13);
            return true;
        case ObjectType::Disk:
            // The reference's field list lacks the v limits its size includes: accept both.
            if (!c.more(36, 9)) return true;
            c.floats(9);
            if (c.more(16, 4)) {
                c.floats(4);
            } else if (c.more(8, 2)) {
                c.floats(2);
            }
            return true;
        case ObjectType::Caps:
            c.choice(EnumTable::Caps);
            return true;
        case ObjectType::Marker:
            layout::bitmap(c, true);
            return true;
        case ObjectType::PixmapMarker:
            layout::pixmap(c, true);
            return true;

        // Attributes.
        case ObjectType::SpecularControl:
        case ObjectType::AmbientCoefficient:
            c.floats(1);
            return true;
        case ObjectType::SurfaceUV:
        case ObjectType::ShadingUV:
        case ObjectType::CameraRange:
        case ObjectType::ViewAngleAspectCamera:
        case ObjectType::DepthRangeStyle:
            c.floats(2);
            return true;
        case ObjectType::HighlightState:
        case ObjectType::ReceiveShadowsStyle:
        case ObjectType::CastShadowsStyle:
            c.choice(EnumTable::Boolean);
            return true;
        case ObjectType::GeometryAttributeSetList:
        case ObjectType::FaceAttributeSetList:
            layout::attribute_set_list(c, false);
            return true;
        case ObjectType::VertexAttributeSetList:
            layout::attribute_set_list(c, true);
            return true;

        // Styles.
        case ObjectType::BackfacingStyle:
            c.choice(EnumTable::Backfacing);
            return true;
        case ObjectType::InterpolationStyle:
            c.choice(EnumTable::Interpolation);
            return true;
        case ObjectType::FillStyle:
            c.choice(EnumTable::Fill);
            return true;
        case ObjectType::SubdivisionStyle:
            if (c.choice(EnumTable::Subdivision) == 0) {
                c.uns(4);
                c.uns(4);
            } else {
                c.floats(1);
            }
            return true;
        case ObjectType::OrientationStyle:
            c.choice(EnumTable::Orientation);
            return true;
        case ObjectType::PickPartsStyle:
            c.choice(EnumTable::PickParts);
            return true;

        // Transforms.
        case ObjectType::Matrix:
        case ObjectType::ShaderTransform:
            c.floats(16);
            return true;
        case ObjectType::Rotate:
            c.choice(EnumTable::Axis);
            c.floats(1);
            return true;
        case ObjectType::RotateAboutPoint:
            c.choice(EnumTable::Axis);
            c.floats(4);
            return true;
        case ObjectType::RotateAboutAxis:
            c.floats(7);
            return true;
        case ObjectType::Quaternion:
        case ObjectType::CameraViewPort:
        case ObjectType::OrthographicCamera:
            c.floats(4);
            return true;

        // Lights.
        case ObjectType::LightData:
            c.choice(EnumTable::Boolean);
            c.floats(4);
            return true;
        case ObjectType::DirectionalLight:
            c.floats(3);
            c.choice(EnumTable::Boolean);
            return true;
        case ObjectType::PointLight:
            c.floats(3);
            c.choice(EnumTable::Attenuation);
            c.choice(EnumTable::Boolean);
            return true;
        case ObjectType::SpotLight:
            c.floats(6);
            c.choice(EnumTable::Boolean);
            c.choice(EnumTable::Attenuation);
            c.floats(2);
            c.choice(EnumTable::FallOff);
            return true;

        // Cameras.
        case ObjectType::ViewPlaneCamera:
            c.floats(5);
            return true;

        // Shaders and view hints.
        case ObjectType::Shader:
            c.choice(EnumTable::Boundary);
            c.choice(EnumTable::Boundary);
            return true;
        case ObjectType::PixmapTexture:
            layout::pixmap(c, false);
            return true;
        case ObjectType::ImageDimensions:
            c.uns(4);
            c.uns(4);
            return true;
        case ObjectType::ImageMask:
            layout::bitmap(c, false);
            return true;

        default:
            return false;
    }
}

}  // namespace tarvex::binary
