// Full mode's VRML 97 writer: a built scene as a VRML 97 world.
//
// The text is meant to be read by people as well as browsers: two spaces a level (deeper than
// kMaxIndentLevels levels the indentation stops growing, so that deep nesting cannot blow the
// output up), one point, colour or face a line, and fields left out where they hold VRML's
// default. Numbers are the shortest text that reads back to the same float.
#pragma once

#include <string>

#include "core/output_buffer.h"
#include "scene/scene.h"
#include "writers/common/write_problems.h"

namespace tarvex::vrml97 {

inline constexpr int kMaxIndentLevels = 40;

// What the writer had to mend, counted alike by the X3D writer; named here too for this writer's
// callers.
using writers::WriteProblems;

// Writes `scene` as a VRML 97 world to `out` and finishes it (flushes and closes its stream).
// False when a write failed or memory ran out. `problems`, when given, receives what had to be
// mended (see WriteProblems). Colours and intensities are clamped to VRML's 0..1 range.
bool write_scene(const scene::Scene &scene, OutputBuffer &out, WriteProblems *problems = nullptr);

// Writes `scene` to `fileName` ("stdout": standard output) through OutputFile, which replaces an
// existing file only once everything was written. 0 written, 1 failed.
int write_scene_file(const scene::Scene &scene, const std::string &fileName, bool binaryMode,
                     WriteProblems *problems = nullptr);

// The world as text in memory (tests, fuzzing). Empty when memory ran out.
std::string write_scene_string(const scene::Scene &scene, WriteProblems *problems = nullptr);

}  // namespace tarvex::vrml97
