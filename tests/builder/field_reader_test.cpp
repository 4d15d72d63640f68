#include "builder/field_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex::builder {
namespace {

// Each length of UTF-8 a code unit or a surrogate pair turns into, the boundaries between them,
// surrogates without their other half, and the end at a zero unit.
TEST(field_reader, utf16_becomes_utf8_of_every_length) {
    const struct {
        std::vector<std::uint16_t> units;
        std::string utf8;
    } cases[] = {
        {{0x41, 0x7F}, "A\x7F"},
        {{0x80, 0xE9, 0x7FF}, "\xC2\x80\xC3\xA9\xDF\xBF"},
        {{0x800, 0x20AC, 0xFFFF}, "\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF"},
        {{0xD800, 0xDC00, 0xD83D, 0xDE00, 0xDBFF, 0xDFFF},
         "\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
        {{0xD83D, 0x41, 0xDE00},
         "\xEF\xBF\xBD"
         "A"
         "\xEF\xBF\xBD"},
        {{0x41, 0, 0x42}, "A"},
    };
    for (const auto &c : cases) {
        std::vector<std::uint8_t> bytes;
        for (const std::uint16_t u : c.units)
            bytes.insert(bytes.end(), {std::uint8_t(u >> 8), std::uint8_t(u)});
        EXPECT_EQ(utf8_from_utf16be(bytes, static_cast<std::uint32_t>(c.units.size())), c.utf8)
            << c.units.size() << " units from " << c.units[0];
    }
}

}  // namespace
}  // namespace tarvex::builder
