// Which node each node of a scene stands for once `use` chains are followed. Shared by the
// writers and the draw list, so that all of them agree on what a broken or looping chain means.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/scene.h"

namespace tarvex::scene {

// For every node, the node it stands for: itself unless it is a `use`, else the end of its
// chain; kNone when the chain leads nowhere or loops. Linear in the number of nodes however
// the chains run, so that a hostile file cannot make it slow.
std::vector<std::uint32_t> resolve_uses(const Scene &scene);

// Nodes (after resolving uses) that groups reach more than once: they are written in full once
// and then referred to, so they need a name.
std::vector<bool> shared_nodes(const Scene &scene, const std::vector<std::uint32_t> &resolved);

// Textures more than one shape shows.
std::vector<bool> shared_textures(const Scene &scene);

}  // namespace tarvex::scene
