#include "platform/x11/screenshot.h"

#include "platform/x11/connection.h"

#include <QSysInfo>
#include <xcb/shm.h>

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace quelm::x11 {
namespace {

constexpr int kMaxScreenshotSide = 16384; // a pixmap larger than this is not a screen
constexpr int kBytesPerPixel = 4;         // Z-format pixels of depth 24 or 32

// A shared mapping that an image is made over and that goes with the image's last copy.
struct SharedPixels {
    void* data;
    size_t bytes;
};

void UnmapSharedPixels(void* info) {
    auto* pixels = static_cast<SharedPixels*>(info);
    munmap(pixels->data, pixels->bytes);
    delete pixels;
}

// True when the server can map memory of ours: MIT-SHM 1.2 (segments passed as file
// descriptors) over a local socket, the only kind that carries descriptors.
bool CanShareMemory(const Connection& conn) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(xcb_get_file_descriptor(conn.get()), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        address.ss_family != AF_UNIX)
        return false;
    const auto* extension = xcb_get_extension_data(conn.get(), &xcb_shm_id);
    if (!extension || !extension->present) return false;
    std::unique_ptr<xcb_shm_query_version_reply_t, decltype(&std::free)> version(
        xcb_shm_query_version_reply(conn.get(), xcb_shm_query_version(conn.get()), nullptr), &std::free);
    return version && (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 2));
}

// `area` of `drawable` read through memory shared with the server, which then copies the
// pixels once instead of writing them down the socket (and keeps other clients, our own
// window among them, waiting less). A null image when the server cannot share memory.
QImage SharedMemoryImage(const Connection& conn, xcb_drawable_t drawable, QRect area) {
    if (!CanShareMemory(conn)) return {};
    const size_t bytes = size_t(area.width()) * size_t(area.height()) * kBytesPerPixel;
    const int fd = memfd_create("quelm-screenshot", MFD_CLOEXEC);
    if (fd < 0) return {};
    void* data = MAP_FAILED;
    if (ftruncate(fd, off_t(bytes)) == 0) data = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return {};
    }
    const xcb_shm_seg_t segment = xcb_generate_id(conn.get());
    xcb_shm_attach_fd(conn.get(), segment, fd, /*read_only=*/0); // xcb closes fd once it is sent
    std::unique_ptr<xcb_shm_get_image_reply_t, decltype(&std::free)> reply(
        xcb_shm_get_image_reply(conn.get(),
                                xcb_shm_get_image(conn.get(), drawable, int16_t(area.x()), int16_t(area.y()),
                                                  uint16_t(area.width()), uint16_t(area.height()), ~0u,
                                                  XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0),
                                nullptr),
        &std::free);
    xcb_shm_detach(conn.get(), segment);
    xcb_flush(conn.get());
    if (!reply || reply->size < bytes) {
        munmap(data, bytes);
        return {};
    }
    return QImage(static_cast<const uchar*>(data), area.width(), area.height(),
                  qsizetype(area.width()) * kBytesPerPixel, QImage::Format_RGB32, &UnmapSharedPixels,
                  new SharedPixels{data, bytes});
}

QImage ReadPixmap(const Connection& conn, xcb_pixmap_t pixmap) {
    auto* geo = xcb_get_geometry_reply(conn.get(), xcb_get_geometry(conn.get(), pixmap), nullptr);
    if (!geo) return {};
    const int w = geo->width, h = geo->height, depth = geo->depth;
    std::free(geo);
    if (w <= 0 || h <= 0 || w > kMaxScreenshotSide || h > kMaxScreenshotSide || (depth != 24 && depth != 32)) return {};
    if (QImage shared = SharedMemoryImage(conn, pixmap, QRect(0, 0, w, h)); !shared.isNull()) return shared;
    QImage image(w, h, QImage::Format_RGB32);
    // Row bands keep each request well under the server's maximum request size.
    const int band = std::max(1, (4 << 20) / (w * kBytesPerPixel));
    for (int y = 0; y < h; y += band) {
        const int rows = std::min(band, h - y);
        auto* img =
            xcb_get_image_reply(conn.get(),
                                xcb_get_image(conn.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, static_cast<int16_t>(y),
                                              static_cast<uint16_t>(w), static_cast<uint16_t>(rows), ~0u),
                                nullptr);
        if (!img) return {};
        const uint8_t* data = xcb_get_image_data(img);
        const int len = xcb_get_image_data_length(img);
        if (len < w * rows * kBytesPerPixel) {
            std::free(img);
            return {};
        }
        for (int r = 0; r < rows; ++r)
            std::memcpy(image.scanLine(y + r), data + r * w * kBytesPerPixel, static_cast<size_t>(w) * kBytesPerPixel);
        std::free(img);
    }
    return image;
}

