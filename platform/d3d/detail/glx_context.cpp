#include "platform/d3d/detail/glx_context.h"

#include <QGuiApplication>
#include <QOpenGLContext>

#include <GL/glx.h>

// After the X headers, which define names Qt's own headers use.
#include <QtGui/qguiapplication_platform.h>
#include <QtGui/qopenglcontext_platform.h>

namespace quelm::d3d {
namespace {

int Attribute(Display* display, GLXFBConfig config, int attribute) {
    int value = 0;
    glXGetFBConfigAttrib(display, config, attribute, &value);
    return value;
}

// A double-buffered RGB configuration of 8 bits a colour without alpha, stencil or
// multisampling, whose depth buffer has the fewest bits of at least `depthBits`.
GLXFBConfig SmallestDepthConfig(Display* display, int depthBits) {
    // clang-format off
    const int wanted[] = {GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                          GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_X_VISUAL_TYPE, GLX_TRUE_COLOR,
                          GLX_DOUBLEBUFFER, True,
                          GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                          GLX_DEPTH_SIZE, depthBits,
                          None};
    // clang-format on
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), wanted, &count);
    GLXFBConfig best = nullptr;
    int bestDepth = 0;
    for (int i = 0; i < count; ++i) {
        const GLXFBConfig c = configs[i];
        if (Attribute(display, c, GLX_RED_SIZE) != 8 || Attribute(display, c, GLX_GREEN_SIZE) != 8 ||
            Attribute(display, c, GLX_BLUE_SIZE) != 8 || Attribute(display, c, GLX_ALPHA_SIZE) != 0 ||
            Attribute(display, c, GLX_STENCIL_SIZE) != 0 || Attribute(display, c, GLX_SAMPLE_BUFFERS) != 0 ||
            Attribute(display, c, GLX_CONFIG_CAVEAT) == GLX_SLOW_CONFIG)
            continue;
        const int depth = Attribute(display, c, GLX_DEPTH_SIZE);
        if (depth >= depthBits && (!best || depth < bestDepth)) {
            best = c;
            bestDepth = depth;
        }
    }
    if (configs) XFree(configs);
    return best;
}

} // namespace

std::unique_ptr<GlxContext> GlxContext::Make(int depthBits) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return nullptr;
    const GLXFBConfig config = SmallestDepthConfig(display, depthBits);
    if (!config) return nullptr;
    GLXContext native = glXCreateNewContext(display, config, GLX_RGBA_TYPE, nullptr, True);
    if (!native) return nullptr;
    std::unique_ptr<GlxContext> made(new GlxContext);
    made->display_ = display;
    made->native_ = native;
    // Null where Qt's windows do not draw through GLX.
    made->context_.reset(QNativeInterface::QGLXContext::fromNative(native));
    if (!made->context_ || !made->context_->isValid()) return nullptr;
    return made;
}

GlxContext::~GlxContext() {
    context_.reset();
    if (!native_) return;
    auto* display = static_cast<Display*>(display_);
    auto* native = static_cast<GLXContext>(native_);
    // Still current when its window went first (Qt then forgets it, GLX does not): a current
    // context would only be marked for destruction, never destroyed.
    if (glXGetCurrentContext() == native) glXMakeCurrent(display, None, nullptr);
    glXDestroyContext(display, native);
}

} // namespace quelm::d3d
