#include "core/recognise_3dmf.h"

#include <array>
#include <cstdio>
#include <string>
#include <system_error>
#include <unordered_set>

#include "core/file_names.h"

namespace tarvex {
namespace {

// The text names of the object types the 3DMF readers know, with the other spellings they accept.
// The default mode cannot see the readers' own table; a test holds the two lists together.
constexpr std::string_view kTypeNames[] = {
    "3DMetafile", "TableOfContents", "Reference", "Type", "Container", "BeginGroup", "EndGroup",
    "Group", "DisplayGroup", "OrderedDisplayGroup", "LightGroup", "InfoGroup",
    "IOProxyDisplayGroup", "DisplayGroupState", "UnknownText", "UnknownBinary", "CString",
    "Unicode", "ExternalReference", "Point", "Line", "PolyLine", "Triangle", "Polygon",
    "GeneralPolygon", "GeneralPolygonHint", "Box", "TriGrid", "Polyhedron", "Mesh", "MeshCorners",
    "MeshEdges", "TriMesh", "AttributeArray", "Ellipse", "NURBCurve", "NURBCurve2D", "TrimLoop",
    "NURBPatch", "Ellipsoid", "Cylinder", "Disk", "Cone", "Torus", "Caps", "Marker", "PixmapMarker",
    "DiffuseColor", "SpecularColor", "SpecularControl", "TransparencyColor", "AmbientCoefficient",
    "Normal", "SurfaceUV", "ShadingUV", "SurfaceTangent", "HighlightState", "AttributeSet",
    "TopCapAttributeSet", "BottomCapAttributeSet", "FaceCapAttributeSet", "InteriorCapAttributeSet",
    "GeometryAttributeSetList", "FaceAttributeSetList", "VertexAttributeSetList", "BackfacingStyle",
    "InterpolationStyle", "FillStyle", "HighlightStyle", "SubdivisionStyle", "OrientationStyle",
    "ReceiveShadowsStyle", "PickIDStyle", "PickPartsStyle", "CastShadowsStyle", "DepthRangeStyle",
    "AntiAliasStyle", "FogStyle", "Translate", "Scale", "Matrix", "Rotate", "RotateAboutPoint",
    "RotateAboutAxis", "Quaternion", "ShaderTransform", "ShaderUVTransform", "LightData",
    "AmbientLight", "DirectionalLight", "PointLight", "SpotLight", "CameraPlacement", "CameraRange",
    "CameraViewPort", "OrthographicCamera", "ViewPlaneCamera", "ViewAngleAspectCamera", "Shader",
    "TextureShader", "PixmapTexture", "MipmapTexture", "LambertIllumination", "PhongIllumination",
    "NULLIllumination", "ViewHints", "ImageDimensions", "ImageMask", "ImageClearColor", "WireFrame",
    "InteractiveRenderer", "ForwardDirection",
    // other spellings
    "Light", "ShaderData", "WireFrameRenderer", "Metafile"};

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view text) {
    std::string result(text);
    for (char &c : result) c = lower(c);
    return result;
}

const std::unordered_set<std::string> &lowercaseTypeNames() {
    static const std::unordered_set<std::string> names = [] {
        std::unordered_set<std::string> set;
        for (const std::string_view name : kTypeNames) set.insert(lowered(name));
        return set;
    }();
    return names;
}

// The classes of bytes the text reader gives meaning to.
enum class Byte { skipped, comment, line_end, delimiter, word };

constexpr std::array<Byte, 256> makeClasses() {
    std::array<Byte, 256> classes{};
    classes.fill(Byte::word);
    for (int c = 0; c < 0x20; ++c) classes[c] = Byte::skipped;  // NUL and the controls too
    classes[' '] = Byte::skipped;
    classes[','] = Byte::skipped;
    classes['\n'] = Byte::line_end;
    classes['\r'] = Byte::line_end;
    classes['#'] = Byte::comment;
    for (const char c : {'(', ')', '|', '"'})
        classes[static_cast<unsigned char>(c)] = Byte::delimiter;
    return classes;
}
constexpr std::array<Byte, 256> kClass = makeClasses();

}  // namespace

