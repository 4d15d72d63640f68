#include "readers/binary/enum_words.h"

#include <array>

namespace tarvex::binary {
namespace {

constexpr std::array<EnumWord, 2> kBoolean = {{{"False", 0}, {"True", 1}}};
constexpr std::array<EnumWord, 3> kMetafileFlags = {
    {{"Normal", 0}, {"Stream", 1}, {"Database", 2}}};
constexpr std::array<EnumWord, 6> kDisplayGroupState = {{{"None", 0},
                                                         {"IsInline", 1},
                                                         {"DoNotDraw", 2},
                                                         {"NoBoundingBox", 4},
                                                         {"NoBoundingSphere", 8},
                                                         {"DoNotPick", 16}}};
constexpr std::array<EnumWord, 3> kPolygonShape = {{{"Complex", 0}, {"Concave", 1}, {"Convex", 2}}};
// Interior (the faces closing a cut-open quadric) is a later addition real files use.
constexpr std::array<EnumWord, 4> kCaps = {
    {{"None", 0}, {"Top", 1}, {"Bottom", 2}, {"Interior", 4}}};
constexpr std::array<EnumWord, 2> kPacking = {{{"Include", 0}, {"Exclude", 1}}};
constexpr std::array<EnumWord, 3> kBackfacing = {{{"Both", 0}, {"Culled", 1}, {"Flipped", 2}}};
constexpr std::array<EnumWord, 3> kInterpolation = {{{"None", 0}, {"Vertex", 1}, {"Pixel", 2}}};
constexpr std::array<EnumWord, 3> kFill = {{{"Filled", 0}, {"Edges", 1}, {"Points", 2}}};
constexpr std::array<EnumWord, 2> kOrientation = {{{"CounterClockwise", 0}, {"Clockwise", 1}}};
constexpr std::array<EnumWord, 3> kSubdivision = {
    {{"Constant", 0}, {"WorldSpace", 1}, {"ScreenSpace", 2}}};
// Picking only; the masks of the programming interface, not the reference's printed list.
constexpr std::array<EnumWord, 4> kPickParts = {
    {{"Object", 0}, {"Face", 1}, {"Edge", 2}, {"Vertex", 4}}};
constexpr std::array<EnumWord, 3> kAxis = {{{"X", 0}, {"Y", 1}, {"Z", 2}}};
constexpr std::array<EnumWord, 3> kAttenuation = {
    {{"None", 0}, {"InverseDistance", 1}, {"InverseDistanceSquared", 2}}};
constexpr std::array<EnumWord, 4> kFallOff = {
    {{"None", 0}, {"Linear", 1}, {"Exponential", 2}, {"Cosine", 3}}};
// Mirror is written by real files but its number is in no page we could read: 2 is provisional.
constexpr std::array<EnumWord, 3> kBoundary = {{{"Wrap", 0}, {"Clamp", 1}, {"Mirror", 2}}};
constexpr std::array<EnumWord, 6> kPixelType = {
    {{"RGB32", 0}, {"ARGB32", 1}, {"RGB16", 2}, {"ARGB16", 3}, {"RGB16_565", 4}, {"RGB24", 5}}};
constexpr std::array<EnumWord, 2> kEndian = {{{"BigEndian", 0}, {"LittleEndian", 1}}};

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

std::span<const EnumWord> enum_words(EnumTable table) {
    switch (table) {
        case EnumTable::Boolean:
            return kBoolean;
        case EnumTable::MetafileFlags:
            return kMetafileFlags;
        case EnumTable::DisplayGroupState:
            return kDisplayGroupState;
        case EnumTable::PolygonShape:
            return kPolygonShape;
        case EnumTable::Caps:
            return kCaps;
        case EnumTable::Packing:
            return kPacking;
        case EnumTable::Backfacing:
            return kBackfacing;
        case EnumTable::Interpolation:
            return kInterpolation;
        case EnumTable::Fill:
            return kFill;
        case EnumTable::Orientation:
            return kOrientation;
        case EnumTable::Subdivision:
            return kSubdivision;
        case EnumTable::PickParts:
            return kPickParts;
        case EnumTable::Axis:
            return kAxis;
        case EnumTable::Attenuation:
            return kAttenuation;
        case EnumTable::FallOff:
            return kFallOff;
        case EnumTable::Boundary:
            return kBoundary;
        case EnumTable::PixelType:
            return kPixelType;
        case EnumTable::Endian:
            return kEndian;
    }
    return {};
}

bool is_bitfield(EnumTable table) {
    return table == EnumTable::DisplayGroupState || table == EnumTable::Caps ||
           table == EnumTable::PickParts || table == EnumTable::MetafileFlags;
}

std::optional<std::uint32_t> enum_value(EnumTable table, std::string_view word) {
    for (const EnumWord &entry : enum_words(table))
        if (equalNoCase(entry.word, word)) return entry.value;
    return std::nullopt;
}

}  // namespace tarvex::binary
