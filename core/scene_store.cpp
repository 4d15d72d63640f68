#include "core/scene_store.h"

#include <memory>
#include <memory_resource>
#include <new>

#include "core/huge_pages.h"

namespace tarvex {
namespace {

constexpr std::size_t kHugePage = std::size_t{1} << 21;

// The first block is small, so that a small file costs no huge page (a fuzzer's run converts
// thousands a second); blocks then double.
constexpr std::size_t kFirstBlock = std::size_t{1} << 16;

// Blocks of a huge page or more are aligned to huge pages, which the system is asked to use:
// first touches of 4 KiB pages cost more than reading the records of many small meshes.
class HugePageBlocks final : public std::pmr::memory_resource {
    static std::align_val_t alignmentFor(std::size_t bytes, std::size_t alignment) {
        return std::align_val_t{bytes >= kHugePage ? kHugePage : alignment};
    }
    void *do_allocate(std::size_t bytes, std::size_t alignment) override {
        void *block = ::operator new(bytes, alignmentFor(bytes, alignment));
        if (bytes >= kHugePage) advise_huge_pages(block, bytes);
        return block;
    }
    void do_deallocate(void *block, std::size_t bytes, std::size_t alignment) override {
        ::operator delete(block, alignmentFor(bytes, alignment));
    }
    bool do_is_equal(const std::pmr::memory_resource &other) const noexcept override {
        return this == &other;
    }
};

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

    HugePageBlocks blocks_;
    std::pmr::monotonic_buffer_resource arena_{kFirstBlock, &blocks_};
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
