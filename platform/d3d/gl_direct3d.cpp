#include "platform/d3d/gl_direct3d.h"

#include "platform/d3d/detail/gl_driver.h"
#include "platform/d3d/detail/glx_context.h"
#include "platform/pictures/picture_decoding.h"
#include "platform/pictures/texture_fitting.h"

#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QScreen>
#include <QWindow>

#include <glm/gtc/type_ptr.hpp>

#include <unordered_map>

#ifndef GL_LOWER_LEFT
#define GL_LOWER_LEFT 0x8CA1
#endif
#ifndef GL_ZERO_TO_ONE
#define GL_ZERO_TO_ONE 0x935F
#endif

namespace quelm::d3d {
namespace {

// The only vertex format drawn: position, then one pair of texture coordinates.
constexpr uint32_t kFvfXyzTex1 = kFvfXyz | kFvfTex1;
constexpr uint32_t kXyzTex1Bytes = (3 + 2) * sizeof(float); // a position, one coordinate pair
constexpr GLsizei kTexCoordOffset = 12;
constexpr int kDepthBits = 16; // D3DFMT_D16: asked for, and the least accepted
constexpr uint32_t kTopDisable = 1;
constexpr uint32_t kTexelBytes = 4; // X8R8G8B8

using ClipControlFn = void (*)(GLenum origin, GLenum depth);

} // namespace

QSurfaceFormat GlDeviceFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(kDepthBits);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setSwapInterval(1); // the default presentation interval: one vertical retrace
    return format;
}

namespace {

class GlDevice final : public Device {
public:
    ~GlDevice() override { Destroy(); }

    // Window device when `window` is given, otherwise off screen at `size`.
    HResult Create(QWindow* window, QSize size) {
        displaySide_ = d3d::MaxTextureSide(DisplayMode{uint32_t(size.width()), uint32_t(size.height())});
        const QSurfaceFormat format = GlDeviceFormat();
        if (window) {
            // The window's visual must carry the depth buffer: recreate it when it was
            // made earlier without one (it is not shown yet).
            const bool usable = window->handle() && window->surfaceType() == QSurface::OpenGLSurface &&
                                window->format().depthBufferSize() >= kDepthBits;
            if (!usable) {
                if (window->handle()) window->destroy();
                window->setSurfaceType(QSurface::OpenGLSurface);
                window->setFormat(format);
                window->create();
            }
            if (!window->handle()) return kErrNotAvailable;
            window_ = window;
            surface_ = window;
        } else {
            offscreen_ = std::make_unique<QOffscreenSurface>();
            offscreen_->setFormat(format);
            offscreen_->create();
            if (!offscreen_->isValid()) return kErrNotAvailable;
            surface_ = offscreen_.get();
        }
        // On a window the depth buffer is the smallest the driver offers of the bits asked
        // for; where that cannot be had, and off screen, Qt chooses.
        // GLX asks a context and its window for the same buffers; Mesa draws with the
        // context's, a stricter driver may refuse the pair: Qt's own context then.
        if (window) glx_ = d3d::GlxContext::Make(kDepthBits);
        if (glx_ && glx_->Context().makeCurrent(surface_)) {
            context_ = &glx_->Context();
        } else {
            glx_.reset();
            ownContext_ = std::make_unique<QOpenGLContext>();
            ownContext_->setFormat(window ? window->format() : format);
            if (!ownContext_->create() || !ownContext_->makeCurrent(surface_)) return kErrNotAvailable;
            context_ = ownContext_.get();
        }
        d3d::KeepGlDriverLoaded();
        gl_ = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(context_);
        if (!gl_ || !gl_->initializeOpenGLFunctions()) return kErrNotAvailable;

        if (offscreen_) {
            QOpenGLFramebufferObjectFormat backFormat;
            backFormat.setAttachment(QOpenGLFramebufferObject::Depth);
            back_ = std::make_unique<QOpenGLFramebufferObject>(size, backFormat);
            front_ = std::make_unique<QOpenGLFramebufferObject>(size);
            if (!back_->isValid() || !front_->isValid()) return kErrOutOfVideoMemory;
            front_->bind();
            gl_->glClearColor(0, 0, 0, 1);
            gl_->glClear(GL_COLOR_BUFFER_BIT);
            back_->bind();
        }
        GLint depthBits = 0;
        gl_->glGetIntegerv(GL_DEPTH_BITS, &depthBits);
        if (depthBits < kDepthBits) return kErrNotAvailable;

        // Depth clipped to 0..w as Direct3D clips it: by clip control where the driver has
        // it, otherwise by remapping the projection's depth (see SetTransform).
        const QSurfaceFormat actual = context_->format();
        if (actual.version() >= qMakePair(4, 5) || context_->hasExtension("GL_ARB_clip_control"))
            clipControl_ = reinterpret_cast<ClipControlFn>(context_->getProcAddress("glClipControl"));
        if (clipControl_) clipControl_(GL_LOWER_LEFT, GL_ZERO_TO_ONE);

        SetDirect3DDefaults();
        return gl_->glGetError() == GL_NO_ERROR ? kOk : kErrNotAvailable;
    }

