#include "readers/binary/type_codes.h"

namespace tarvex::binary {

tree::ObjectType TypeCodes::type_of(std::uint32_t code) {
    if ((code & 0x80000000u) != 0) return tree::ObjectType::Unknown;
    return tree::type_from_binary_code(code);
}

bool TypeCodes::declared(std::uint32_t code) const {
    return custom_.find(static_cast<std::int32_t>(code)) != custom_.end();
}

std::string TypeCodes::name_of(std::uint32_t code) const {
    if ((code & 0x80000000u) != 0) {
        const auto found = custom_.find(static_cast<std::int32_t>(code));
        if (found != custom_.end()) return found->second;
        return std::to_string(static_cast<std::int32_t>(code));
    }
    const tree::ObjectType type = tree::type_from_binary_code(code);
    if (type != tree::ObjectType::Unknown) return std::string(tree::type_name(type));
    return code_text(code);
}

std::string code_text(std::uint32_t code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(code >> (24 - 8 * i));
        if (c < 0x20 || c > 0x7E) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            std::string hex = "0x";
            for (int shift = 28; shift >= 0; shift -= 4) hex += kHex[(code >> shift) & 0xF];
            return hex;
        }
        text[i] = static_cast<char>(c);
    }
    return text;
}

}  // namespace tarvex::binary
