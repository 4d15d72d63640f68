#include "draw/draw_list.h"

#include <algorithm>
#include <cmath>

namespace tarvex::draw {

Matrix compose(const Matrix &first, const Matrix &then) {
    Matrix r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += first.m[i][k] * then.m[k][j];
            r.m[i][j] = sum;
        }
    }
    return r;
}

Vec3 transformPoint(const Matrix &m, Vec3 p) {
    const auto &a = m.m;
    return {p.x * a[0][0] + p.y * a[1][0] + p.z * a[2][0] + a[3][0],
            p.x * a[0][1] + p.y * a[1][1] + p.z * a[2][1] + a[3][1],
            p.x * a[0][2] + p.y * a[1][2] + p.z * a[2][2] + a[3][2]};
}

void Box::add(Vec3 p) {
    if (empty()) {
        min = max = p;
        return;
    }
    min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
}

void Box::addBox(const Box &b) {
    if (b.empty()) return;
    add(b.min);
    add(b.max);
}

Vec3 Box::center() const {
    if (empty()) return {};
    return {(min.x + max.x) / 2, (min.y + max.y) / 2, (min.z + max.z) / 2};
}

float Box::radius() const {
    if (empty()) return 0;
    const double dx = double(max.x) - min.x, dy = double(max.y) - min.y, dz = double(max.z) - min.z;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz) / 2);
}

Box transformBox(const Matrix &m, const Box &b) {
    Box r;
    if (b.empty()) return r;
    for (int corner = 0; corner < 8; ++corner) {
        r.add(transformPoint(m, {corner & 1 ? b.max.x : b.min.x, corner & 2 ? b.max.y : b.min.y,
                                 corner & 4 ? b.max.z : b.min.z}));
    }
    return r;
}

std::size_t DrawList::triangleCount() const {
    std::size_t n = 0;
    for (const Shape &shape : shapes) {
        const Mesh &mesh = meshes[shape.mesh];
        if (mesh.primitive == Primitive::triangles) n += mesh.indices.size() / 3;
    }
    return n;
}

}  // namespace tarvex::draw
