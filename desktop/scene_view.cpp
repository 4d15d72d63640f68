#include "desktop/scene_view.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QPainter>
#include <QStackedLayout>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <new>

#include "desktop/scene_renderer.h"
#include "draw/packed_scene.h"

namespace tarvex {

namespace {

constexpr float kDegreesPerPixel = 0.4f;
constexpr float kDegreesPerKey = 5;
constexpr float kPixelsPerKey = 20;

QSurfaceFormat viewFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    format.setSamples(0);
    return format;
}

// Why this process cannot have the OpenGL the view needs; empty when it can. Asked once: a
// platform without OpenGL (Qt's "offscreen" without a display) must never get a QOpenGLWidget.
const QString &openGlProblem() {
    static const QString problem = [] {
        QOpenGLContext context;
        context.setFormat(viewFormat());
        if (!context.create()) return QStringLiteral("no OpenGL context could be made");
        QOffscreenSurface surface;
        surface.setFormat(context.format());
        surface.create();
        if (!surface.isValid() || !context.makeCurrent(&surface)) {
            return QStringLiteral("no OpenGL context could be made current");
        }
        const QSurfaceFormat got = context.format();
        const bool es = context.isOpenGLES();
        const auto version = std::pair(got.majorVersion(), got.minorVersion());
        context.doneCurrent();
        if (version < (es ? std::pair(3, 0) : std::pair(3, 3))) {
            return QStringLiteral("OpenGL %1.%2 is too old; the view needs OpenGL 3.3")
                .arg(version.first)
                .arg(version.second);
        }
        return QString();
    }();
    return problem;
}

}  // namespace

// The OpenGL surface; input goes to the view's camera.
class SceneGlWidget final : public QOpenGLWidget {
  public:
    explicit SceneGlWidget(SceneView &view) : view_(view) {
        setFormat(viewFormat());
        setFocusPolicy(Qt::StrongFocus);
        setMinimumSize(64, 64);
    }
    ~SceneGlWidget() override {
        // QOpenGLWidget destroys the context after this object's members are gone.
        disconnect(contextGone_);
        releaseGl();
    }

    SceneRenderer &renderer() { return renderer_; }
    bool ready() const { return ready_; }

  protected:
    void initializeGL() override {
        QString why;
        ready_ = renderer_.initialize(why);
        if (!ready_) {
            // Replacing the widget while it paints would destroy it under Qt's feet.
            QTimer::singleShot(0, &view_, [this, why] { view_.glFailed(why); });
            return;
        }
        contextGone_ = connect(
            context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { releaseGl(); },
            Qt::DirectConnection);
    }
    void paintGL() override {
        if (!ready_) return;
        QPainter painter(this);
        painter.beginNativePainting();
        view_.renderFrame();
        painter.endNativePainting();
        view_.paintSelectionOutline(painter);
    }

    void mousePressEvent(QMouseEvent *event) override {
        last_ = event->position();
        setFocus(Qt::MouseFocusReason);
    }
    void mouseMoveEvent(QMouseEvent *event) override {
        const QPointF d = event->position() - last_;
        last_ = event->position();
        const Qt::MouseButtons buttons = event->buttons();
        if (buttons & Qt::MiddleButton ||
            (buttons & Qt::LeftButton && event->modifiers() & Qt::ShiftModifier)) {
            view_.pan(float(d.x()), float(d.y()));
        } else if (buttons & Qt::LeftButton) {
            view_.orbit(float(d.x()) * kDegreesPerPixel, float(d.y()) * kDegreesPerPixel);
        }
    }
    void wheelEvent(QWheelEvent *event) override {
        view_.zoom(float(event->angleDelta().y()) / 120);
        event->accept();
    }
    void keyPressEvent(QKeyEvent *event) override {
        const bool shift = event->modifiers() & Qt::ShiftModifier;
        const float step = shift ? kPixelsPerKey : kDegreesPerKey;
        switch (event->key()) {
            case Qt::Key_Left:
                return shift ? view_.pan(-step, 0) : view_.orbit(-step, 0);
            case Qt::Key_Right:
                return shift ? view_.pan(step, 0) : view_.orbit(step, 0);
            case Qt::Key_Up:
                return shift ? view_.pan(0, -step) : view_.orbit(0, -step);
            case Qt::Key_Down:
                return shift ? view_.pan(0, step) : view_.orbit(0, step);
            case Qt::Key_Plus:
            case Qt::Key_Equal:
            case Qt::Key_PageUp:
                return view_.zoom(1);
            case Qt::Key_Minus:
            case Qt::Key_PageDown:
                return view_.zoom(-1);
            default:
                QOpenGLWidget::keyPressEvent(event);
        }
    }

