// What was read, object by object, as the desktop program's tree shows it. The builder makes it
// on the way, since only it knows each object's drawing order and size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace tarvex::builder {

// One line of what-was-read, for the desktop program's tree: groups are folders (depth grows
// under them), each object shows its type, its label and its size ("12 triangles, 8 points").
struct OutlineItem {
    std::uint32_t depth = 0;
    bool is_group = false;
    std::string type;
    std::string label;
    std::string size;
    std::uint32_t source = scene::kNone;  // the object tree node, as in Shape::source
};

using Outline = std::vector<OutlineItem>;

}  // namespace tarvex::builder
