#include "core/scene_store.h"

#include <memory>
#include <new>

#include "core/monotonic_arena.h"

namespace tarvex {
namespace {

// The first block is small, so that a small file costs no huge page (a fuzzer's run converts
// thousands a second); blocks then double, and those of a huge page or more use huge pages:
// first touches of 4 KiB pages cost more than reading the records of many small meshes.
constexpr std::size_t kFirstBlock = std::size_t{1} << 16;

// Records are never removed one by one, only all at once: they are placed side by side in large
// blocks that clear() releases together, which spares an allocation per record.
template <class Record>
class RecordList {
  public:
    int size() const { return static_cast<int>(records_.size()); }
    Record *operator[](int i) const { return records_[i].get(); }

    // A fresh record with the given name; null when memory runs out, the list then unchanged.
    Record *append(std::string_view defName) {
        try {
            void *memory = arena_.allocate(sizeof(Record), alignof(Record));
            std::unique_ptr<Record, Destroy> record(new (memory) Record());
            record->defName = defName;
            records_.push_back(std::move(record));
            return records_.back().get();
        } catch (const std::bad_alloc &) {
            return nullptr;
        }
    }
    void pop_back() { records_.pop_back(); }

    void clear() {
        records_.clear();
        arena_.release();
    }

  private:
    // The arena owns the memory; a record only needs its destructor run.
    struct Destroy {
        void operator()(Record *record) const { record->~Record(); }
    };

    MonotonicArena arena_{kFirstBlock, true};
    std::vector<std::unique_ptr<Record, Destroy>> records_;  // after arena_: destroyed first
};

RecordList<Shape> s;
RecordList<Viewpoint> v;
RecordList<DirectionalLight> l;

template <class Record, bool (*same)(const Record &, const Record &)>
int isUnique(const RecordList<Record> &list, int index) {
    RepeatFilter<Record, same> filter;
    for (int i = 0; i < index; ++i) filter.isUnique(*list[i]);
    return filter.isUnique(*list[index]) ? 1 : 0;
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
           a.color.g == b.color.g && a.color.b == b.color.b && a.direction.x == b.direction.x &&
           a.direction.y == b.direction.y && a.direction.z == b.direction.z &&
           a.intensity == b.intensity && a.on == b.on;
}

std::mutex &scene_store_mutex() {
    static std::mutex mutex;
    return mutex;
}

int numberOfShapes() {
    return s.size();
}
Shape *getShape(int i) {
    return s[i];
}

Shape *newShape(std::string_view defName, int numPoints, int numTriangles) {
    if (numPoints < 0 || numTriangles < 0) return nullptr;
    Shape *shape = s.append(defName);
    if (shape) {
        shape->geometry.coord.point.numPoints = numPoints;
        shape->geometry.coordIndex.numPoints = numTriangles;
    }
    return shape;
}

int numberOfViewpoints() {
    return v.size();
}
Viewpoint *getViewpoint(int i) {
    return v[i];
}
int viewpointIsUnique(int thisViewpoint) {
    return isUnique<Viewpoint, sameViewpoint>(v, thisViewpoint);
}

Viewpoint *newViewpoint(std::string_view defName) {
    Viewpoint *viewpoint = v.append(defName);
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

int numberOfLights() {
    return l.size();
}
DirectionalLight *getLight(int i) {
    return l[i];
}
int lightIsUnique(int thisLight) {
    return isUnique<DirectionalLight, sameLight>(l, thisLight);
}
DirectionalLight *newLight(std::string_view defName) {
    return l.append(defName);
}

void newSceneGraph() {
    s.clear();
    v.clear();
    l.clear();
}

void clean_up() {
    newSceneGraph();
}

}  // namespace tarvex
