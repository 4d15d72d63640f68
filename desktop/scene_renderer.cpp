#include "desktop/scene_renderer.h"

#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <algorithm>
#include <cmath>

namespace tarvex {

namespace {

constexpr int kMaxLights = 8;

const char *const kVertexShader = R"(
uniform mat4 viewMatrix;
uniform mat4 projectionMatrix;
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 normal;
layout(location = 2) in vec4 color;
layout(location = 3) in vec2 texCoord;
out vec3 eyePosition;
out vec3 eyeNormal;
out vec4 vertexColor;
out vec2 vertexTexCoord;
void main() {
    vec4 eye = viewMatrix * vec4(position, 1.0);
    eyePosition = eye.xyz;
    eyeNormal = mat3(viewMatrix) * normal.xyz;
    vertexColor = color;
    vertexTexCoord = texCoord;
    gl_Position = projectionMatrix * eye;
    gl_PointSize = 3.0;
}
)";

// VRML 97's lighting model, per fragment: ambient, diffuse and specular parts of every light,
// attenuated and limited by spot cones, plus the emissive colour. Both sides of a face are lit.
// Software renderers run every branch for every fragment, so what a batch does not need is left
// out at compile time: LIT, TEXTURED, SPECULAR and POSITIONAL (point or spot lights) switch parts
// on.
const char *const kFragmentShader = R"(
const int kMaxLights = 8;
uniform sampler2D image;
uniform float ambientIntensity;
uniform vec3 specularColor;
uniform vec3 emissiveColor;
uniform float shininess;
uniform float highlight;
uniform int lightCount;
uniform int lightKind[kMaxLights];       // 0 directional, 1 point, 2 spot
uniform vec3 lightColor[kMaxLights];     // colour times intensity
uniform vec3 lightAmbient[kMaxLights];   // colour times ambient intensity
uniform vec3 lightPosition[kMaxLights];  // eye space
uniform vec3 lightDirection[kMaxLights]; // eye space, unit length
uniform vec3 lightAttenuation[kMaxLights];
uniform vec3 lightCone[kMaxLights];      // beam width, cut-off angle, radius
in vec3 eyePosition;
in vec3 eyeNormal;
in vec4 vertexColor;
in vec2 vertexTexCoord;
out vec4 fragColor;
void main() {
    vec4 base = vertexColor;
#ifdef TEXTURED
    base *= texture(image, vertexTexCoord);
#endif
    vec3 color = base.rgb;
#ifdef LIT
    vec3 n = eyeNormal;
    if (dot(n, n) < 0.01) n = cross(dFdx(eyePosition), dFdy(eyePosition));
    n = normalize(n);
    vec3 toEye = normalize(-eyePosition);
    if (dot(n, toEye) < 0.0) n = -n;
    color = emissiveColor;
    for (int i = 0; i < lightCount; ++i) {
        vec3 toLight = -lightDirection[i];
        float strength = 1.0;
#ifdef POSITIONAL
        if (lightKind[i] != 0) {
            vec3 d = lightPosition[i] - eyePosition;
            float distance = length(d);
            toLight = d / max(distance, 1e-20);
            vec3 a = lightAttenuation[i];
            strength = distance > lightCone[i].z ? 0.0 :
                       1.0 / max(a.x + a.y * distance + a.z * distance * distance, 1.0);
            if (lightKind[i] == 2) {
                float angle = acos(clamp(dot(-toLight, lightDirection[i]), -1.0, 1.0));
                float beam = lightCone[i].x, cutOff = lightCone[i].y;
                strength *= angle >= cutOff ? 0.0 :
                            angle > beam ? (angle - cutOff) / (beam - cutOff) : 1.0;
            }
        }
#endif
        float diffuse = max(dot(n, toLight), 0.0);
        vec3 lightSum = lightAmbient[i] * base.rgb * ambientIntensity +
                        lightColor[i] * base.rgb * diffuse;
#ifdef SPECULAR
        if (diffuse > 0.0) {
            vec3 h = normalize(toLight + toEye);
            lightSum += lightColor[i] * specularColor *
                        pow(max(dot(n, h), 0.0), max(shininess * 128.0, 1.0));
        }
#endif
        color += strength * lightSum;
    }
#endif
    color = mix(clamp(color, 0.0, 1.0), vec3(1.0, 0.75, 0.1), highlight);
    fragColor = vec4(color, base.a);
}
)";

QVector3D toQt(draw::Vec3 v) {
    return {v.x, v.y, v.z};
}
QVector3D toQt(draw::Rgb c) {
    return {c.r, c.g, c.b};
}

