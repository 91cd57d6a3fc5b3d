#include "platform/wayland/compositor_capture.h"

#include "platform/wayland/shm_pixels.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "ext-image-capture-source-v1-client-protocol.h"
#include "ext-image-copy-capture-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace quelm::wayland {
namespace {

// The newest versions whose events are handled here.
constexpr uint32_t kOutputVersion = 4;     // wl_output.name
constexpr uint32_t kXdgOutputVersion = 3;  // names, and wl_output.done closes each update
constexpr uint32_t kScreencopyVersion = 3; // buffer_done after every buffer kind

QString Hex(uint32_t format) { return QStringLiteral("0x%1").arg(format, 8, 16, QLatin1Char('0')); }

// A buffer in memory shared with the compositor (a memfd).
struct ShmBuffer {
    wl_buffer* buffer = nullptr;
    uchar* data = nullptr;
    size_t size = 0;
    uint32_t format = 0;
    int width = 0, height = 0, stride = 0;

    ShmBuffer() = default;
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;
    ~ShmBuffer() {
        if (buffer) wl_buffer_destroy(buffer);
        if (data) munmap(data, size);
    }

    bool Make(wl_shm* shm, uint32_t fmt, int w, int h, int rowBytes, QString* why) {
        format = fmt, width = w, height = h, stride = rowBytes;
        size = size_t(rowBytes) * size_t(h);
        if (w <= 0 || h <= 0 || rowBytes < qint64(w) * ShmBytesPerPixel(fmt) || size > size_t(INT32_MAX)) {
            *why = QStringLiteral("the compositor asked for a %1x%2 buffer of stride %3").arg(w).arg(h).arg(rowBytes);
            return false;
        }
        const int fd = memfd_create("quelm-desktop-capture", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, off_t(size)) != 0) {
            *why = QStringLiteral("no shared memory for the capture (%1)").arg(QString::fromLocal8Bit(strerror(errno)));
            if (fd >= 0) close(fd);
            return false;
        }
        void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (mapped == MAP_FAILED) {
            *why =
                QStringLiteral("could not map the capture's memory (%1)").arg(QString::fromLocal8Bit(strerror(errno)));
            close(fd);
            return false;
        }
        data = static_cast<uchar*>(mapped);
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(size));
        buffer = wl_shm_pool_create_buffer(pool, 0, w, h, rowBytes, fmt);
        wl_shm_pool_destroy(pool); // the buffer keeps the memory
        close(fd);
        return true;
    }
};

struct Globals;

// One output: what it is, and its capture while one runs.
struct Output {
    enum class State { Idle, Waiting, Ready, Failed };

    Globals* globals = nullptr;
    uint32_t globalName = 0;
    wl_output* output = nullptr;
    uint32_t version = 0;
    zxdg_output_v1* xdgOutput = nullptr;
    QString name;
    QPoint position;
    QSize modeSize;
    int32_t scale = 1;
    uint32_t transform = WL_OUTPUT_TRANSFORM_NORMAL;
    QPoint logicalPosition;
    QSize logicalSize;

    State state = State::Idle;
    QString failure;
    QImage image;
    ShmBuffer buffer;
    // wlr-screencopy
    zwlr_screencopy_frame_v1* wlrFrame = nullptr;
    std::vector<std::tuple<uint32_t, int, int, int>> shmOffers; // format, width, height, stride
    bool yInvert = false;
    // ext-image-copy-capture
    ext_image_capture_source_v1* source = nullptr;
    ext_image_copy_capture_session_v1* session = nullptr;
    ext_image_copy_capture_frame_v1* extFrame = nullptr;
    std::vector<uint32_t> extFormats;
    QSize extSize;
    uint32_t frameTransform = WL_OUTPUT_TRANSFORM_NORMAL;

    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output() {
        if (wlrFrame) zwlr_screencopy_frame_v1_destroy(wlrFrame);
        if (extFrame) ext_image_copy_capture_frame_v1_destroy(extFrame);
        if (session) ext_image_copy_capture_session_v1_destroy(session);
        if (source) ext_image_capture_source_v1_destroy(source);
        if (xdgOutput) zxdg_output_v1_destroy(xdgOutput);
        if (output) version >= WL_OUTPUT_RELEASE_SINCE_VERSION ? wl_output_release(output) : wl_output_destroy(output);
    }

