// Draws a packed scene with OpenGL 3.3 core (or OpenGL ES 3.0) shaders. The geometry is uploaded
// once per scene; a frame costs a few draw calls and uniforms, whatever the number of triangles.
#pragma once

#include <QByteArray>
#include <QMatrix4x4>
#include <QOpenGLExtraFunctions>
#include <QString>
#include <memory>
#include <span>
#include <vector>

#include "draw/draw_list.h"
#include "draw/packed_scene.h"

class QOpenGLShaderProgram;

namespace tarvex {

class SceneRenderer : protected QOpenGLExtraFunctions {
  public:
    SceneRenderer();
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer &) = delete;
    SceneRenderer &operator=(const SceneRenderer &) = delete;

    // Every member function below needs the same current context. False, with the reason in
    // `whyNot`, when that context cannot draw the scene (too old, shaders rejected).
    bool initialize(QString &whyNot);
    // Replaces the scene drawn; `packed` is `list` packed. Neither is kept.
    void upload(const draw::DrawList &list, const draw::PackedScene &packed);
    // Draws no scene, only the background.
    void clearScene();
    // Draws a frame; `highlighted` names shapes of the list uploaded (other values are ignored).
    // `coarse` draws big batches in their coarse version, for frames while the view moves.
    void render(const QMatrix4x4 &view, const QMatrix4x4 &projection,
                std::span<const int> highlighted, bool coarse);
    // Whether some batch has a coarse version.
    bool hasCoarse() const;
    // Frees the GL objects; initialize() may be called again afterwards.
    void release();

  private:
    struct GpuBatch {
        draw::BatchStyle style;
        unsigned vao = 0, vertexBuffer = 0, indexBuffer = 0, texture = 0;
        int indexCount = 0;
        int coarseCount = 0;  // coarse indices follow the full ones in the same buffer
    };
    // What one frame shares among its draw calls.
    struct Frame {
        QMatrix4x4 view, projection;
        float highlight = 0;
        bool depthOnly = false;
        mutable std::vector<bool> ready;  // programs given this frame's uniforms
    };
    // Shader variants: bits of what the fragment shader computes.
    static constexpr unsigned kLit = 1, kTextured = 2, kSpecular = 4, kPositional = 8;
    static constexpr unsigned kVariants = 16;

    bool makeProgram(unsigned variant, QString &whyNot);
    unsigned variantOf(const GpuBatch &batch) const;
    void drawBatch(const GpuBatch &batch, std::uint32_t first, std::uint32_t count,
                   const Frame &frame);
    void setFrameUniforms(QOpenGLShaderProgram &program, const QMatrix4x4 &view,
                          const QMatrix4x4 &projection);
    unsigned uploadTexture(const draw::Texture &texture);

    QByteArray header_;
    std::vector<std::unique_ptr<QOpenGLShaderProgram>> programs_;
    bool initialized_ = false;
    std::vector<GpuBatch> batches_;
    std::vector<draw::ShapeRange> ranges_;
    std::vector<draw::Light> lights_;
    bool positionalLights_ = false;
    // Scenes with more triangles than this are drawn depth first.
    static constexpr std::size_t kDepthFirstAbove = 100'000;
    bool depthFirst_ = false;
    draw::Rgb background_;
};

}  // namespace tarvex
