#include "tree/object_type.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>

#include "core/string_hash.h"

namespace tarvex::tree {
namespace {

struct Entry {
    ObjectType type;
    std::string_view name;
    std::uint32_t code;
    bool confirmed;  // the code is in the format's reference or in a real binary file
};

constexpr std::uint32_t kNoCode = 0;

// One row per type, in enum order (checked below).
constexpr std::array<Entry, std::size_t(ObjectType::Count)> kTable = {{
    {ObjectType::Unknown, "", kNoCode, false},
    {ObjectType::Metafile, "3DMetafile", four_cc("3DMF"), true},
    {ObjectType::TableOfContents, "TableOfContents", four_cc("toc "), true},
    {ObjectType::Reference, "Reference", four_cc("rfrn"), true},
    {ObjectType::Type, "Type", four_cc("type"), true},
    {ObjectType::Container, "Container", four_cc("cntr"), true},
    {ObjectType::BeginGroup, "BeginGroup", four_cc("bgng"), true},
    {ObjectType::EndGroup, "EndGroup", four_cc("endg"), true},
    {ObjectType::Group, "Group", four_cc("grup"), true},
    {ObjectType::DisplayGroup, "DisplayGroup", four_cc("dspg"), true},
    {ObjectType::OrderedDisplayGroup, "OrderedDisplayGroup", four_cc("ordg"), true},
    {ObjectType::LightGroup, "LightGroup", four_cc("lghg"), true},
    {ObjectType::InfoGroup, "InfoGroup", four_cc("info"), true},
    {ObjectType::IOProxyDisplayGroup, "IOProxyDisplayGroup", four_cc("iopx"), true},
    {ObjectType::DisplayGroupState, "DisplayGroupState", four_cc("dgst"), true},
    {ObjectType::UnknownText, "UnknownText", four_cc("uktx"), true},
    {ObjectType::UnknownBinary, "UnknownBinary", four_cc("ukbn"), true},
    {ObjectType::CString, "CString", four_cc("strc"), false},
    {ObjectType::Unicode, "Unicode", four_cc("uncd"), true},
    {ObjectType::ExternalReference, "ExternalReference", four_cc("xref"), false},

    {ObjectType::Point, "Point", four_cc("pnt "), true},
    {ObjectType::Line, "Line", four_cc("line"), true},
    {ObjectType::PolyLine, "PolyLine", four_cc("plyl"), true},
    {ObjectType::Triangle, "Triangle", four_cc("trng"), true},
    {ObjectType::Polygon, "Polygon", four_cc("plyg"), true},
    {ObjectType::GeneralPolygon, "GeneralPolygon", four_cc("gpgn"), false},
    {ObjectType::GeneralPolygonHint, "GeneralPolygonHint", four_cc("gplh"), true},
    {ObjectType::Box, "Box", four_cc("box "), true},
    {ObjectType::TriGrid, "TriGrid", four_cc("trig"), false},
    {ObjectType::Polyhedron, "Polyhedron", four_cc("plhd"), false},
    {ObjectType::Mesh, "Mesh", four_cc("mesh"), false},
    {ObjectType::MeshCorners, "MeshCorners", four_cc("crnr"), true},
    {ObjectType::MeshEdges, "MeshEdges", four_cc("edge"), true},
    {ObjectType::TriMesh, "TriMesh", four_cc("tmsh"), true},
    {ObjectType::AttributeArray, "AttributeArray", four_cc("atar"), true},
    {ObjectType::Ellipse, "Ellipse", four_cc("elps"), true},
    {ObjectType::NURBCurve, "NURBCurve", four_cc("nrbc"), true},
    {ObjectType::NURBCurve2D, "NURBCurve2D", four_cc("nb2c"), true},
    {ObjectType::TrimLoop, "TrimLoop", four_cc("trml"), true},
    {ObjectType::NURBPatch, "NURBPatch", four_cc("nrbp"), true},
    {ObjectType::Ellipsoid, "Ellipsoid", four_cc("elpd"), true},
    {ObjectType::Cylinder, "Cylinder", four_cc("cyln"), true},
    {ObjectType::Disk, "Disk", four_cc("disk"), true},
    {ObjectType::Cone, "Cone", four_cc("cone"), true},
    {ObjectType::Torus, "Torus", four_cc("tors"), true},
    {ObjectType::Caps, "Caps", four_cc("caps"), true},
    {ObjectType::Marker, "Marker", four_cc("mrkr"), true},
    {ObjectType::PixmapMarker, "PixmapMarker", four_cc("mrkp"), true},

    {ObjectType::DiffuseColor, "DiffuseColor", four_cc("kdif"), true},
    {ObjectType::SpecularColor, "SpecularColor", four_cc("kspc"), true},
    {ObjectType::SpecularControl, "SpecularControl", four_cc("cspc"), true},
    {ObjectType::TransparencyColor, "TransparencyColor", four_cc("kxpr"), true},
    {ObjectType::AmbientCoefficient, "AmbientCoefficient", four_cc("camb"), true},
    {ObjectType::Normal, "Normal", four_cc("nrml"), true},
    {ObjectType::SurfaceUV, "SurfaceUV", four_cc("sruv"), true},
    {ObjectType::ShadingUV, "ShadingUV", four_cc("shuv"), false},
    {ObjectType::SurfaceTangent, "SurfaceTangent", four_cc("srtn"), true},
    {ObjectType::HighlightState, "HighlightState", four_cc("hlst"), true},
    {ObjectType::AttributeSet, "AttributeSet", four_cc("attr"), true},
    {ObjectType::TopCapAttributeSet, "TopCapAttributeSet", four_cc("tcas"), true},
    {ObjectType::BottomCapAttributeSet, "BottomCapAttributeSet", four_cc("bcas"), true},
    {ObjectType::FaceCapAttributeSet, "FaceCapAttributeSet", four_cc("fcas"), true},
    {ObjectType::InteriorCapAttributeSet, "InteriorCapAttributeSet", four_cc("icas"), false},
    {ObjectType::GeometryAttributeSetList, "GeometryAttributeSetList", four_cc("gasl"), true},
    {ObjectType::FaceAttributeSetList, "FaceAttributeSetList", four_cc("fasl"), true},
    {ObjectType::VertexAttributeSetList, "VertexAttributeSetList", four_cc("vasl"), true},

    {ObjectType::BackfacingStyle, "BackfacingStyle", four_cc("bckf"), true},
    {ObjectType::InterpolationStyle, "InterpolationStyle", four_cc("intp"), true},
    {ObjectType::FillStyle, "FillStyle", four_cc("fist"), true},
    {ObjectType::HighlightStyle, "HighlightStyle", four_cc("high"), true},
    {ObjectType::SubdivisionStyle, "SubdivisionStyle", four_cc("sbdv"), true},
    {ObjectType::OrientationStyle, "OrientationStyle", four_cc("ornt"), true},
    {ObjectType::ReceiveShadowsStyle, "ReceiveShadowsStyle", four_cc("rcsh"), true},
    {ObjectType::PickIDStyle, "PickIDStyle", four_cc("pkid"), true},
    {ObjectType::PickPartsStyle, "PickPartsStyle", four_cc("pkpt"), true},
    {ObjectType::CastShadowsStyle, "CastShadowsStyle", four_cc("cash"), false},
    {ObjectType::DepthRangeStyle, "DepthRangeStyle", four_cc("dprs"), false},
    {ObjectType::AntiAliasStyle, "AntiAliasStyle", four_cc("anti"), false},
    {ObjectType::FogStyle, "FogStyle", four_cc("fogg"), false},

    {ObjectType::Translate, "Translate", four_cc("trns"), true},
    {ObjectType::Scale, "Scale", four_cc("scal"), true},
    {ObjectType::Matrix, "Matrix", four_cc("mtrx"), true},
    {ObjectType::Rotate, "Rotate", four_cc("rott"), true},
    {ObjectType::RotateAboutPoint, "RotateAboutPoint", four_cc("rtap"), true},
    {ObjectType::RotateAboutAxis, "RotateAboutAxis", four_cc("rtaa"), true},
    {ObjectType::Quaternion, "Quaternion", four_cc("qtrn"), true},
    {ObjectType::ShaderTransform, "ShaderTransform", four_cc("sdxf"), true},
    {ObjectType::ShaderUVTransform, "ShaderUVTransform", four_cc("sduv"), true},

    {ObjectType::LightData, "LightData", four_cc("lght"), true},
    {ObjectType::AmbientLight, "AmbientLight", four_cc("ambn"), true},
    {ObjectType::DirectionalLight, "DirectionalLight", four_cc("drct"), true},
    {ObjectType::PointLight, "PointLight", four_cc("pntl"), true},
    {ObjectType::SpotLight, "SpotLight", four_cc("spot"), true},

    {ObjectType::CameraPlacement, "CameraPlacement", four_cc("cmpl"), true},
    {ObjectType::CameraRange, "CameraRange", four_cc("cmrg"), true},
    {ObjectType::CameraViewPort, "CameraViewPort", four_cc("cmvp"), true},
    {ObjectType::OrthographicCamera, "OrthographicCamera", four_cc("orth"), true},
    {ObjectType::ViewPlaneCamera, "ViewPlaneCamera", four_cc("vwpl"), true},
    {ObjectType::ViewAngleAspectCamera, "ViewAngleAspectCamera", four_cc("vana"), true},

    {ObjectType::Shader, "Shader", four_cc("shdr"), true},
    {ObjectType::TextureShader, "TextureShader", four_cc("txsu"), true},
    {ObjectType::PixmapTexture, "PixmapTexture", four_cc("txpm"), true},
    {ObjectType::MipmapTexture, "MipmapTexture", four_cc("txmm"), false},
    {ObjectType::LambertIllumination, "LambertIllumination", four_cc("lmil"), false},
    {ObjectType::PhongIllumination, "PhongIllumination", four_cc("phil"), false},
    {ObjectType::NULLIllumination, "NULLIllumination", four_cc("nuil"), false},

    {ObjectType::ViewHints, "ViewHints", four_cc("vwhn"), true},
    {ObjectType::ImageDimensions, "ImageDimensions", four_cc("imdm"), true},
    {ObjectType::ImageMask, "ImageMask", four_cc("immk"), true},
    {ObjectType::ImageClearColor, "ImageClearColor", four_cc("imcc"), true},
    {ObjectType::WireFrameRenderer, "WireFrame", four_cc("wrfr"), true},
    {ObjectType::InteractiveRenderer, "InteractiveRenderer", four_cc("ctwn"), false},

    {ObjectType::ForwardDirection, "ForwardDirection", kNoCode, false},
}};

constexpr bool tableInEnumOrder() {
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (std::size_t(kTable[i].type) != i) return false;
    return true;
}
static_assert(tableInEnumOrder(), "kTable rows must follow the ObjectType order");

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

struct Alias {
    std::string_view name;
    ObjectType type;
};
// Spellings seen in real files or in the reference's own examples.
constexpr std::array<Alias, 5> kTextAliases = {{
    {"Light", ObjectType::LightData},
    {"ShaderData", ObjectType::Shader},
    {"Polyline", ObjectType::PolyLine},
    {"WireFrameRenderer", ObjectType::WireFrameRenderer},
    {"Metafile", ObjectType::Metafile},
}};

struct CodeAlias {
    std::uint32_t code;
    ObjectType type;
};
// The reference prints these hex values beside some codes; they spell other characters than the
// codes real writers emit, so both are accepted.
constexpr std::array<CodeAlias, 6> kCodeAliases = {{
    {four_cc("plin"), ObjectType::PolyLine},
    {0x6C697374u /* list */, ObjectType::DisplayGroup},
    {0x6F72646Cu /* ordl */, ObjectType::OrderedDisplayGroup},
    {0x676C6768u /* glgh */, ObjectType::LightGroup},
    {0x70727879u /* prxy */, ObjectType::IOProxyDisplayGroup},
    {0x7364636Cu /* sdcl */, ObjectType::SubdivisionStyle},
}};

constexpr std::size_t longestName() {
    std::size_t longest = 0;
    for (const Entry &entry : kTable) longest = std::max(longest, entry.name.size());
    for (const Alias &alias : kTextAliases) longest = std::max(longest, alias.name.size());
    return longest;
}
constexpr std::size_t kLongestName = longestName();

}  // namespace

std::string_view type_name(ObjectType type) {
    const auto index = std::size_t(type);
    return index < kTable.size() ? kTable[index].name : std::string_view{};
}

ObjectType type_from_text_name(std::string_view name) {
    // Every object of a text file asks this, so the names are hashed once, lower-cased.
    static const auto byName = [] {
        std::unordered_map<std::string, ObjectType, StringHash, std::equal_to<>> map;
        const auto add = [&](std::string_view text, ObjectType type) {
            std::string key(text);
            for (char &c : key) c = lower(c);
            map.emplace(std::move(key),
                        type);  // the first spelling wins, as the table's order says
        };
        for (const Entry &entry : kTable)
            if (entry.type != ObjectType::Unknown) add(entry.name, entry.type);
        for (const Alias &alias : kTextAliases) add(alias.name, alias.type);
        return map;
    }();
    std::array<char, kLongestName> buffer{};
    if (name.empty() || name.size() > buffer.size()) return ObjectType::Unknown;
    for (std::size_t i = 0; i < name.size(); ++i) buffer[i] = lower(name[i]);
    const auto found = byName.find(std::string_view(buffer.data(), name.size()));
    return found == byName.end() ? ObjectType::Unknown : found->second;
}

std::uint32_t binary_code(ObjectType type) {
    const auto index = std::size_t(type);
    return index < kTable.size() ? kTable[index].code : kNoCode;
}

bool code_confirmed(ObjectType type) {
    const auto index = std::size_t(type);
    return index < kTable.size() && kTable[index].confirmed;
}

ObjectType type_from_binary_code(std::uint32_t code) {
    static const auto byCode = [] {
        std::unordered_map<std::uint32_t, ObjectType> map;
        for (const Entry &entry : kTable)
            if (entry.code != kNoCode) map.emplace(entry.code, entry.type);
        for (const CodeAlias &alias : kCodeAliases) map.emplace(alias.code, alias.type);
        return map;
    }();
    const auto found = byCode.find(code);
    return found == byCode.end() ? ObjectType::Unknown : found->second;
}

bool is_geometry(ObjectType t) {
    switch (t) {
        case ObjectType::Point:
        case ObjectType::Line:
        case ObjectType::PolyLine:
        case ObjectType::Triangle:
        case ObjectType::Polygon:
        case ObjectType::GeneralPolygon:
        case ObjectType::Box:
        case ObjectType::TriGrid:
        case ObjectType::Polyhedron:
        case ObjectType::Mesh:
        case ObjectType::TriMesh:
        case ObjectType::Ellipse:
        case ObjectType::NURBCurve:
        case ObjectType::NURBPatch:
        case ObjectType::Ellipsoid:
        case ObjectType::Cylinder:
        case ObjectType::Disk:
        case ObjectType::Cone:
        case ObjectType::Torus:
        case ObjectType::Marker:
        case ObjectType::PixmapMarker:
            return true;
        default:
            return false;
    }
}

bool is_group_kind(ObjectType type) {
    switch (type) {
        case ObjectType::Group:
        case ObjectType::DisplayGroup:
        case ObjectType::OrderedDisplayGroup:
        case ObjectType::LightGroup:
        case ObjectType::InfoGroup:
        case ObjectType::IOProxyDisplayGroup:
            return true;
        default:
            return false;
    }
}

}  // namespace tarvex::tree