    QString Label() const { return name.isEmpty() ? QStringLiteral("an output") : QStringLiteral("output ") + name; }

    QRect Area() const {
        if (logicalSize.isValid() && !logicalSize.isEmpty()) return {logicalPosition, logicalSize};
        QSize size = transform % 2 ? modeSize.transposed() : modeSize;
        return {position, size / std::max(scale, 1)};
    }

    void Fail(const QString& why) {
        if (state == State::Ready || state == State::Failed) return;
        state = State::Failed;
        failure = Label() + QStringLiteral(": ") + why;
    }

    void Finish(uint32_t shownTransform) {
        if (state != State::Waiting) return;
        const QImage copied =
            ImageFromShm(buffer.data, buffer.format, buffer.width, buffer.height, buffer.stride, yInvert);
        if (copied.isNull()) return Fail(QStringLiteral("its pixels could not be read"));
        image = ApplyOutputTransform(copied, shownTransform);
        state = State::Ready;
    }
};

struct Globals {
    wl_registry* registry = nullptr;
    wl_shm* shm = nullptr;
    zxdg_output_manager_v1* xdgOutputs = nullptr;
    zwlr_screencopy_manager_v1* screencopy = nullptr;
    uint32_t screencopyVersion = 0;
    ext_image_copy_capture_manager_v1* copyCapture = nullptr;
    ext_output_image_capture_source_manager_v1* outputSources = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;

    Globals() = default;
    Globals(const Globals&) = delete;
    Globals& operator=(const Globals&) = delete;
    ~Globals() {
        outputs.clear();
        if (screencopy) zwlr_screencopy_manager_v1_destroy(screencopy);
        if (copyCapture) ext_image_copy_capture_manager_v1_destroy(copyCapture);
        if (outputSources) ext_output_image_capture_source_manager_v1_destroy(outputSources);
        if (xdgOutputs) zxdg_output_manager_v1_destroy(xdgOutputs);
        if (shm) wl_shm_destroy(shm);
        if (registry) wl_registry_destroy(registry);
    }
};

// ---- Output descriptions: wl_output and xdg_output.