GLenum mode(draw::Primitive primitive) {
    switch (primitive) {
        case draw::Primitive::lines:
            return GL_LINES;
        case draw::Primitive::points:
            return GL_POINTS;
        default:
            return GL_TRIANGLES;
    }
}

}  // namespace

SceneRenderer::SceneRenderer() = default;
SceneRenderer::~SceneRenderer() = default;

bool SceneRenderer::initialize(QString &whyNot) {
    QOpenGLContext *context = QOpenGLContext::currentContext();
    if (context == nullptr) {
        whyNot = QStringLiteral("no OpenGL context could be made");
        return false;
    }
    const QSurfaceFormat format = context->format();
    const bool es = context->isOpenGLES();
    const auto version = std::pair(format.majorVersion(), format.minorVersion());
    if (version < (es ? std::pair(3, 0) : std::pair(3, 3))) {
        whyNot = QStringLiteral(
                     "OpenGL %1 %2.%3 is too old; the view needs OpenGL 3.3 or "
                     "OpenGL ES 3.0")
                     .arg(es ? QStringLiteral("ES") : QString())
                     .arg(version.first)
                     .arg(version.second)
                     .simplified();
        return false;
    }
    initializeOpenGLFunctions();
    header_ = es ? "#version 300 es\nprecision highp float;\nprecision highp int;\n"
                 : "#version 330 core\n";
    programs_.clear();
    programs_.resize(kVariants);
    // The richest variant is made now to learn whether the driver takes the shaders at all; the
    // others when a batch first needs them.
    if (!makeProgram(kVariants - 1, whyNot)) return false;
    initialized_ = true;
    return true;
}

bool SceneRenderer::makeProgram(unsigned variant, QString &whyNot) {
    QByteArray defines;
    if (variant & kLit) defines += "#define LIT\n";
    if (variant & kTextured) defines += "#define TEXTURED\n";
    if (variant & kSpecular) defines += "#define SPECULAR\n";
    if (variant & kPositional) defines += "#define POSITIONAL\n";
    auto program = std::make_unique<QOpenGLShaderProgram>();
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, header_ + kVertexShader) ||
        !program->addShaderFromSourceCode(QOpenGLShader::Fragment,
                                          header_ + defines + kFragmentShader) ||
        !program->link()) {
        whyNot = QStringLiteral("the OpenGL driver rejected the view's shaders: ") +
                 program->log().trimmed();
        return false;
    }
    programs_[variant] = std::move(program);
    return true;
}

unsigned SceneRenderer::uploadTexture(const draw::Texture &texture) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (texture.width == 0 || texture.height == 0 || texture.width > unsigned(maxSize) ||
        texture.height > unsigned(maxSize)) {
        return 0;
    }
    // Grey and grey-with-alpha images are widened to RGBA: core profiles have no luminance.
    const std::size_t pixels = std::size_t{texture.width} * texture.height;
    std::vector<std::uint8_t> rgba(pixels * 4);
    const unsigned c = texture.components;
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t *in = &texture.pixels[i * c];
        std::uint8_t *out = &rgba[i * 4];
        if (c <= 2) {
            out[0] = out[1] = out[2] = in[0];
            out[3] = c == 2 ? in[1] : 255;
        } else {
            out[0] = in[0], out[1] = in[1], out[2] = in[2];
            out[3] = c == 4 ? in[3] : 255;
        }
    }
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(texture.width), GLsizei(texture.height), 0,
                 GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S,
                    texture.repeatS ? GL_REPEAT : GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T,
                    texture.repeatT ? GL_REPEAT : GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    return id;
}

