// The scene store: the shapes, viewpoints and lights that the reader fills and the writer walks.
//
// The records mirror the VRML 97 nodes of the same names. The store owns every record; the
// pointers handed out by the constructors and getters are borrowed and stay valid until the next
// clean_up(). Single-threaded: one conversion at a time per process.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

struct SFColor {
    float r = 0, g = 0, b = 0;
};
struct SFVec3f {
    float x = 0, y = 0, z = 0;
};
struct SFVec2f {
    float s = 0, t = 0;
};
struct SFRotation {
    float x = 0, y = 0, z = 0, angle = 0;
};
struct SFImage {
    int width = 0, height = 0, numComponents = 0;
    std::vector<int> pixels;
};
struct TriangleIndex {
    int first = 0, second = 0, third = 0;
};

// A counted array whose declared count (`numPoints`) may exceed what was read: `v` holds only the
// elements read whole, in order. Memory therefore follows the input, not the count a file
// declares.
template <class T>
struct CountedArray {
    int numPoints = 0;
    std::vector<T> v;

    bool whole() const { return v.size() == static_cast<std::size_t>(numPoints); }
};

using MFVec3f = CountedArray<SFVec3f>;
using MFColor = CountedArray<SFColor>;
using MFVec2f = CountedArray<SFVec2f>;
// `numPoints` is the number of triangles.
using TriangleIndexArray = CountedArray<TriangleIndex>;

struct Material {
    float ambientIntensity = 0;
    // VRML's own Material default, so a mesh whose colour never comes is still grey, not black.
    SFColor diffuseColor{0.8f, 0.8f, 0.8f};
    SFColor emissiveColor;
    float shininess = 0;
    SFColor specularColor;
    float transparency = 0;
};
struct PixelTexture {
    SFImage image;
    int repeatS = 0;
    int repeatT = 0;
};
struct TextureTransform {
    SFVec2f center;
    float rotation = 0;
    SFVec2f scale;
    SFVec2f translation;
};
struct Appearance {
    Material material;
    PixelTexture texture;
    TextureTransform textureTransform;
};
struct Color {
    MFColor color;
};
struct Coordinate {
    MFVec3f point;
};
struct Normal {
    MFVec3f vector;
};
struct TextureCoordinate {
    MFVec2f point;
};
struct IndexedFaceSet {
    Color color;
    Coordinate coord;
    Normal normal;
    TextureCoordinate texCoord;
    int ccw = 0;
    std::vector<int> colorIndex;
    int colorPerVertex = 0;
    int convex = 0;
    TriangleIndexArray coordIndex;
    float creaseAngle = 0;
    std::vector<int> normalIndex;
    int normalPerVertex = 0;
    int solid = 0;
    std::vector<int> texCoordIndex;
};

// One triangle mesh. Only the name, the diffuse colour, the points and the triangles are used.
struct Shape {
    std::string defName;  // empty: no name
    Appearance appearance;
    IndexedFaceSet geometry;
};

struct Viewpoint {
    std::string defName;  // empty: no name
    float fieldOfView = 0.785398f;
    int jump = 1;
    SFRotation orientation{0, 0, 1, 0};
    SFVec3f position{0, 0, 10};
    std::string description;
};

struct DirectionalLight {
    std::string defName;  // empty: no name
    float ambientIntensity = 0;
    SFColor color{1, 1, 1};
    SFVec3f direction{0, 0, -1};
    float intensity = 1;
    int on = 1;
};

int numberOfShapes();
// 0 <= i < numberOfShapes(); not checked.
Shape *getShape(int i);
// Appends a shape with both counts set and no elements read yet. Returns null, leaving the store
// as it was, when a count is negative or memory runs out.
Shape *newShape(std::string_view defName, int numPoints, int numTriangles);

int numberOfViewpoints();
Viewpoint *getViewpoint(int i);
// 1 when the viewpoint at thisViewpoint differs from at least one earlier viewpoint (or is the
// first), 0 when it equals every earlier one. Names and descriptions take no part.
int viewpointIsUnique(int thisViewpoint);
// Appends a viewpoint with the VRML defaults; its description is a copy of the name.
Viewpoint *newViewpoint(std::string_view defName);

int numberOfLights();
DirectionalLight *getLight(int i);
// As viewpointIsUnique, over the lights.
int lightIsUnique(int thisLight);
// Appends a light with the VRML defaults.
DirectionalLight *newLight(std::string_view defName);

// Equality as the duplicate tests see it: every member but the name and the description,
// floats compared as stored (so 0 equals -0).
bool sameViewpoint(const Viewpoint &a, const Viewpoint &b);
bool sameLight(const DirectionalLight &a, const DirectionalLight &b);

// Tells, for the records of a list in order, whether each one is unique: a record is a repeat
// only when it equals every record before it. That is decided with one comparison a record: while
// all records so far are equal, the first one stands for them all, and once one has differed no
// later record can equal them all. A whole list thus takes linear time.
template <class Record, bool (*same)(const Record &, const Record &)>
class RepeatFilter {
  public:
    bool isUnique(const Record &record) {
        if (!first_) {
            first_ = &record;
            return true;
        }
        if (allEqualSoFar_) allEqualSoFar_ = same(record, *first_);
        return !allEqualSoFar_;
    }

  private:
    const Record *first_ = nullptr;
    bool allEqualSoFar_ = true;
};

// Held by whoever reads into or writes from the store while other threads may: the store is one
// per process, so default-mode conversions run one at a time.
std::mutex &scene_store_mutex();

// Empties all three lists; every pointer handed out before becomes invalid.
void newSceneGraph();
// Does exactly what newSceneGraph does.
void clean_up();

}  // namespace tarvex
