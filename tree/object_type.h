// The object types of the 3D Metafile format, with their text names and binary codes. Shared by
// the text parser, the binary reader and the scene builder so that each knows a type by one
// value, however it was spelled in the file.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvex::tree {

enum class ObjectType : std::uint16_t {
    Unknown,  // a type this table does not know: kept by name, skipped by the builder

    // structure
    Metafile,
    TableOfContents,
    Reference,
    Type,
    Container,
    BeginGroup,
    EndGroup,
    Group,
    DisplayGroup,
    OrderedDisplayGroup,
    LightGroup,
    InfoGroup,
    IOProxyDisplayGroup,
    DisplayGroupState,
    UnknownText,
    UnknownBinary,
    CString,
    Unicode,
    ExternalReference,

    // geometry
    Point,
    Line,
    PolyLine,
    Triangle,
    Polygon,
    GeneralPolygon,
    GeneralPolygonHint,
    Box,
    TriGrid,
    Polyhedron,
    Mesh,
    MeshCorners,
    MeshEdges,
    TriMesh,
    AttributeArray,
    Ellipse,
    NURBCurve,
    NURBCurve2D,
    TrimLoop,
    NURBPatch,
    Ellipsoid,
    Cylinder,
    Disk,
    Cone,
    Torus,
    Caps,
    Marker,
    PixmapMarker,

    // attributes and attribute sets
    DiffuseColor,
    SpecularColor,
    SpecularControl,
    TransparencyColor,
    AmbientCoefficient,
    Normal,
    SurfaceUV,
    ShadingUV,
    SurfaceTangent,
    HighlightState,
    AttributeSet,
    TopCapAttributeSet,
    BottomCapAttributeSet,
    FaceCapAttributeSet,
    InteriorCapAttributeSet,
    GeometryAttributeSetList,
    FaceAttributeSetList,
    VertexAttributeSetList,

    // styles
    BackfacingStyle,
    InterpolationStyle,
    FillStyle,
    HighlightStyle,
    SubdivisionStyle,
    OrientationStyle,
    ReceiveShadowsStyle,
    PickIDStyle,
    PickPartsStyle,
    CastShadowsStyle,
    DepthRangeStyle,
    AntiAliasStyle,
    FogStyle,

    // transforms
    Translate,
    Scale,
    Matrix,
    Rotate,
    RotateAboutPoint,
    RotateAboutAxis,
    Quaternion,
    ShaderTransform,
    ShaderUVTransform,

    // lights
    LightData,
    AmbientLight,
    DirectionalLight,
    PointLight,
    SpotLight,

    // cameras
    CameraPlacement,
    CameraRange,
    CameraViewPort,
    OrthographicCamera,
    ViewPlaneCamera,
    ViewAngleAspectCamera,

    // shaders and textures
    Shader,
    TextureShader,
    PixmapTexture,
    MipmapTexture,
    LambertIllumination,
    PhongIllumination,
    NULLIllumination,

    // view hints and renderers
    ViewHints,
    ImageDimensions,
    ImageMask,
    ImageClearColor,
    WireFrameRenderer,
    InteractiveRenderer,

    // the converter's own keyword from the default mode (not in the format's documentation)
    ForwardDirection,

    Count
};

// The canonical text name ("TriMesh"); "" for Unknown.
std::string_view type_name(ObjectType type);

// The type a text name stands for, matched case-insensitively, with the spellings real writers
// use ("Light" for LightData, "ShaderData" for Shader, "Polyline" for PolyLine). Unknown when
// the name is not in the table.
ObjectType type_from_text_name(std::string_view name);

// The binary four-character code, as the big-endian Uns32 the file holds; 0 when the type has
// none we know. `code_confirmed` is false for codes that no documentation page we could read
// gives (they are common knowledge, not checked against a real file).
std::uint32_t binary_code(ObjectType type);
bool code_confirmed(ObjectType type);

// The type a binary code stands for (also the hex spellings the reference prints beside some
// group kinds); Unknown when not in the table.
ObjectType type_from_binary_code(std::uint32_t code);

// Four characters as a code: four_cc("tmsh").
constexpr std::uint32_t four_cc(const char (&text)[5]) {
    return (std::uint32_t(std::uint8_t(text[0])) << 24) |
           (std::uint32_t(std::uint8_t(text[1])) << 16) |
           (std::uint32_t(std::uint8_t(text[2])) << 8) | std::uint32_t(std::uint8_t(text[3]));
}

// The geometry types: the objects that draw something.
bool is_geometry(ObjectType type);

// Group kinds are the types that may stand first inside a BeginGroup.
bool is_group_kind(ObjectType type);

}  // namespace tarvex::tree
