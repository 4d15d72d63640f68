#include "scene/use_chains.h"

namespace tarvex::scene {

std::vector<std::uint32_t> resolve_uses(const Scene &scene) {
    const std::vector<Node> &nodes = scene.nodes;
    constexpr std::uint32_t kPending = kNone - 1, kOnPath = kNone - 2;
    std::vector<std::uint32_t> resolved(nodes.size(), kPending);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].kind != Node::Kind::use) resolved[i] = static_cast<std::uint32_t>(i);
    }
    std::vector<std::uint32_t> path;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (resolved[i] != kPending) continue;
        path.clear();
        std::uint32_t at = static_cast<std::uint32_t>(i);
        while (at < nodes.size() && resolved[at] == kPending) {
            resolved[at] = kOnPath;
            path.push_back(at);
            at = nodes[at].used;
        }
        const std::uint32_t target =
            at < nodes.size() && resolved[at] != kOnPath ? resolved[at] : kNone;
        for (const std::uint32_t node : path) resolved[node] = target;
    }
    return resolved;
}

std::vector<bool> shared_nodes(const Scene &scene, const std::vector<std::uint32_t> &resolved) {
    const std::vector<Node> &nodes = scene.nodes;
    std::vector<std::uint8_t> references(nodes.size(), 0);
    for (const Node &node : nodes) {
        if (node.kind != Node::Kind::group && node.kind != Node::Kind::transform) continue;
        for (const std::uint32_t child : node.children) {
            const std::uint32_t target = child < resolved.size() ? resolved[child] : kNone;
            if (target != kNone && references[target] < 2) ++references[target];
        }
    }
    std::vector<bool> shared(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) shared[i] = references[i] >= 2;
    return shared;
}

std::vector<bool> shared_textures(const Scene &scene) {
    std::vector<std::uint8_t> uses(scene.textures.size(), 0);
    for (const Shape &shape : scene.shapes) {
        const std::uint32_t t = shape.appearance.texture;
        if (t < uses.size() && uses[t] < 2) ++uses[t];
    }
    std::vector<bool> shared(uses.size());
    for (std::size_t i = 0; i < uses.size(); ++i) shared[i] = uses[i] >= 2;
    return shared;
}

}  // namespace tarvex::scene