bool is_3dmf_type_name(std::string_view name) {
    return !name.empty() && lowercaseTypeNames().contains(lowered(name));
}

Recognise3dmf::Verdict Recognise3dmf::feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (verdict_ != Verdict::undecided) return verdict_;
        if (seen_ < 4 && c != "3DMF"[seen_]) firstBytesBinary_ = false;
        if (++seen_ == 4 && firstBytesBinary_) return verdict_ = Verdict::yes;
        const Byte kind = kClass[static_cast<unsigned char>(c)];
        if (inComment_) {
            inComment_ = kind != Byte::line_end;
        } else if (kind == Byte::word) {
            if (c == ':') {
                // A label glued to its object ("cube:TriMesh") leaves the name after it.
                sawColon_ = true;
                tokenSize_ = 0;
                tokenTooLong_ = false;
            } else if (tokenSize_ < sizeof token_) {
                token_[tokenSize_++] = c;
            } else {
                tokenTooLong_ = true;
            }
            inToken_ = true;
        } else {
            if (inToken_) verdict_ = token();
            if (verdict_ == Verdict::undecided && kind == Byte::delimiter) verdict_ = delimiter(c);
            inComment_ = kind == Byte::comment;
        }
        if (verdict_ == Verdict::undecided && seen_ >= kLookedAtMost) verdict_ = Verdict::yes;
    }
    return verdict_;
}

Recognise3dmf::Verdict Recognise3dmf::finish() {
    if (verdict_ == Verdict::undecided && inToken_) verdict_ = token();
    // A name that the input ends after, before its "(", is no object.
    if (verdict_ == Verdict::undecided) verdict_ = Verdict::no;
    return verdict_;
}

Recognise3dmf::Verdict Recognise3dmf::token() {
    const std::string_view text(token_, tokenSize_);
    const bool name = !tokenTooLong_ && is_3dmf_type_name(text);
    const bool label = sawColon_ && text.empty();
    const bool header = !sawColon_ && !tokenTooLong_ && lowered(text) == "3dmetafile";
    inToken_ = sawColon_ = tokenTooLong_ = false;
    tokenSize_ = 0;
    switch (expect_) {
        case Expect::header_or_name:
            if (header) return Verdict::yes;
            if (label) {
                expect_ = Expect::name_after_label;
                return Verdict::undecided;
            }
            [[fallthrough]];
        case Expect::name_after_label:
            if (!name) return Verdict::no;
            expect_ = Expect::open_after_name;
            return Verdict::undecided;
        case Expect::open_after_name:
            break;
    }
    return Verdict::no;
}

Recognise3dmf::Verdict Recognise3dmf::delimiter(char c) {
    return expect_ == Expect::open_after_name && c == '(' ? Verdict::yes : Verdict::no;
}

bool is_3dmf(std::string_view head) {
    Recognise3dmf recognise;
    recognise.feed(head);
    return recognise.finish() == Recognise3dmf::Verdict::yes;
}

bool holds_3dmf(const std::filesystem::path &path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    std::FILE *file = open_file(path, "rb");
    if (file == nullptr) return false;
    Recognise3dmf recognise;
    std::array<char, 4096> piece{};
    Recognise3dmf::Verdict verdict = Recognise3dmf::Verdict::undecided;
    while (verdict == Recognise3dmf::Verdict::undecided) {
        const std::size_t got = std::fread(piece.data(), 1, piece.size(), file);
        if (got == 0) break;
        verdict = recognise.feed(std::string_view(piece.data(), got));
    }
    std::fclose(file);
    return recognise.finish() == Recognise3dmf::Verdict::yes;
}

}  // namespace tarvex
