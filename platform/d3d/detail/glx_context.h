#pragma once
// An OpenGL context for a window on an X server, made through GLX on the frame-buffer
// configuration with the smallest depth buffer of at least the bits asked for. Qt's own
// choice takes the configuration the server lists first, which is the deepest (32 bits where
// the driver offers them): twice the memory a 16-bit buffer needs, a screen's worth of it.
#include <QOpenGLContext>

#include <memory>

namespace quelm::d3d {

class GlxContext {
public:
    // Null where the application does not draw through GLX (EGL, no OpenGL) or no
    // configuration has such a depth buffer; Qt then chooses.
    static std::unique_ptr<GlxContext> Make(int depthBits);
    ~GlxContext(); // the Qt context first, then the native one it adopted

    QOpenGLContext& Context() { return *context_; }

private:
    GlxContext() = default;
    std::unique_ptr<QOpenGLContext> context_;
    void* display_ = nullptr; // the application's Display
    void* native_ = nullptr;  // GLXContext
};

} // namespace quelm::d3d