// True when the root's pixels come as QImage::Format_RGB32 does it on this machine: 32 bits
// a pixel, 0x00RRGGBB, in the machine's byte order.
bool RootPixelsAreRgb32(const xcb_setup_t* setup, const xcb_screen_t* screen) {
    constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;
    constexpr int kBitsPerPixel = 32;
    const bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    if ((setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) != littleEndian) return false;
    bool formatOk = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == screen->root_depth) formatOk = f.data->bits_per_pixel == kBitsPerPixel;
    if (!formatOk) return false;
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d))
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
            if (v.data->visual_id == screen->root_visual)
                return v.data->red_mask == kRed && v.data->green_mask == kGreen && v.data->blue_mask == kBlue;
    return false;
}

} // namespace

QImage RootScreenshot(QRect area) {
    Connection conn;
    if (!conn.ok() || area.isEmpty() || area.width() > kMaxScreenshotSide || area.height() > kMaxScreenshotSide)
        return {};
    const xcb_setup_t* setup = xcb_get_setup(conn.get());
    const xcb_screen_t* screen = nullptr;
    for (auto it = xcb_setup_roots_iterator(setup); it.rem; xcb_screen_next(&it))
        if (it.data->root == conn.root()) screen = it.data;
    if (!screen || !RootPixelsAreRgb32(setup, screen)) return {};
    if (QImage shared = SharedMemoryImage(conn, conn.root(), area); !shared.isNull()) return shared;
    // Without shared memory: one request, one reply: the image is made over the reply itself, which it frees.
    auto* reply =
        xcb_get_image_reply(conn.get(),
                            xcb_get_image(conn.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, conn.root(), int16_t(area.x()),
                                          int16_t(area.y()), uint16_t(area.width()), uint16_t(area.height()), ~0u),
                            nullptr);
    if (!reply) return {};
    const int64_t rowBytes = int64_t(area.width()) * kBytesPerPixel;
    if (xcb_get_image_data_length(reply) < rowBytes * area.height()) {
        std::free(reply);
        return {};
    }
    return QImage(
        xcb_get_image_data(reply), area.width(), area.height(), qsizetype(rowBytes), QImage::Format_RGB32,
        [](void* r) { std::free(r); }, reply);
}

QImage StoredScreenshot(WindowId window) {
    Connection conn;
    if (!conn.ok()) return {};
    const xcb_atom_t atom = conn.Atom("_SCREENSAVER_SCREENSHOT", true);
    // XScreenSaver may start a hack in a fresh window of its own and leave the screenshot
    // on the window it blanked the screen with: after the window itself and the root, look
    // at the root's other children, those covering the same area first.
    std::vector<xcb_window_t> candidates{static_cast<xcb_window_t>(window), conn.root()};
    const auto target = WindowRect(window);
    if (auto* tree = xcb_query_tree_reply(conn.get(), xcb_query_tree(conn.get(), conn.root()), nullptr)) {
        xcb_window_t* kids = xcb_query_tree_children(tree);
        std::vector<xcb_window_t> same, other;
        for (int i = xcb_query_tree_children_length(tree) - 1; i >= 0; --i) {
            auto rect = WindowRect(kids[i]);
            (rect && target && *rect == *target ? same : other).push_back(kids[i]);
        }
        candidates.insert(candidates.end(), same.begin(), same.end());
        candidates.insert(candidates.end(), other.begin(), other.end());
        std::free(tree);
    }
    for (xcb_window_t w : candidates) {
        if (w == 0) continue;
        if (auto pixmap = conn.Property32(w, atom)) {
            QImage image = ReadPixmap(conn, *pixmap);
            if (!image.isNull()) return image;
        }
    }
    return {};
}

std::optional<WindowId> VirtualRoot() {
    Connection conn;
    if (!conn.ok()) return std::nullopt;
    const xcb_atom_t vroot = conn.Atom("__SWM_VROOT", true);
    if (vroot == XCB_ATOM_NONE) return std::nullopt;
    auto* tree = xcb_query_tree_reply(conn.get(), xcb_query_tree(conn.get(), conn.root()), nullptr);
    if (!tree) return std::nullopt;
    std::optional<WindowId> found;
    xcb_window_t* kids = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i)
        if (auto v = conn.Property32(kids[i], vroot)) found = *v;
    std::free(tree);
    return found;
}

} // namespace quelm::x11
