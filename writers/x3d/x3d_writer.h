// Full mode's X3D writer: a built scene in X3D's XML encoding, version 3.3, Immersive profile.
//
// 3.3 rather than 4.0: the VRML 97 nodes the scene is made of are all in 3.3 unchanged, every
// current X3D browser and authoring tool reads 3.3 (4.0 readers included), and 4.0's additions
// (physically based materials, new lighting) have nothing in a 3DMF scene to carry. The nodes,
// their fields and DEF/USE are those of the VRML 97 output, including how broken index arrays
// are mended (writers/common/index_repair.h).
#pragma once

#include <string>

#include "core/output_buffer.h"
#include "scene/scene.h"
#include "writers/common/write_problems.h"

namespace tarvex::x3d {

// Writes `scene` to `out` and finishes it. False when a write failed or memory ran out.
bool write_x3d(const scene::Scene &scene, OutputBuffer &out,
               writers::WriteProblems *problems = nullptr);

// Writes to `fileName` ("stdout": standard output) through OutputFile. 0 written, 1 failed.
int write_x3d_file(const scene::Scene &scene, const std::string &fileName,
                   writers::WriteProblems *problems = nullptr);

// The document in memory (tests). Empty when memory ran out.
std::string write_x3d_string(const scene::Scene &scene, writers::WriteProblems *problems = nullptr);

}  // namespace tarvex::x3d
