// Deterministic 3DMF scenes for the benchmark, written straight to a file.
#pragma once

#include <cstdint>
#include <string>

namespace tarvex::bench {

struct SceneSize {
    std::uint64_t bytes = 0;
    std::uint64_t points = 0;
    std::uint64_t triangles = 0;
};

// One grid mesh of side x side points (two triangles per grid cell) with six-decimal
// coordinates, followed by a vertex-normal attribute array that the reader skips.
SceneSize write_big_mesh_scene(const std::string &path, int side);

// The same mesh (the same numbers, read back from the same six-decimal text) in the binary form of
// the format, for comparing the two readers.
SceneSize write_big_mesh_binary_scene(const std::string &path, int side);

// `meshes` named cubes of 12 triangles, each with its own colour, and one named camera and one
// named directional light per hundred meshes.
SceneSize write_small_meshes_scene(const std::string &path, int meshes);

}  // namespace tarvex::bench
