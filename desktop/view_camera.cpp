#include "desktop/view_camera.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarvex {

namespace {

constexpr float kDefaultFieldOfView = 0.785398f;
constexpr float kMinDistance = 1e-6f;

}  // namespace

void ViewCamera::setViewpoint(QVector3D position, QVector3D axis, float angle, float fieldOfView,
                              QVector3D sceneCenter) {
    position_ = position;
    const bool usableAxis = axis.lengthSquared() > 0 && std::isfinite(angle);
    orientation_ = usableAxis ? QQuaternion::fromAxisAndAngle(
                                    axis.normalized(), angle * 180 / std::numbers::pi_v<float>)
                              : QQuaternion();
    fieldOfView_ = fieldOfView > 0 && fieldOfView < std::numbers::pi_v<float> ? fieldOfView
                                                                              : kDefaultFieldOfView;
    const float depth = QVector3D::dotProduct(sceneCenter - position_, forward());
    distance_ = depth > kMinDistance ? depth : 10;
}

void ViewCamera::frame(QVector3D center, float radius, QSize viewport) {
    const float vertical = verticalFieldOfView(viewport);
    const float aspect = viewport.height() > 0 ? float(viewport.width()) / viewport.height() : 1;
    const float horizontal = 2 * std::atan(std::tan(vertical / 2) * aspect);
    const float half = std::min(vertical, horizontal) / 2;
    distance_ = radius > 0 ? radius / std::sin(half) : 10;
    position_ = center - forward() * distance_;
}

void ViewCamera::orbit(float dx, float dy) {
    const QVector3D center = pivot();
    const QQuaternion turn =
        QQuaternion::fromAxisAndAngle(up(), -dx) * QQuaternion::fromAxisAndAngle(right(), -dy);
    orientation_ = (turn * orientation_).normalized();
    position_ = center - forward() * distance_;
}

void ViewCamera::pan(float dxPixels, float dyPixels, QSize viewport) {
    const float height = std::max(viewport.height(), 1);
    const float perPixel = 2 * distance_ * std::tan(verticalFieldOfView(viewport) / 2) / height;
    position_ += (-dxPixels * right() + dyPixels * up()) * perPixel;
}

void ViewCamera::zoom(float steps) {
    const QVector3D center = pivot();
    distance_ = std::max(distance_ * std::pow(0.85f, steps), kMinDistance);
    position_ = center - forward() * distance_;
}

QMatrix4x4 ViewCamera::viewMatrix() const {
    QMatrix4x4 m;
    m.rotate(orientation_.conjugated());
    m.translate(-position_);
    return m;
}

float ViewCamera::verticalFieldOfView(QSize viewport) const {
    // VRML's field of view belongs to the smaller side.
    if (viewport.width() >= viewport.height() || viewport.height() <= 0) return fieldOfView_;
    const float aspect = float(viewport.width()) / viewport.height();
    return 2 * std::atan(std::tan(fieldOfView_ / 2) / aspect);
}

QMatrix4x4 ViewCamera::projectionMatrix(QSize viewport, QVector3D center, float radius) const {
    const float aspect = viewport.height() > 0 ? float(viewport.width()) / viewport.height() : 1;
    const float d = (center - position_).length();
    float far = d + std::max(radius, 1e-3f) * 1.01f;
    float near = d - radius * 1.01f;
    // From inside the scene, or very close to it, the depth range is bounded by its ratio.
    near = std::max(near, far * 1e-4f);
    if (!std::isfinite(far) || far <= near) far = near * 2 + 1;
    QMatrix4x4 m;
    m.perspective(verticalFieldOfView(viewport) * 180 / std::numbers::pi_v<float>, aspect, near,
                  far);
    return m;
}

}  // namespace tarvex