void SceneRenderer::upload(const draw::DrawList &list, const draw::PackedScene &packed) {
    clearScene();
    if (!initialized_) return;
    std::vector<unsigned> textures(list.textures.size(), 0);
    for (const draw::Batch &batch : packed.batches) {
        GpuBatch gpu;
        gpu.style = batch.style;
        gpu.indexCount = int(batch.indices.size());
        if (batch.style.texture < textures.size()) {
            unsigned &texture = textures[batch.style.texture];
            if (texture == 0) texture = uploadTexture(list.textures[batch.style.texture]);
            gpu.texture = texture;
        }
        glGenVertexArrays(1, &gpu.vao);
        glBindVertexArray(gpu.vao);
        glGenBuffers(1, &gpu.vertexBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, gpu.vertexBuffer);
        glBufferData(GL_ARRAY_BUFFER,
                     GLsizeiptr(batch.vertices.size() * sizeof(draw::PackedVertex)),
                     batch.vertices.data(), GL_STATIC_DRAW);
        glGenBuffers(1, &gpu.indexBuffer);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gpu.indexBuffer);
        gpu.coarseCount = int(batch.coarseIndices.size());
        const std::size_t full = batch.indices.size() * sizeof(std::uint32_t);
        const std::size_t coarse = batch.coarseIndices.size() * sizeof(std::uint32_t);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(full + coarse), nullptr, GL_STATIC_DRAW);
        glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, GLsizeiptr(full), batch.indices.data());
        if (coarse > 0) {
            glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(full), GLsizeiptr(coarse),
                            batch.coarseIndices.data());
        }
        constexpr GLsizei stride = sizeof(draw::PackedVertex);
        const auto offset = [](std::size_t bytes) { return reinterpret_cast<const void *>(bytes); };
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride,
                              offset(offsetof(draw::PackedVertex, position)));
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 4, GL_BYTE, GL_TRUE, stride,
                              offset(offsetof(draw::PackedVertex, normal)));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              offset(offsetof(draw::PackedVertex, color)));
        glEnableVertexAttribArray(3);
        glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride,
                              offset(offsetof(draw::PackedVertex, texCoord)));
        glBindVertexArray(0);
        batches_.push_back(gpu);
    }
    // Textures no batch kept are freed at once.
    for (unsigned texture : textures) {
        const bool used =
            std::any_of(batches_.begin(), batches_.end(),
                        [texture](const GpuBatch &b) { return b.texture == texture; });
        if (texture != 0 && !used) glDeleteTextures(1, &texture);
    }
    ranges_ = packed.ranges;
    lights_ = list.lights;
    depthFirst_ = list.triangleCount() > kDepthFirstAbove;
    positionalLights_ = std::any_of(lights_.begin(), lights_.end(), [](const draw::Light &l) {
        return l.on && l.kind != draw::Light::Kind::directional;
    });
    background_ = list.background.value_or(draw::Rgb{});
}

void SceneRenderer::clearScene() {
    if (initialized_) {
        std::vector<GLuint> textures;
        for (const GpuBatch &b : batches_) {
            glDeleteVertexArrays(1, &b.vao);
            glDeleteBuffers(1, &b.vertexBuffer);
            glDeleteBuffers(1, &b.indexBuffer);
            if (b.texture != 0 &&
                std::find(textures.begin(), textures.end(), b.texture) == textures.end()) {
                textures.push_back(b.texture);
            }
        }
        if (!textures.empty()) glDeleteTextures(GLsizei(textures.size()), textures.data());
    }
    batches_.clear();
    ranges_.clear();
    lights_.clear();
    positionalLights_ = false;
    depthFirst_ = false;
    background_ = {};
}

void SceneRenderer::release() {
    clearScene();
    programs_.clear();
    initialized_ = false;
}

void SceneRenderer::setFrameUniforms(QOpenGLShaderProgram &program, const QMatrix4x4 &view,
                                     const QMatrix4x4 &projection) {
    program.setUniformValue("viewMatrix", view);
    program.setUniformValue("projectionMatrix", projection);
    program.setUniformValue("image", 0);
    std::vector<draw::Light> lights;
    for (const draw::Light &light : lights_) {
        if (light.on && lights.size() < std::size_t{kMaxLights}) lights.push_back(light);
    }
    const bool headlight = lights_.empty();
    if (headlight) lights.push_back({});  // VRML's headlight: along the line of sight
    program.setUniformValue("lightCount", int(lights.size()));
    for (std::size_t i = 0; i < lights.size(); ++i) {
        const draw::Light &light = lights[i];
        const QByteArray at = '[' + QByteArray::number(qulonglong(i)) + ']';
        QVector3D direction = toQt(light.direction);
        if (!headlight) direction = QVector3D(view * QVector4D(direction, 0));
        direction = direction.lengthSquared() > 0 ? direction.normalized() : QVector3D(0, 0, -1);
        program.setUniformValue("lightKind" + at, int(light.kind));
        program.setUniformValue("lightColor" + at, toQt(light.color) * light.intensity);
        program.setUniformValue("lightAmbient" + at, toQt(light.color) * light.ambientIntensity);
        program.setUniformValue("lightPosition" + at, view.map(toQt(light.location)));
        program.setUniformValue("lightDirection" + at, direction);
        program.setUniformValue("lightAttenuation" + at, toQt(light.attenuation));
        program.setUniformValue("lightCone" + at,
                                QVector3D(light.beamWidth, light.cutOffAngle, light.radius));
    }
}

