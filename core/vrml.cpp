#include "core/vrml.h"

#include <memory>
#include <new>

namespace tarvex {
namespace {

// Records live behind unique_ptr so that the pointers handed out survive list growth.
std::vector<std::unique_ptr<Shape>> s;
std::vector<std::unique_ptr<Viewpoint>> v;
std::vector<std::unique_ptr<DirectionalLight>> l;

// Appends a fresh record to `list`; null when memory runs out, the list then unchanged.
template <class Record>
Record *append(std::vector<std::unique_ptr<Record>> &list, std::string_view defName) {
    try {
        auto record = std::make_unique<Record>();
        record->defName = defName;
        list.push_back(std::move(record));
        return list.back().get();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

// 0 only when the record equals every record before it (not merely one of them).
template <class Record, class Same>
int isUnique(const std::vector<std::unique_ptr<Record>> &list, int index, Same same) {
    for (int i = 0; i < index; ++i) {
        if (!same(*list[index], *list[i])) return 1;
    }
    return index == 0 ? 1 : 0;
}

}  // namespace

bool sameViewpoint(const Viewpoint &a, const Viewpoint &b) {
    return a.fieldOfView == b.fieldOfView && a.jump == b.jump &&
           a.orientation.x == b.orientation.x && a.orientation.y == b.orientation.y &&
           a.orientation.z == b.orientation.z && a.orientation.angle == b.orientation.angle &&
           a.position.x == b.position.x && a.position.y == b.position.y &&
           a.position.z == b.position.z;
}

bool sameLight(const DirectionalLight &a, const DirectionalLight &b) {
    return a.ambientIntensity == b.ambientIntensity && a.color.r == b.color.r &&
           a.color.g == b.color.g && a.color.b == b.color.b &&
           a.direction.x == b.direction.x && a.direction.y == b.direction.y &&
           a.direction.z == b.direction.z && a.intensity == b.intensity && a.on == b.on;
}

int numberOfShapes() { return static_cast<int>(s.size()); }
Shape *getShape(int i) { return s[i].get(); }

Shape *newShape(std::string_view defName, int numPoints, int numTriangles) {
    if (numPoints < 0 || numTriangles < 0) return nullptr;
    Shape *shape = append(s, defName);
    if (shape) {
        shape->geometry.coord.point.numPoints = numPoints;
        shape->geometry.coordIndex.numPoints = numTriangles;
    }
    return shape;
}

int numberOfViewpoints() { return static_cast<int>(v.size()); }
Viewpoint *getViewpoint(int i) { return v[i].get(); }
int viewpointIsUnique(int thisViewpoint) { return isUnique(v, thisViewpoint, sameViewpoint); }

Viewpoint *newViewpoint(std::string_view defName) {
    Viewpoint *viewpoint = append(v, defName);
    if (viewpoint) {
        try {
            viewpoint->description = defName;
        } catch (const std::bad_alloc &) {
            v.pop_back();
            return nullptr;
        }
    }
    return viewpoint;
}

int numberOfLights() { return static_cast<int>(l.size()); }
DirectionalLight *getLight(int i) { return l[i].get(); }
int lightIsUnique(int thisLight) { return isUnique(l, thisLight, sameLight); }
DirectionalLight *newLight(std::string_view defName) { return append(l, defName); }

void newSceneGraph() {
    s.clear();
    v.clear();
    l.clear();
}

void clean_up() { newSceneGraph(); }

}  // namespace tarvex