const wl_output_listener kOutputListener{
    .geometry =
        [](void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
           int32_t transform) {
            auto* o = static_cast<Output*>(data);
            o->position = {x, y};
            o->transform = uint32_t(transform);
        },
    .mode =
        [](void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
            if (flags & WL_OUTPUT_MODE_CURRENT) static_cast<Output*>(data)->modeSize = {width, height};
        },
    .done = [](void*, wl_output*) {},
    .scale = [](void* data, wl_output*, int32_t factor) { static_cast<Output*>(data)->scale = factor; },
    .name = [](void* data, wl_output*,
               const char* name) { static_cast<Output*>(data)->name = QString::fromUtf8(name); },
    .description = [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kXdgOutputListener{
    .logical_position =
        [](void* data, zxdg_output_v1*, int32_t x, int32_t y) {
            static_cast<Output*>(data)->logicalPosition = {x, y};
        },
    .logical_size =
        [](void* data, zxdg_output_v1*, int32_t width, int32_t height) {
            static_cast<Output*>(data)->logicalSize = {width, height};
        },
    .done = [](void*, zxdg_output_v1*) {},
    .name =
        [](void* data, zxdg_output_v1*, const char* name) {
            auto* o = static_cast<Output*>(data);
            if (o->name.isEmpty()) o->name = QString::fromUtf8(name);
        },
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

const wl_registry_listener kRegistryListener{
    .global =
        [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
            auto* g = static_cast<Globals*>(data);
            auto bind = [&](const wl_interface* type, uint32_t newest) {
                return wl_registry_bind(registry, name, type, std::min(version, newest));
            };
            const std::string_view is(interface);
            if (is == wl_shm_interface.name && !g->shm) {
                g->shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
            } else if (is == wl_output_interface.name) {
                auto o = std::make_unique<Output>();
                o->globals = g;
                o->globalName = name;
                o->version = std::min(version, kOutputVersion);
                o->output = static_cast<wl_output*>(bind(&wl_output_interface, kOutputVersion));
                wl_output_add_listener(o->output, &kOutputListener, o.get());
                g->outputs.push_back(std::move(o));
            } else if (is == zxdg_output_manager_v1_interface.name && !g->xdgOutputs) {
                g->xdgOutputs =
                    static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, kXdgOutputVersion));
            } else if (is == zwlr_screencopy_manager_v1_interface.name && !g->screencopy) {
                g->screencopyVersion = std::min(version, kScreencopyVersion);
                g->screencopy = static_cast<zwlr_screencopy_manager_v1*>(
                    bind(&zwlr_screencopy_manager_v1_interface, kScreencopyVersion));
            } else if (is == ext_image_copy_capture_manager_v1_interface.name && !g->copyCapture) {
                g->copyCapture = static_cast<ext_image_copy_capture_manager_v1*>(
                    bind(&ext_image_copy_capture_manager_v1_interface, 1));
            } else if (is == ext_output_image_capture_source_manager_v1_interface.name && !g->outputSources) {
                g->outputSources = static_cast<ext_output_image_capture_source_manager_v1*>(
                    bind(&ext_output_image_capture_source_manager_v1_interface, 1));
            }
        },
    .global_remove =
        [](void* data, wl_registry*, uint32_t name) {
            for (auto& o : static_cast<Globals*>(data)->outputs) {
                if (o->globalName == name) o->Fail(QStringLiteral("it went away during the capture"));
            }
        },
};

// ---- wlr-screencopy-unstable-v1: the compositor says which buffer, we copy into it.

void CopyWlrFrame(Output* o) {
    if (o->state != Output::State::Waiting || o->buffer.buffer) return;
    std::vector<uint32_t> formats;
    for (auto& offer : o->shmOffers) formats.push_back(std::get<0>(offer));
    const auto format = PreferredShmFormat(formats);
    if (!format) {
        QStringList offered;
        for (uint32_t f : formats) offered << Hex(f);
        return o->Fail(offered.isEmpty()
                           ? QStringLiteral("the compositor offers no shared-memory buffer for it")
                           : QStringLiteral("its pixel format %1 is not one read here").arg(offered.join(", ")));
    }
    auto offer =
        *std::find_if(o->shmOffers.begin(), o->shmOffers.end(), [&](auto& of) { return std::get<0>(of) == *format; });
    QString why;
    if (!o->buffer.Make(o->globals->shm, *format, std::get<1>(offer), std::get<2>(offer), std::get<3>(offer), &why))
        return o->Fail(why);
    zwlr_screencopy_frame_v1_copy(o->wlrFrame, o->buffer.buffer);
}

const zwlr_screencopy_frame_v1_listener kWlrFrameListener{
    .buffer =
        [](void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height, uint32_t stride) {
            auto* o = static_cast<Output*>(data);
            o->shmOffers.emplace_back(format, int(width), int(height), int(stride));
            // Before version 3 this is the one offer, and no buffer_done follows.
            if (o->globals->screencopyVersion < 3) CopyWlrFrame(o);
        },
    .flags =
        [](void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
            static_cast<Output*>(data)->yInvert = flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
        },
    .ready =
        [](void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
            auto* o = static_cast<Output*>(data);
            o->Finish(o->transform);
        },
    .failed =
        [](void* data, zwlr_screencopy_frame_v1*) {
            static_cast<Output*>(data)->Fail(QStringLiteral("the compositor failed to copy it"));
        },
    .damage = [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {},
    .linux_dmabuf = [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {},
    .buffer_done = [](void* data, zwlr_screencopy_frame_v1*) { CopyWlrFrame(static_cast<Output*>(data)); },
};

void StartWlrCapture(Output* o) {
    constexpr int32_t kNoCursor = 0;
    o->state = Output::State::Waiting;
    o->wlrFrame = zwlr_screencopy_manager_v1_capture_output(o->globals->screencopy, kNoCursor, o->output);
    zwlr_screencopy_frame_v1_add_listener(o->wlrFrame, &kWlrFrameListener, o);
}

// ---- ext-image-copy-capture-v1: a session tells the constraints, a frame is captured.

const ext_image_copy_capture_frame_v1_listener kExtFrameListener{
    .transform = [](void* data, ext_image_copy_capture_frame_v1*,
                    uint32_t transform) { static_cast<Output*>(data)->frameTransform = transform; },
    .damage = [](void*, ext_image_copy_capture_frame_v1*, int32_t, int32_t, int32_t, int32_t) {},
    .presentation_time = [](void*, ext_image_copy_capture_frame_v1*, uint32_t, uint32_t, uint32_t) {},
    .ready =
        [](void* data, ext_image_copy_capture_frame_v1*) {
            auto* o = static_cast<Output*>(data);
            o->Finish(o->frameTransform);
        },
    .failed =
        [](void* data, ext_image_copy_capture_frame_v1*, uint32_t reason) {
            auto* o = static_cast<Output*>(data);
            switch (reason) {
            case EXT_IMAGE_COPY_CAPTURE_FRAME_V1_FAILURE_REASON_BUFFER_CONSTRAINTS:
                return o->Fail(QStringLiteral("its buffer no longer fit what the compositor wanted"));
            case EXT_IMAGE_COPY_CAPTURE_FRAME_V1_FAILURE_REASON_STOPPED:
                return o->Fail(QStringLiteral("its capture session stopped"));
            default: return o->Fail(QStringLiteral("the compositor failed to capture it"));
            }
        },
};

const ext_image_copy_capture_session_v1_listener kExtSessionListener{
    .buffer_size = [](void* data, ext_image_copy_capture_session_v1*, uint32_t width,
                      uint32_t height) { static_cast<Output*>(data)->extSize = QSize(int(width), int(height)); },
    .shm_format = [](void* data, ext_image_copy_capture_session_v1*,
                     uint32_t format) { static_cast<Output*>(data)->extFormats.push_back(format); },
    .dmabuf_device = [](void*, ext_image_copy_capture_session_v1*, wl_array*) {},
    .dmabuf_format = [](void*, ext_image_copy_capture_session_v1*, uint32_t, wl_array*) {},
    .done =
        [](void* data, ext_image_copy_capture_session_v1* session) {
            auto* o = static_cast<Output*>(data);
            if (o->state != Output::State::Waiting || o->extFrame) return; // constraints told again
            const auto format = PreferredShmFormat(o->extFormats);
            if (!format) return o->Fail(QStringLiteral("the compositor offers no shared-memory format read here"));
            QString why;
            const int stride = o->extSize.width() * ShmBytesPerPixel(*format);
            if (!o->buffer.Make(o->globals->shm, *format, o->extSize.width(), o->extSize.height(), stride, &why))
                return o->Fail(why);
            o->extFrame = ext_image_copy_capture_session_v1_create_frame(session);
            ext_image_copy_capture_frame_v1_add_listener(o->extFrame, &kExtFrameListener, o);
            ext_image_copy_capture_frame_v1_attach_buffer(o->extFrame, o->buffer.buffer);
            ext_image_copy_capture_frame_v1_damage_buffer(o->extFrame, 0, 0, o->extSize.width(), o->extSize.height());
            ext_image_copy_capture_frame_v1_capture(o->extFrame);
        },
    .stopped =
        [](void* data, ext_image_copy_capture_session_v1*) {
            static_cast<Output*>(data)->Fail(QStringLiteral("its capture session stopped"));
        },
};

void StartExtCapture(Output* o) {
    constexpr uint32_t kNoCursors = 0;
    o->state = Output::State::Waiting;
    o->source = ext_output_image_capture_source_manager_v1_create_source(o->globals->outputSources, o->output);
    o->session = ext_image_copy_capture_manager_v1_create_session(o->globals->copyCapture, o->source, kNoCursors);
    ext_image_copy_capture_session_v1_add_listener(o->session, &kExtSessionListener, o);
}

OutputPicture Describe(const Output& o) {
    OutputPicture picture;
    picture.name = o.name;
    picture.area = o.Area();
    picture.scale = o.scale;
    return picture;
}

} // namespace

CompositorCapture CaptureThroughCompositor(Clock::time_point deadline) {
    CompositorCapture result;
    QString why;
    const auto connection = WaylandConnection::Open(&why);
    if (!connection) {
        result.capture.failure = why;
        return result;
    }
    Globals globals; // destroyed before the connection
    globals.registry = wl_display_get_registry(connection->display());
    wl_registry_add_listener(globals.registry, &kRegistryListener, &globals);
    if (!connection->Roundtrip(deadline, &why)) {
        result.capture.failure = why;
        return result;
    }
    result.connected = true;
    for (auto& o : globals.outputs) {
        if (!globals.xdgOutputs) break;
        o->xdgOutput = zxdg_output_manager_v1_get_xdg_output(globals.xdgOutputs, o->output);
        zxdg_output_v1_add_listener(o->xdgOutput, &kXdgOutputListener, o.get());
    }
    if (!connection->Roundtrip(deadline, &why)) {
        result.capture.failure = why;
        return result;
    }
    std::stable_sort(globals.outputs.begin(), globals.outputs.end(), [](auto& a, auto& b) {
        const QRect ra = a->Area(), rb = b->Area();
        return std::pair(ra.y(), ra.x()) < std::pair(rb.y(), rb.x());
    });
    for (auto& o : globals.outputs) result.layout.push_back(Describe(*o));

    const bool ext = globals.copyCapture && globals.outputSources;
    if (!ext && !globals.screencopy) {
        result.capture.failure =
            QStringLiteral("the compositor offers neither ext-image-copy-capture-v1 nor wlr-screencopy-unstable-v1");
        return result;
    }
    result.offersCapture = true;
    if (globals.outputs.empty()) {
        result.capture.failure = QStringLiteral("the compositor has no outputs");
        return result;
    }
    if (!globals.shm) {
        result.capture.failure = QStringLiteral("the compositor offers no shared memory (wl_shm)");
        return result;
    }
    for (auto& o : globals.outputs) {
        if (o->state == Output::State::Idle) ext ? StartExtCapture(o.get()) : StartWlrCapture(o.get());
    }
    const bool settled = connection->DispatchUntil(
        [&] {
            return std::none_of(globals.outputs.begin(), globals.outputs.end(),
                                [](auto& o) { return o->state == Output::State::Waiting; });
        },
        deadline, &why);

    QStringList failures;
    for (auto& o : globals.outputs) {
        if (!settled) o->Fail(why);
        if (o->state == Output::State::Failed) {
            failures << o->failure;
            continue;
        }
        OutputPicture picture = Describe(*o);
        picture.image = std::move(o->image);
        if (picture.area.width() > 0) picture.scale = qreal(picture.image.width()) / picture.area.width();
        result.capture.outputs.push_back(std::move(picture));
    }
    if (!result.capture.outputs.empty())
        result.capture.route = ext ? QStringLiteral("ext-image-copy-capture") : QStringLiteral("wlr-screencopy");
    result.capture.failure = failures.join(QStringLiteral("; "));
    return result;
}

} // namespace quelm::wayland
