// The desktop program's 3D view: draws a draw list with OpenGL and lets the user orbit (left
// drag, arrow keys), pan (middle or Shift+left drag, Shift+arrow keys) and zoom (wheel, + and -).
// Where OpenGL cannot be had, it says so in words instead and everything else keeps working.
#pragma once

#include <QImage>
#include <QRectF>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <vector>

#include "desktop/view_camera.h"
#include "draw/draw_list.h"

class QLabel;
class QPainter;
class QStackedLayout;
class QTimer;

namespace tarvex {

class SceneGlWidget;

class SceneView : public QWidget {
    Q_OBJECT

  public:
    explicit SceneView(QWidget *parent = nullptr);
    ~SceneView() override;

    // Shows `list` from its first viewpoint, or framing it whole when it has none. The geometry
    // goes to the graphics card at the next frame and is not kept here.
    void showScene(draw::DrawList list);
    // Shows the background only.
    void clearScene();

    // False once the view has found that it cannot draw; unavailableText() then says why.
    bool hasOpenGL() const;
    QString unavailableText() const;

    // The names of the scene's viewpoints, in the file's order ("Viewpoint n" when unnamed).
    QStringList viewpointNames() const;
    void goToViewpoint(int index);
    void fitToWindow();
    // The first viewpoint again, or the view framing the whole scene.
    void resetView();
    // Frames the shapes of the draw list with these indices.
    void frameShapes(const std::vector<int> &shapes);
    void setHighlighted(std::vector<int> shapes);
    // The draw-list shapes made from the store's or scene's shape `source`.
    std::vector<int> shapesOfSource(std::uint32_t source) const;
    int shapeCount() const { return int(shapes_.size()); }

    void orbit(float dxDegrees, float dyDegrees);
    void pan(float dxPixels, float dyPixels);
    void zoom(float steps);
    const ViewCamera &camera() const { return camera_; }
    // Where the box of draw-list shape `shape` lands in the view, in pixels; an empty rectangle
    // when part of it is behind the camera.
    QRectF projectedBounds(int shape) const;

    // Where the outline around the highlighted shapes goes, in pixels: the union of their
    // projected boxes (a shape partly behind the camera is left out). Null when there is none.
    QRectF selectionBounds() const;

    // The picture as drawn now; a null image without OpenGL.
    QImage grabImage();

  private:
    friend class SceneGlWidget;
    struct ShapeInfo {
        draw::Box bounds;
        std::uint32_t source = 0;
    };
    // Called by the GL widget with its context current.
    void renderFrame();
    void glFailed(const QString &why);
    // The highlight's outline, over the frame just drawn.
    void paintSelectionOutline(QPainter &painter) const;
    void applyReset();
    QMatrix4x4 projection() const;

    // Big scenes are drawn coarse while the view moves and in full once it has rested.
    void moved();

    QStackedLayout *stack_ = nullptr;
    SceneGlWidget *gl_ = nullptr;
    QLabel *message_ = nullptr;
    QString unavailable_;

    std::optional<draw::DrawList> pending_;  // waits for the first frame to be uploaded
    bool resetPending_ = false;
    std::vector<ShapeInfo> shapes_;
    std::vector<draw::Viewpoint> viewpoints_;
    draw::Box bounds_;
    std::vector<int> highlighted_;
    ViewCamera camera_;
    bool coarse_ = false;
    QTimer *refine_ = nullptr;
};

}  // namespace tarvex