unsigned SceneRenderer::variantOf(const GpuBatch &batch) const {
    const draw::BatchStyle &style = batch.style;
    unsigned variant = 0;
    if (style.lit) variant |= kLit;
    if (batch.texture != 0) variant |= kTextured;
    const bool specular = style.specular.r > 0 || style.specular.g > 0 || style.specular.b > 0;
    if (style.lit && specular) variant |= kSpecular;
    if (style.lit && positionalLights_) variant |= kPositional;
    return variant;
}

void SceneRenderer::drawBatch(const GpuBatch &batch, std::uint32_t first, std::uint32_t count,
                              const Frame &frame) {
    const draw::BatchStyle &style = batch.style;
    const unsigned variant = frame.depthOnly ? 0 : variantOf(batch);
    QString whyNot;
    if (!programs_[variant] && !makeProgram(variant, whyNot)) {
        qWarning("tarvexw: %s", qPrintable(whyNot));
        return;
    }
    QOpenGLShaderProgram &program = *programs_[variant];
    program.bind();
    if (frame.ready.size() <= variant || !frame.ready[variant]) {
        setFrameUniforms(program, frame.view, frame.projection);
        frame.ready.resize(kVariants);
        frame.ready[variant] = true;
    }
    program.setUniformValue("highlight", frame.highlight);
    program.setUniformValue("ambientIntensity", style.ambientIntensity);
    program.setUniformValue("specularColor", toQt(style.specular));
    program.setUniformValue("emissiveColor", toQt(style.emissive));
    program.setUniformValue("shininess", style.shininess);
    if (batch.texture != 0) {
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, batch.texture);
    }
    glBindVertexArray(batch.vao);
    glDrawElements(mode(style.primitive), GLsizei(count), GL_UNSIGNED_INT,
                   reinterpret_cast<const void *>(std::size_t{first} * sizeof(std::uint32_t)));
    glBindVertexArray(0);
}

bool SceneRenderer::hasCoarse() const {
    return std::any_of(batches_.begin(), batches_.end(),
                       [](const GpuBatch &b) { return b.coarseCount > 0; });
}

void SceneRenderer::render(const QMatrix4x4 &view, const QMatrix4x4 &projection,
                           std::span<const int> highlighted, bool coarse) {
    glClearColor(background_.r, background_.g, background_.b, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!initialized_ || batches_.empty()) return;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);
    if (!QOpenGLContext::currentContext()->isOpenGLES()) glEnable(0x8642);  // program point size
    Frame frame;
    frame.view = view;
    frame.projection = projection;
    const auto drawWhole = [&](const GpuBatch &batch) {
        if (coarse && batch.coarseCount > 0) {
            drawBatch(batch, std::uint32_t(batch.indexCount), std::uint32_t(batch.coarseCount),
                      frame);
        } else {
            drawBatch(batch, 0, std::uint32_t(batch.indexCount), frame);
        }
    };
    // Big scenes lay down their depth first, so that each pixel is shaded once however many
    // surfaces lie behind it (a terrain seen edge-on is hundreds deep).
    if (depthFirst_) {
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        frame.depthOnly = true;
        for (const GpuBatch &batch : batches_) {
            if (!batch.style.transparent) drawWhole(batch);
        }
        frame.depthOnly = false;
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthMask(GL_FALSE);
    }
    // Transparent batches come last, blended over the opaque ones without hiding each other.
    for (const GpuBatch &batch : batches_) {
        if (batch.style.transparent) {
            glEnable(GL_BLEND);
            // The picture itself stays opaque: its alpha is kept.
            glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
            glDepthMask(GL_FALSE);
        }
        drawWhole(batch);
    }
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    // Highlighted shapes are drawn again over themselves, tinted; equal depths pass.
    frame.highlight = 0.45f;
    for (int shape : highlighted) {
        if (shape < 0 || std::size_t(shape) >= ranges_.size()) continue;
        const draw::ShapeRange &range = ranges_[std::size_t(shape)];
        const GpuBatch &batch = batches_[range.batch];
        const bool whole = range.first == 0 && range.count == std::uint32_t(batch.indexCount);
        if (coarse && whole && batch.coarseCount > 0) {
            drawBatch(batch, range.count, std::uint32_t(batch.coarseCount), frame);
        } else if (range.count > 0) {
            drawBatch(batch, range.first, range.count, frame);
        }
    }
    glUseProgram(0);
    // The selection's outline is painted over the frame, never hidden behind its shapes.
    glDisable(GL_DEPTH_TEST);
}

}  // namespace tarvex