    HResult SetRenderState(RenderState state, uint32_t value) override {
        if (!MakeCurrent()) return kErrInvalidCall;
        switch (state) {
        case RenderState::ZEnable: Enable(GL_DEPTH_TEST, value != 0); return kOk;
        case RenderState::CullMode:
            if (value == kCullNone) {
                gl_->glDisable(GL_CULL_FACE);
            } else if (value == kCullCw || value == kCullCcw) {
                // Front faces are clockwise on the screen; D3DCULL_CCW drops the others.
                gl_->glEnable(GL_CULL_FACE);
                gl_->glCullFace(value == kCullCcw ? GL_BACK : GL_FRONT);
            } else {
                return kErrInvalidCall;
            }
            return kOk;
        case RenderState::AlphaBlendEnable: Enable(GL_BLEND, value != 0); return kOk;
        case RenderState::Lighting: Enable(GL_LIGHTING, value != 0); return kOk;
        }
        return kErrInvalidCall;
    }

    HResult SetTextureStageState(uint32_t stage, TextureStageState type, uint32_t value) override {
        if (stage != 0 || !MakeCurrent()) return kErrInvalidCall;
        switch (type) {
        case TextureStageState::ColorOp:
            if (value != kTopModulate && value != kTopSelectArg1 && value != kTopDisable) return kErrInvalidCall;
            colorOp_ = value;
            break;
        case TextureStageState::ColorArg1:
            if (value != kTaTexture && value != kTaDiffuse) return kErrInvalidCall;
            colorArg1_ = value;
            break;
        case TextureStageState::MagFilter:
        case TextureStageState::MinFilter: {
            if (value != kTexfPoint && value != kTexfLinear) return kErrInvalidCall;
            (type == TextureStageState::MagFilter ? magFilter_ : minFilter_) = value;
            break;
        }
        }
        ApplyStage();
        return kOk;
    }

    HResult CreateTextureFromFile(const std::filesystem::path& file, TextureHandle& texture) override {
        texture = 0;
        if (!MakeCurrent()) return kErrInvalidCall;
        // Refused when missing, cut short, too large or not a BMP, JPEG or GIF; opaque.
        const QImage picture = pictures::LoadPictureFile(file);
        if (picture.isNull()) return kErrInvalidData;
        const QImage image = pictures::FitToTexture(picture, MaxTextureSide());
        if (image.isNull()) return kErrOutOfVideoMemory;
        if (const HResult hr = CreateTexture(uint32_t(image.width()), uint32_t(image.height()), texture); Failed(hr))
            return hr;
        const HResult hr =
            CopyToTexture(texture, 0, uint32_t(image.height()), image.constBits(), uint32_t(image.bytesPerLine()));
        if (Failed(hr)) ReleaseTexture(texture);
        return hr;
    }

    HResult CreateTexture(uint32_t width, uint32_t height, TextureHandle& texture) override {
        texture = 0;
        if (!MakeCurrent() || width == 0 || height == 0 || width > uint32_t(MaxTextureSide()) ||
            height > uint32_t(MaxTextureSide()))
            return kErrInvalidCall;
        GLuint id = 0;
        gl_->glGenTextures(1, &id);
        gl_->glBindTexture(GL_TEXTURE_2D, id);
        // Row 0 of the picture (its top) is texture row 0, as in Direct3D.
        gl_->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(width), GLsizei(height), 0, GL_BGRA,
                          GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        // The top level only; coordinates wrap (Direct3D's default addressing).
        gl_->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        gl_->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        gl_->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        gl_->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        const GLenum error = gl_->glGetError();
        if (error != GL_NO_ERROR) {
            gl_->glDeleteTextures(1, &id);
            BindCurrentTexture();
            return error == GL_OUT_OF_MEMORY ? kErrOutOfVideoMemory : kErrInvalidCall;
        }
        texture = ++lastHandle_;
        textures_[texture] = Texture{id, width, height};
        BindCurrentTexture();
        return kOk;
    }

