// Full mode's glTF 2.0 writer: a built scene as a glTF asset, binary (.glb) or JSON (.gltf).
//
// A .gltf carries its buffer inside as a base64 data URI rather than in a .bin beside it: the
// output stays one file, so it is replaced whole or not at all like every other output, it can
// go to standard output, and no second name can collide with an input or another output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace tarvex::gltf {

enum class Container { glb, gltf };

// What the writer could not carry over or had to mend; empty for most scenes.
struct WriteReport {
    std::uint64_t non_finite_numbers = 0;  // written as 0
    std::uint64_t bad_normals = 0;         // of no length: written as +z
    std::uint64_t dropped = 0;       // left out: a missing node, shape or texture, a use cycle, or
                                     // instances past the bound a hostile file could blow up
    std::vector<std::string> notes;  // what glTF cannot express (the ambient light)
};

// The asset in memory. False when memory ran out.
bool write_gltf(const scene::Scene &scene, Container container, std::string &bytes,
                WriteReport *report = nullptr);

// Writes to `fileName` ("stdout": standard output) through OutputFile, which replaces an
// existing file only once everything was written. 0 written, 1 failed.
int write_gltf_file(const scene::Scene &scene, const std::string &fileName, Container container,
                    WriteReport *report = nullptr);

}  // namespace tarvex::gltf
