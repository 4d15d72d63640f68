// Telling an object's type from its binary code: the type table, plus the custom types a file
// declares for itself with `type` objects (negative codes standing for owner-qualified names).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tree/object_type.h"

namespace tarvex::binary {

class TypeCodes {
  public:
    // A later declaration of the same code replaces the earlier one.
    void declare(std::int32_t code, std::string_view name) { custom_[code] = std::string(name); }
    void clear() { custom_.clear(); }

    // The type `code` stands for (Unknown for custom and unknown codes).
    static tree::ObjectType type_of(std::uint32_t code);
    // Whether a negative (custom) code was declared.
    bool declared(std::uint32_t code) const;
    // The name to keep for the object: the type's text name, a custom type's declared name, the
    // four characters of an unknown code (or its hexadecimal value when they are not printable),
    // or the decimal value of an undeclared custom code.
    std::string name_of(std::uint32_t code) const;

  private:
    std::unordered_map<std::int32_t, std::string> custom_;
};

// Four printable characters as they are ("toc "), anything else as "0x1234ABCD".
std::string code_text(std::uint32_t code);

}  // namespace tarvex::binary