    HResult CreateMirroredTexture(TextureHandle source, TextureHandle& texture) override {
        texture = 0;
        const auto found = textures_.find(source);
        if (found == textures_.end()) return kErrInvalidCall;
        Texture view = found->second;
        view.mirrored = !view.mirrored;
        view.owner = false;
        texture = ++lastHandle_;
        textures_[texture] = view;
        return kOk;
    }

    HResult CopyToTexture(TextureHandle texture, uint32_t firstRow, uint32_t rowCount, const void* rows,
                          uint32_t bytesPerRow) override {
        const auto found = textures_.find(texture);
        if (found == textures_.end() || !found->second.owner || !rows ||
            uint64_t(firstRow) + rowCount > found->second.height || bytesPerRow % kTexelBytes != 0 ||
            bytesPerRow / kTexelBytes < found->second.width || !MakeCurrent())
            return kErrInvalidCall;
        gl_->glBindTexture(GL_TEXTURE_2D, found->second.id);
        gl_->glPixelStorei(GL_UNPACK_ALIGNMENT, kTexelBytes);
        gl_->glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(bytesPerRow / kTexelBytes));
        gl_->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, GLint(firstRow), GLsizei(found->second.width), GLsizei(rowCount),
                             GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows);
        gl_->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        const GLenum error = gl_->glGetError();
        BindCurrentTexture();
        return error == GL_NO_ERROR ? kOk : kErrInvalidCall;
    }

    HResult CreateVertexBuffer(uint32_t length, uint32_t /*usage*/, uint32_t fvf, uint32_t /*pool*/,
                               VertexBufferHandle& buffer) override {
        buffer = 0;
        if (length == 0 || (fvf != 0 && fvf != kFvfXyzTex1) || !MakeCurrent()) return kErrInvalidCall;
        GLuint id = 0;
        gl_->glGenBuffers(1, &id);
        gl_->glBindBuffer(GL_ARRAY_BUFFER, id);
        gl_->glBufferData(GL_ARRAY_BUFFER, length, nullptr, GL_STATIC_DRAW);
        if (gl_->glGetError() != GL_NO_ERROR) {
            gl_->glDeleteBuffers(1, &id);
            return kErrOutOfVideoMemory;
        }
        buffer = ++lastHandle_;
        buffers_[buffer] = Buffer{id, length};
        return kOk;
    }

    HResult CopyToVertexBuffer(VertexBufferHandle buffer, uint32_t offset, const void* data, uint32_t size) override {
        const auto found = buffers_.find(buffer);
        if (found == buffers_.end() || !data || uint64_t(offset) + size > found->second.length || !MakeCurrent())
            return kErrInvalidCall;
        gl_->glBindBuffer(GL_ARRAY_BUFFER, found->second.id);
        gl_->glBufferSubData(GL_ARRAY_BUFFER, offset, size, data);
        return kOk;
    }

    HResult SetTransform(TransformState state, const Matrix& matrix) override {
        if (!MakeCurrent()) return kErrInvalidCall;
        if (state == TransformState::View) {
            // No world transform is ever set, so the model-view matrix is the view.
            gl_->glMatrixMode(GL_MODELVIEW);
            gl_->glLoadMatrixf(glm::value_ptr(matrix));
        } else if (state == TransformState::Projection) {
            Matrix projection = matrix;
            if (!clipControl_) {
                // z' = 2z - w takes Direct3D's 0..w depth range to OpenGL's -w..w.
                Matrix remap(1.0f);
                remap[2][2] = 2.0f;
                remap[3][2] = -1.0f;
                projection = remap * matrix;
            }
            gl_->glMatrixMode(GL_PROJECTION);
            gl_->glLoadMatrixf(glm::value_ptr(projection));
            gl_->glMatrixMode(GL_MODELVIEW);
        } else {
            return kErrInvalidCall;
        }
        return kOk;
    }

    HResult Clear(uint32_t flags, uint32_t color, float z, uint32_t /*stencil*/) override {
        if (!MakeCurrent() || (flags & ~(kClearTarget | kClearZBuffer)) != 0) return kErrInvalidCall;
        UpdateViewport();
        GLbitfield mask = 0;
        if (flags & kClearTarget) {
            gl_->glClearColor(((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f,
                              ((color >> 24) & 0xFF) / 255.0f);
            mask |= GL_COLOR_BUFFER_BIT;
        }
        if (flags & kClearZBuffer) {
            gl_->glClearDepth(z);
            gl_->glDepthMask(GL_TRUE);
            mask |= GL_DEPTH_BUFFER_BIT;
        }
        gl_->glClear(mask);
        return kOk;
    }

    HResult BeginScene() override {
        if (inScene_ || !MakeCurrent()) return kErrInvalidCall;
        inScene_ = true;
        return kOk;
    }

    HResult EndScene() override {
        if (!inScene_) return kErrInvalidCall;
        inScene_ = false;
        return kOk;
    }

    HResult SetVertexShader(uint32_t fvf) override {
        if (fvf != kFvfXyzTex1) return kErrInvalidCall;
        fvf_ = fvf;
        return kOk;
    }

    HResult SetStreamSource(uint32_t stream, VertexBufferHandle buffer, uint32_t stride) override {
        if (stream != 0 || (buffer != 0 && !buffers_.contains(buffer))) return kErrInvalidCall;
        streamBuffer_ = buffer;
        streamStride_ = stride;
        return kOk;
    }

    HResult SetTexture(uint32_t stage, TextureHandle texture) override {
        if (stage != 0 || (texture != 0 && !textures_.contains(texture)) || !MakeCurrent()) return kErrInvalidCall;
        texture_ = texture;
        BindCurrentTexture();
        return kOk;
    }

    HResult DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override {
        const auto found = buffers_.find(streamBuffer_);
        if (!inScene_ || type != PrimitiveType::TriangleStrip || fvf_ != kFvfXyzTex1 || found == buffers_.end() ||
            streamStride_ < kXyzTex1Bytes || primitiveCount == 0 || !MakeCurrent())
            return kErrInvalidCall;
        const uint64_t vertexCount = uint64_t(primitiveCount) + 2;
        const uint64_t end = (uint64_t(startVertex) + vertexCount - 1) * streamStride_ + kXyzTex1Bytes;
        if (end > found->second.length) return kErrInvalidCall;
        gl_->glBindBuffer(GL_ARRAY_BUFFER, found->second.id);
        gl_->glEnableClientState(GL_VERTEX_ARRAY);
        gl_->glVertexPointer(3, GL_FLOAT, GLsizei(streamStride_), nullptr);
        gl_->glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        gl_->glTexCoordPointer(2, GL_FLOAT, GLsizei(streamStride_), reinterpret_cast<const void*>(kTexCoordOffset));
        gl_->glDrawArrays(GL_TRIANGLE_STRIP, GLint(startVertex), GLsizei(vertexCount));
        return kOk;
    }

    HResult Present() override {
        if (inScene_ || !MakeCurrent()) return kErrInvalidCall;
        if (window_) {
            // A window that is not on the screen yet has nothing to show the frame on.
            if (window_->isExposed()) context_->swapBuffers(window_);
        } else {
            QOpenGLFramebufferObject::blitFramebuffer(front_.get(), back_.get(), GL_COLOR_BUFFER_BIT, GL_NEAREST);
            back_->bind();
        }
        return kOk;
    }

    HResult GetFrontBuffer(QImage& image) override {
        if (!front_ || !MakeCurrent()) return kErrNotAvailable;
        image = front_->toImage(true).convertToFormat(QImage::Format_RGB32);
        back_->bind();
        return image.isNull() ? kErrOutOfVideoMemory : kOk;
    }

    void ReleaseVertexBuffer(VertexBufferHandle buffer) override {
        const auto found = buffers_.find(buffer);
        if (found == buffers_.end()) return;
        if (MakeCurrent()) gl_->glDeleteBuffers(1, &found->second.id);
        buffers_.erase(found);
        if (streamBuffer_ == buffer) streamBuffer_ = 0;
    }

private:
    struct Texture {
        GLuint id;
        uint32_t width;
        uint32_t height;
        bool owner = true;     // false: a view of another handle's texture
        bool mirrored = false; // sampled mirrored left to right
    };
    struct Filters {
        GLint min = 0; // as last set on the texture; 0 before the first use
        GLint mag = 0;
    };
    struct Buffer {
        GLuint id;
        uint32_t length;
    };

    bool MakeCurrent() {
        if (!context_ || !gl_) return false;
        if (QOpenGLContext::currentContext() == context_ && context_->surface() == surface_) return true;
        return context_->makeCurrent(surface_);
    }

    void Enable(GLenum capability, bool on) { on ? gl_->glEnable(capability) : gl_->glDisable(capability); }

    // The longest texture side: the driver's limit, and ours above it.
    int MaxTextureSide() {
        if (maxTextureSide_ == 0) {
            GLint driver = 0;
            gl_->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &driver);
            maxTextureSide_ = driver > 0 ? std::min(int(driver), displaySide_) : displaySide_;
        }
        return maxTextureSide_;
    }

    void ReleaseTexture(TextureHandle& texture) {
        const auto found = textures_.find(texture);
        if (found != textures_.end()) {
            gl_->glDeleteTextures(1, &found->second.id);
            filters_.erase(found->second.id);
            textures_.erase(found);
        }
        texture = 0;
        BindCurrentTexture();
    }

    // Direct3D's state after CreateDevice: depth test on (a depth buffer was asked for),
    // counter-clockwise faces culled, lighting on with no ambient light, vertex colour white,
    // stage 0 modulating the texture by it, point sampling, no blending.
    void SetDirect3DDefaults() {
        gl_->glEnable(GL_DEPTH_TEST);
        gl_->glDepthFunc(GL_LEQUAL);
        gl_->glFrontFace(GL_CW);
        gl_->glEnable(GL_CULL_FACE);
        gl_->glCullFace(GL_BACK);
        gl_->glEnable(GL_LIGHTING);
        const GLfloat noAmbient[] = {0, 0, 0, 1};
        gl_->glLightModelfv(GL_LIGHT_MODEL_AMBIENT, noAmbient);
        gl_->glColor4f(1, 1, 1, 1);
        gl_->glDisable(GL_BLEND);
        gl_->glMatrixMode(GL_MODELVIEW);
        gl_->glLoadIdentity();
        ApplyStage();
        UpdateViewport();
    }

    void ApplyStage() {
        const bool textured =
            texture_ != 0 && colorOp_ != kTopDisable && !(colorOp_ == kTopSelectArg1 && colorArg1_ == kTaDiffuse);
        Enable(GL_TEXTURE_2D, textured);
        const GLint mode = colorOp_ == kTopSelectArg1 ? GL_REPLACE : GL_MODULATE;
        gl_->glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
        ApplyFilters();
    }

    // Filters belong to the stage in Direct3D and to the texture in OpenGL.
    void ApplyFilters() {
        const auto found = textures_.find(texture_);
        if (found == textures_.end()) return;
        Filters& set = filters_[found->second.id];
        const GLint minFilter = minFilter_ == kTexfLinear ? GL_LINEAR : GL_NEAREST;
        const GLint magFilter = magFilter_ == kTexfLinear ? GL_LINEAR : GL_NEAREST;
        if (set.min != minFilter) {
            gl_->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
            set.min = minFilter;
        }
        if (set.mag != magFilter) {
            gl_->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
            set.mag = magFilter;
        }
    }

    void BindCurrentTexture() {
        const auto found = textures_.find(texture_);
        const bool mirrored = found != textures_.end() && found->second.mirrored;
        gl_->glBindTexture(GL_TEXTURE_2D, found == textures_.end() ? 0 : found->second.id);
        if (mirrored != textureMirrored_) {
            // u -> -u: with wrapping coordinates, the texel at u is the one at 1 - u.
            gl_->glMatrixMode(GL_TEXTURE);
            gl_->glLoadIdentity();
            if (mirrored) gl_->glScalef(-1, 1, 1);
            gl_->glMatrixMode(GL_MODELVIEW);
            textureMirrored_ = mirrored;
        }
        ApplyStage();
    }

    void UpdateViewport() {
        QSize size = back_ ? back_->size() : window_->size() * window_->devicePixelRatio();
        gl_->glViewport(0, 0, size.width(), size.height());
    }

    void Destroy() {
        if (context_ && gl_ && MakeCurrent()) {
            for (auto& [handle, texture] : textures_)
                if (texture.owner) gl_->glDeleteTextures(1, &texture.id);
            for (auto& [handle, buffer] : buffers_) gl_->glDeleteBuffers(1, &buffer.id);
            back_.reset();
            front_.reset();
            context_->doneCurrent();
        }
        // Without a current context the objects go with the context itself.
        textures_.clear();
        buffers_.clear();
        back_.reset();
        front_.reset();
        context_ = nullptr;
        glx_.reset();
        ownContext_.reset();
        offscreen_.reset();
    }

    std::unique_ptr<d3d::GlxContext> glx_;       // the window's context, where GLX gives it
    std::unique_ptr<QOpenGLContext> ownContext_; // otherwise Qt's
    QOpenGLContext* context_ = nullptr;          // the one of the two in use
    std::unique_ptr<QOffscreenSurface> offscreen_;
    std::unique_ptr<QOpenGLFramebufferObject> back_;
    std::unique_ptr<QOpenGLFramebufferObject> front_;
    QSurface* surface_ = nullptr;
    QWindow* window_ = nullptr;
    QOpenGLFunctions_2_1* gl_ = nullptr;
    ClipControlFn clipControl_ = nullptr;

    std::unordered_map<TextureHandle, Texture> textures_;
    std::unordered_map<GLuint, Filters> filters_;
    bool textureMirrored_ = false; // the texture matrix mirrors
    std::unordered_map<VertexBufferHandle, Buffer> buffers_;
    uint32_t lastHandle_ = 0;
    int displaySide_ = 0;    // MaxTextureSide of the display mode
    int maxTextureSide_ = 0; // and the driver's limit, asked on first use

    bool inScene_ = false;
    uint32_t fvf_ = 0;
    VertexBufferHandle streamBuffer_ = 0;
    uint32_t streamStride_ = 0;
    TextureHandle texture_ = 0;
    uint32_t colorOp_ = kTopModulate;
    uint32_t colorArg1_ = kTaTexture;
    uint32_t minFilter_ = kTexfPoint;
    uint32_t magFilter_ = kTexfPoint;
};