  private:
    void releaseGl() {
        if (!ready_ || context() == nullptr) return;
        makeCurrent();
        renderer_.release();
        doneCurrent();
        ready_ = false;
    }

    SceneView &view_;
    SceneRenderer renderer_;
    bool ready_ = false;
    QMetaObject::Connection contextGone_;
    QPointF last_;
};

SceneView::SceneView(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("sceneView"));
    refine_ = new QTimer(this);
    refine_->setSingleShot(true);
    refine_->setInterval(250);
    connect(refine_, &QTimer::timeout, this, [this] {
        coarse_ = false;
        if (gl_ != nullptr) gl_->update();
    });
    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    message_ = new QLabel;
    message_->setObjectName(QStringLiteral("sceneViewMessage"));
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    message_->setMargin(12);
    stack_->addWidget(message_);
    if (const QString &problem = openGlProblem(); !problem.isEmpty()) {
        glFailed(problem);
        return;
    }
    gl_ = new SceneGlWidget(*this);
    gl_->setObjectName(QStringLiteral("sceneViewGl"));
    stack_->addWidget(gl_);
    stack_->setCurrentWidget(gl_);
}

SceneView::~SceneView() = default;

void SceneView::glFailed(const QString &why) {
    unavailable_ = why;
    message_->setText(QStringLiteral("The 3D view is not available: %1.\n\nReading and saving "
                                     "work as before.")
                          .arg(why));
    stack_->setCurrentWidget(message_);
    if (gl_ != nullptr) {
        gl_->deleteLater();
        gl_ = nullptr;
    }
    pending_.reset();
}

bool SceneView::hasOpenGL() const {
    return gl_ != nullptr;
}

QString SceneView::unavailableText() const {
    return unavailable_;
}

void SceneView::showScene(draw::DrawList list) {
    shapes_.clear();
    shapes_.reserve(list.shapes.size());
    for (const draw::Shape &shape : list.shapes) shapes_.push_back({shape.bounds, shape.source});
    viewpoints_ = list.viewpoints;
    bounds_ = list.bounds;
    highlighted_.clear();
    if (gl_ != nullptr) pending_ = std::move(list);
    resetPending_ = true;
    if (gl_ != nullptr) gl_->update();
}

void SceneView::clearScene() {
    showScene({});
}

QStringList SceneView::viewpointNames() const {
    QStringList names;
    for (std::size_t i = 0; i < viewpoints_.size(); ++i) {
        const std::string &name = viewpoints_[i].name;
        names << (name.empty() ? QStringLiteral("Viewpoint %1").arg(i + 1)
                               : QString::fromStdString(name));
    }
    return names;
}

void SceneView::goToViewpoint(int index) {
    if (index < 0 || std::size_t(index) >= viewpoints_.size()) return;
    const draw::Viewpoint &vp = viewpoints_[std::size_t(index)];
    const draw::Vec3 c = bounds_.center();
    camera_.setViewpoint({vp.position.x, vp.position.y, vp.position.z},
                         {vp.axis.x, vp.axis.y, vp.axis.z}, vp.angle, vp.fieldOfView,
                         {c.x, c.y, c.z});
    if (gl_ != nullptr) gl_->update();
}

void SceneView::fitToWindow() {
    const draw::Vec3 c = bounds_.center();
    camera_.frame({c.x, c.y, c.z}, bounds_.radius(), size());
    if (gl_ != nullptr) gl_->update();
}

void SceneView::resetView() {
    resetPending_ = false;
    if (!viewpoints_.empty()) return goToViewpoint(0);
    camera_ = ViewCamera();
    fitToWindow();
}

void SceneView::applyReset() {
    if (resetPending_) resetView();
}

