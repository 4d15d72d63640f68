// The words the text form writes for enum, bitfield and boolean fields, with the numbers the
// binary form stores for them. The binary reader gives these fields as numbers; whoever meets the
// text form's words (a writer of binary files, a comparison of both forms) maps them here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tarvex::binary {

enum class EnumTable : std::uint8_t {
    Boolean,            // False 0, True 1
    MetafileFlags,      // Normal, Stream, Database
    DisplayGroupState,  // bitfield
    PolygonShape,       // GeneralPolygonHint
    Caps,               // bitfield
    Packing,            // attribute set lists: Include, Exclude
    Backfacing,
    Interpolation,
    Fill,
    Orientation,
    Subdivision,
    PickParts,  // bitfield
    Axis,
    Attenuation,
    FallOff,
    Boundary,
    PixelType,
    Endian,  // bit and byte orders
};

struct EnumWord {
    std::string_view word;
    std::uint32_t value;
};

std::span<const EnumWord> enum_words(EnumTable table);

// Bitfields join several words with `|`; their numbers are ORed.
bool is_bitfield(EnumTable table);

// The number of `word` (matched case-insensitively); nullopt when the table has no such word.
std::optional<std::uint32_t> enum_value(EnumTable table, std::string_view word);

}  // namespace tarvex::binary
