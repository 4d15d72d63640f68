// Big-endian bytes put together by hand for binary reader tests.
#pragma once

#include <bit>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tarvex::binary::testing {

class Bytes {
  public:
    std::vector<std::uint8_t> data;

    Bytes &u8(std::uint8_t v) {
        data.push_back(v);
        return *this;
    }
    Bytes &u16(std::uint16_t v) { return u8(std::uint8_t(v >> 8)).u8(std::uint8_t(v)); }
    Bytes &u32(std::uint32_t v) { return u16(std::uint16_t(v >> 16)).u16(std::uint16_t(v)); }
    Bytes &i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    Bytes &u64(std::uint64_t v) { return u32(std::uint32_t(v >> 32)).u32(std::uint32_t(v)); }
    Bytes &f32(float v) { return u32(std::bit_cast<std::uint32_t>(v)); }
    Bytes &floats(std::initializer_list<float> values) {
        for (const float v : values) f32(v);
        return *this;
    }
    Bytes &u32s(std::initializer_list<std::uint32_t> values) {
        for (const std::uint32_t v : values) u32(v);
        return *this;
    }
    Bytes &u8s(std::initializer_list<std::uint8_t> values) {
        data.insert(data.end(), values.begin(), values.end());
        return *this;
    }
    Bytes &chars(std::string_view text) {
        data.insert(data.end(), text.begin(), text.end());
        return *this;
    }
    // A zero-terminated string, padded with zeros to a multiple of 4 bytes when `pad`.
    Bytes &string(std::string_view text, bool pad = true) {
        chars(text).u8(0);
        while (pad && data.size() % 4 != 0) u8(0);
        return *this;
    }
    Bytes &append(const Bytes &other) {
        data.insert(data.end(), other.data.begin(), other.data.end());
        return *this;
    }
    // An object: four-character code, data size, data.
    Bytes &object(std::string_view code, const Bytes &body = Bytes{}) {
        return chars(code).u32(static_cast<std::uint32_t>(body.data.size())).append(body);
    }
    std::size_t size() const { return data.size(); }
};

// The 24-byte file header: version 1.6.
inline Bytes header(std::uint32_t flags = 0, std::uint64_t toc = 0) {
    Bytes body;
    body.u16(1).u16(6).u32(flags).u64(toc);
    return Bytes{}.object("3DMF", body);
}

}  // namespace tarvex::binary::testing
