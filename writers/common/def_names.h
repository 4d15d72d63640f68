// DEF names for one VRML or X3D file: made from labels, each used once however the labels repeat.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "core/vrml_names.h"

namespace tarvex::writers {

class DefNames {
  public:
    // A name made from `source` that no earlier name of this file has: the label made a valid
    // name, then with _1, _2, ... until one is free.
    std::string unique(std::string_view source) {
        std::string base = vrml_def_name(source);
        if (names_.insert(base).second) return base;
        std::uint32_t &suffix = nextSuffix_[base];
        for (;;) {
            std::string candidate = base + "_" + std::to_string(++suffix);
            if (names_.insert(candidate).second) return candidate;
        }
    }

  private:
    std::unordered_set<std::string> names_;
    std::unordered_map<std::string, std::uint32_t> nextSuffix_;  // where the search goes on
};

}  // namespace tarvex::writers
