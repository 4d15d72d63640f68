// The VRML 97 writer. The text it produces is an external interface: every literal below,
// spacing and irregular indentation included, is written exactly.
#include <cstdint>
#include <cstdio>
#include <exception>

#include "core/convert.h"
#include "core/output_buffer.h"
#include "core/output_file.h"
#include "core/progress.h"
#include "core/scene_store.h"
#include "core/vrml_names.h"

namespace tarvex {
namespace {

// Reports the share of records visited before this one; 100 is never reported.
class RecordProgress {
  public:
    RecordProgress(std::int64_t nNodes, const Progress &update_display)
        : nNodes_(nNodes), update_display_(update_display) {}
    void step() {
        if (update_display_) update_display_(static_cast<int>(thisNode_ * 100 / nNodes_), "");
        ++thisNode_;
    }

  private:
    std::int64_t nNodes_;
    const Progress &update_display_;
    std::int64_t thisNode_ = 0;
};

void writeDefPrefix(OutputBuffer &out, std::string_view indent, const std::string &defName) {
    if (defName.empty()) return;
    out.write(indent);
    out.write("DEF ");
    out.write(vrml_def_name(defName));
    out.write(" ");
}

void writeTriple(OutputBuffer &out, float a, float b, float c) {
    out.writeFixed6(a);
    out.write(" ");
    out.writeFixed6(b);
    out.write(" ");
    out.writeFixed6(c);
}

char *append(char *out, std::string_view text) {
    text.copy(out, text.size());
    return out + text.size();
}

// The lines of a mesh's arrays are nearly all of a big world: each is formatted in place, with
// one bounds check. `maxChars` bounds what `format` writes for one value.
template <class T, class Format>
void writeArrayLine(OutputBuffer &out, std::string_view indent, T a, T b, T c, Format format,
                    std::size_t maxChars, std::string_view end) {
    char *at = out.reserve(indent.size() + 3 * maxChars + 2 + end.size());
    at = append(at, indent);
    at = format(at, a);
    *at++ = ' ';
    at = format(at, b);
    *at++ = ' ';
    at = format(at, c);
    out.commit(append(at, end));
}

void writeViewpoint(OutputBuffer &out, const Viewpoint &vp) {
    writeDefPrefix(out, "", vp.defName);
    out.write("Viewpoint{\n  position ");
    writeTriple(out, vp.position.x, vp.position.y, vp.position.z);
    out.write("\n  orientation ");
    writeTriple(out, vp.orientation.x, vp.orientation.y, vp.orientation.z);
    out.write(" ");
    out.writeFixed6(vp.orientation.angle);
    out.write("\n  description \"");
    out.write(vrml_string_body(vp.description));
    out.write("\"\n}\n");
}

void writeLight(OutputBuffer &out, const DirectionalLight &light) {
    writeDefPrefix(out, "    ", light.defName);
    out.write("DirectionalLight {\n      color ");
    writeTriple(out, light.color.r, light.color.g, light.color.b);
    out.write("\n      intensity ");
    out.writeFixed6(light.intensity);
    out.write("\n      ambientIntensity ");
    out.writeFixed6(light.ambientIntensity);
    out.write("\n      direction ");
    writeTriple(out, light.direction.x, light.direction.y, light.direction.z);
    out.write("\n    }\n");
}

// A mesh whose reading stopped early keeps what was read and nothing more: writing the elements
// it only declared would let a few bytes fill a disk with zeros, and a triangle naming a point
// that never came would show a point that is not in the file.
bool namesReadPoints(const TriangleIndex &t, std::size_t points) {
    const auto read = [points](int i) { return i >= 0 && static_cast<std::size_t>(i) < points; };
    return read(t.first) && read(t.second) && read(t.third);
}

void writeShape(OutputBuffer &out, const Shape &shape) {
    writeDefPrefix(out, "    ", shape.defName);
    const SFColor &color = shape.appearance.material.diffuseColor;
    out.write(
        "Shape {\n"
        "      appearance Appearance {\n"
        "        material Material {\n"
        "          diffuseColor ");
    writeTriple(out, color.r, color.g, color.b);
    out.write(
        "\n"
        "        }\n"
        "      }\n"
        "      geometry IndexedFaceSet {\n"
        "        coord Coordinate {\n"
        "          point [\n");
    const MFVec3f &points = shape.geometry.coord.point;
    const TriangleIndexArray &triangles = shape.geometry.coordIndex;
    const bool whole = points.whole() && triangles.whole();
    for (const SFVec3f &p : points.v) {
        writeArrayLine(out, "            ", p.x, p.y, p.z, format_fixed6, kMaxFixedFloatChars,
                       "\n");
    }
    out.write(
        "          ]\n"
        "        }\n"
        "        coordIndex [\n");
    for (const TriangleIndex &t : triangles.v) {
        if (!whole && !namesReadPoints(t, points.v.size())) continue;
        writeArrayLine(out, "          ", t.first, t.second, t.third, format_int, kMaxIntChars,
                       " -1\n");
    }
    out.write(
        "        ]\n"
        "      }\n"
        "    }\n");
}

void writeWorld(OutputBuffer &out, const Progress &update_display) {
    const int viewpoints = numberOfViewpoints();
    const int lights = numberOfLights();
    const int shapes = numberOfShapes();
    RecordProgress progress(std::int64_t{viewpoints} + lights + shapes, update_display);

    out.write(
        "#VRML V2.0 utf8\n"
        "NavigationInfo {\n"
        "  type [ \"WALK\" \"ANY\" ]\n");
    if (lights > 0) out.write("  headlight FALSE\n");
    out.write("}\n");
    RepeatFilter<Viewpoint, sameViewpoint> viewpointFilter;
    for (int i = 0; i < viewpoints; ++i) {
        const Viewpoint &viewpoint = *getViewpoint(i);
        if (viewpointFilter.isUnique(viewpoint)) writeViewpoint(out, viewpoint);
        progress.step();
    }
    out.write("Transform {\n  children [\n");
    RepeatFilter<DirectionalLight, sameLight> lightFilter;
    for (int i = 0; i < lights; ++i) {
        const DirectionalLight &light = *getLight(i);
        if (lightFilter.isUnique(light)) writeLight(out, light);
        progress.step();
    }
    for (int i = 0; i < shapes; ++i) {
        writeShape(out, *getShape(i));
        progress.step();
    }
    out.write("  ]\n}\n");
}

int writeWorldFile(const std::string &fileName, OutputMode mode, const Progress &progress) {
    OutputFile output(fileName, mode == OutputMode::binary);
    if (!output.stream()) return 1;
    // The stream changes hands only once the buffer exists, so that it is closed either way.
    OutputBuffer out(output.stream());
    output.release();
    writeWorld(out, progress);
    const bool written = out.finish();
    return output.commit(written) ? 0 : 1;
}

}  // namespace

int write_out(const std::string &fileName, OutputMode mode, const Progress &progress) {
    // Running out of memory (names as long as the input allows) is one more failed write; the
    // temporary is gone and the old file untouched by the time the exception arrives here.
    try {
        return writeWorldFile(fileName, mode, progress);
    } catch (const std::exception &) {
        return 1;
    }
}

int write_out_string(std::string &world, const Progress &progress) {
    try {
        OutputBuffer out(world);
        writeWorld(out, progress);
        return out.finish() ? 0 : 1;
    } catch (const std::exception &) {
        return 1;
    }
}

}  // namespace tarvex
