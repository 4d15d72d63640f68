// The 3D view's camera: a VRML viewpoint that the mouse and keyboard move about a pivot point.
// Pure arithmetic on Qt's math types; no OpenGL.
#pragma once

#include <QMatrix4x4>
#include <QQuaternion>
#include <QSize>
#include <QVector3D>

namespace tarvex {

class ViewCamera {
  public:
    // Places the camera as a VRML Viewpoint does (the default camera looks down -z with +y up;
    // `axis` and `angle` rotate it). `fieldOfView` is the angle of the view's smaller side; values
    // outside (0, pi) are taken as VRML's default. The pivot is put on the line of sight at the
    // depth of `sceneCenter` (10 ahead when the scene is behind the camera or empty).
    void setViewpoint(QVector3D position, QVector3D axis, float angle, float fieldOfView,
                      QVector3D sceneCenter);
    // Keeps the direction of view and moves back from the sphere at `center` until all of it is
    // seen in a view of size `viewport`; the sphere's centre becomes the pivot.
    void frame(QVector3D center, float radius, QSize viewport);

    // Turns the camera about the pivot: `dx` about its up axis, `dy` about its right axis, in
    // degrees.
    void orbit(float dx, float dy);
    // Moves the camera and pivot across the view by a number of pixels of a view of `viewport`.
    void pan(float dxPixels, float dyPixels, QSize viewport);
    // Moves towards the pivot (steps > 0) or away; each step covers 15% of the distance.
    void zoom(float steps);

    QMatrix4x4 viewMatrix() const;
    // A perspective projection whose near and far planes hold the sphere at `center`.
    QMatrix4x4 projectionMatrix(QSize viewport, QVector3D center, float radius) const;
    // The vertical field of view, in radians, for a view of `viewport`.
    float verticalFieldOfView(QSize viewport) const;

    QVector3D position() const { return position_; }
    QQuaternion orientation() const { return orientation_; }
    QVector3D pivot() const { return position_ + forward() * distance_; }
    QVector3D forward() const { return orientation_.rotatedVector({0, 0, -1}); }
    QVector3D up() const { return orientation_.rotatedVector({0, 1, 0}); }
    QVector3D right() const { return orientation_.rotatedVector({1, 0, 0}); }

  private:
    QVector3D position_{0, 0, 10};
    QQuaternion orientation_;
    float fieldOfView_ = 0.785398f;
    float distance_ = 10;  // from the camera to the pivot, > 0
};

}  // namespace tarvex