void SceneView::frameShapes(const std::vector<int> &shapes) {
    draw::Box box;
    for (int shape : shapes) {
        if (shape >= 0 && std::size_t(shape) < shapes_.size()) box.addBox(shapes_[shape].bounds);
    }
    if (box.empty()) return;
    const draw::Vec3 c = box.center();
    camera_.frame({c.x, c.y, c.z}, box.radius(), size());
    if (gl_ != nullptr) gl_->update();
}

void SceneView::setHighlighted(std::vector<int> shapes) {
    highlighted_ = std::move(shapes);
    if (gl_ != nullptr) gl_->update();
}

std::vector<int> SceneView::shapesOfSource(std::uint32_t source) const {
    std::vector<int> found;
    for (std::size_t i = 0; i < shapes_.size(); ++i) {
        if (shapes_[i].source == source) found.push_back(int(i));
    }
    return found;
}

void SceneView::orbit(float dxDegrees, float dyDegrees) {
    camera_.orbit(dxDegrees, dyDegrees);
    moved();
}

void SceneView::pan(float dxPixels, float dyPixels) {
    camera_.pan(dxPixels, dyPixels, size());
    moved();
}

void SceneView::zoom(float steps) {
    camera_.zoom(steps);
    moved();
}

void SceneView::moved() {
    coarse_ = true;
    refine_->start();
    if (gl_ != nullptr) gl_->update();
}

QMatrix4x4 SceneView::projection() const {
    const draw::Vec3 c = bounds_.center();
    return camera_.projectionMatrix(size(), {c.x, c.y, c.z}, bounds_.radius());
}

QRectF SceneView::projectedBounds(int shape) const {
    if (shape < 0 || std::size_t(shape) >= shapes_.size()) return {};
    const draw::Box &b = shapes_[std::size_t(shape)].bounds;
    if (b.empty()) return {};
    const QMatrix4x4 m = projection() * camera_.viewMatrix();
    double left = INFINITY, top = INFINITY, right = -INFINITY, bottom = -INFINITY;
    for (int corner = 0; corner < 8; ++corner) {
        const QVector4D clip =
            m * QVector4D(corner & 1 ? b.max.x : b.min.x, corner & 2 ? b.max.y : b.min.y,
                          corner & 4 ? b.max.z : b.min.z, 1);
        if (clip.w() <= 0) return {};
        const double x = (clip.x() / clip.w() + 1) / 2 * width();
        const double y = (1 - clip.y() / clip.w()) / 2 * height();
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

void SceneView::renderFrame() {
    SceneRenderer &renderer = gl_->renderer();
    if (pending_) {
        // Once per scene: pack, upload, and let the list go.
        try {
            renderer.upload(*pending_, draw::pack(*pending_));
        } catch (const std::bad_alloc &) {
            renderer.clearScene();
            shapes_.clear();
            highlighted_.clear();
        }
        pending_.reset();
        // A big scene shows coarse first, so that it is on screen at once.
        if (renderer.hasCoarse()) {
            coarse_ = true;
            refine_->start();
        }
    }
    applyReset();
    renderer.render(camera_.viewMatrix(), projection(), highlighted_,
                    coarse_ && renderer.hasCoarse());
}

QRectF SceneView::selectionBounds() const {
    QRectF bounds;
    for (const int shape : highlighted_) {
        const QRectF box = projectedBounds(shape);
        if (box.isNull()) continue;  // no size, or partly behind the camera
        bounds = bounds.isNull() ? box : bounds.united(box);
    }
    return bounds;
}

void SceneView::paintSelectionOutline(QPainter &painter) const {
    const QRectF box = selectionBounds();
    if (box.isNull()) return;
    // Dark under light: whatever the colours of the shape and the background, one of the two
    // stands out.
    const QRectF outline = box.adjusted(-3, -3, 3, 3);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 0, 0), 4));
    painter.drawRect(outline);
    QPen light(QColor(255, 255, 255), 2);
    light.setDashPattern({3, 2});
    painter.setPen(light);
    painter.drawRect(outline);
}

QImage SceneView::grabImage() {
    if (gl_ == nullptr) return {};
    // The picture in full, as it is once the view rests.
    const QImage first = gl_->grabFramebuffer();  // uploads a waiting scene
    if (!coarse_) return first;
    coarse_ = false;
    refine_->stop();
    return gl_->grabFramebuffer();
}

}  // namespace tarvex
