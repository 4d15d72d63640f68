// Giving an object tree its 3DMF meaning: groups and their state, transforms, attribute
// inheritance, shaders and styles, every geometry type, lights and cameras, shared objects.
#pragma once

#include <cstdint>
#include <string>

#include "format/diagnostics.h"
#include "format/object_tree.h"
#include "scene/scene.h"

namespace tarvex::scene {

struct BuildResult {
    bool ok = true;
    std::uint64_t position = 0;  // where the failure is (line or byte offset)
    std::string message;         // what is wrong, e.g. "Reference 3 refers back to itself"
};

// Builds `scene` (expected empty) from `tree`, which must have been resolve()d. Numbers are
// converted in place in the tree and big arrays are borrowed from it, so the tree must outlive
// the scene unchanged. Objects that cannot be expressed are reported to `diagnostics`
// (skipped(), warn()); a failure keeps everything built before it.
BuildResult build_scene(format::ObjectTree &tree, Scene &scene, format::Diagnostics &diagnostics);

}  // namespace tarvex::scene