class GlDirect3D final : public Direct3D {
public:
    explicit GlDirect3D(std::optional<QSize> offscreenSize) : offscreenSize_(offscreenSize) {}

    HResult GetAdapterDisplayMode(uint32_t adapter, DisplayMode& mode) override {
        if (offscreenSize_) {
            if (adapter != 0) return kErrInvalidCall;
            mode =
                DisplayMode{uint32_t(offscreenSize_->width()), uint32_t(offscreenSize_->height()), 0, Format::X8R8G8B8};
            return kOk;
        }
        const QList<QScreen*> screens = QGuiApplication::screens();
        if (adapter >= uint32_t(screens.size())) return screens.isEmpty() ? kErrNotAvailable : kErrInvalidCall;
        const QScreen* screen = screens[qsizetype(adapter)];
        const QSize pixels = screen->size() * screen->devicePixelRatio();
        mode.Width = uint32_t(pixels.width());
        mode.Height = uint32_t(pixels.height());
        mode.RefreshRate = uint32_t(screen->refreshRate() + 0.5);
        mode.format = screen->depth() <= 16 ? Format::R5G6B5 : Format::X8R8G8B8;
        return kOk;
    }

    HResult CreateDevice(uint32_t adapter, DevType type, uint32_t /*behaviorFlags*/,
                         const PresentParameters& parameters, std::unique_ptr<Device>& device) override {
        device.reset();
        DisplayMode mode;
        if (const HResult hr = GetAdapterDisplayMode(adapter, mode); Failed(hr)) return hr;
        if (type != DevType::Hal) return kErrNotAvailable;
        // Full screen only at the current display mode; a depth buffer is required.
        const bool onScreen = !offscreenSize_;
        if (parameters.Windowed || parameters.BackBufferWidth != mode.Width ||
            parameters.BackBufferHeight != mode.Height || (onScreen && !parameters.hDeviceWindow) ||
            !parameters.EnableAutoDepthStencil || parameters.AutoDepthStencilFormat != Format::D16)
            return kErrInvalidCall;
        auto made = std::make_unique<GlDevice>();
        const HResult hr =
            made->Create(onScreen ? parameters.hDeviceWindow : nullptr, QSize(int(mode.Width), int(mode.Height)));
        if (Failed(hr)) return hr;
        device = std::move(made);
        return kOk;
    }

private:
    std::optional<QSize> offscreenSize_;
};

} // namespace

std::unique_ptr<Direct3D> CreateGlDirect3D() { return std::make_unique<GlDirect3D>(std::nullopt); }

uint32_t AdapterOf(const QScreen* screen) {
    const qsizetype index = QGuiApplication::screens().indexOf(const_cast<QScreen*>(screen));
    return index < 0 ? 0 : uint32_t(index);
}

std::unique_ptr<Direct3D> CreateOffscreenGlDirect3D(QSize size) { return std::make_unique<GlDirect3D>(size); }

} // namespace quelm::d3d
