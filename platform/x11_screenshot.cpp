#include "platform/x11_screenshot.h"

#include <cstdlib>
#include <cstring>
#include <vector>
#include <xcb/xcb.h>

namespace quelm::x11 {
namespace {

constexpr int kMaxScreenshotSide = 16384; // a pixmap larger than this is not a screen

struct Conn {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    ~Conn() { xcb_disconnect(c); }
    bool ok() const { return !xcb_connection_has_error(c); }
    xcb_window_t Root() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }
    xcb_atom_t Atom(const char* name) const {
        auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(r);
        return a;
    }
    // The first 32-bit value of a property, or nothing.
    std::optional<uint32_t> Property32(xcb_window_t w, xcb_atom_t prop) const {
        if (prop == XCB_ATOM_NONE) return std::nullopt;
        auto* r = xcb_get_property_reply(c, xcb_get_property(c, 0, w, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr);
        std::optional<uint32_t> v;
        if (r && r->format == 32 && xcb_get_property_value_length(r) >= 4)
            v = *static_cast<const uint32_t*>(xcb_get_property_value(r));
        std::free(r);
        return v;
    }
};

QImage ReadPixmap(const Conn& conn, xcb_pixmap_t pixmap) {
    auto* geo = xcb_get_geometry_reply(conn.c, xcb_get_geometry(conn.c, pixmap), nullptr);
    if (!geo) return {};
    const int w = geo->width, h = geo->height, depth = geo->depth;
    std::free(geo);
    if (w <= 0 || h <= 0 || w > kMaxScreenshotSide || h > kMaxScreenshotSide || (depth != 24 && depth != 32)) return {};
    QImage image(w, h, QImage::Format_RGB32);
    // Row bands keep each request well under the server's maximum request size.
    const int band = std::max(1, (4 << 20) / (w * 4));
    for (int y = 0; y < h; y += band) {
        const int rows = std::min(band, h - y);
        auto* img = xcb_get_image_reply(conn.c,
                                        xcb_get_image(conn.c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, static_cast<int16_t>(y),
                                                      static_cast<uint16_t>(w), static_cast<uint16_t>(rows), ~0u),
                                        nullptr);
        if (!img) return {};
        const uint8_t* data = xcb_get_image_data(img);
        const int len = xcb_get_image_data_length(img);
        if (len < w * rows * 4) {
            std::free(img);
            return {};
        }
        for (int r = 0; r < rows; ++r) std::memcpy(image.scanLine(y + r), data + r * w * 4, static_cast<size_t>(w) * 4);
        std::free(img);
    }
    return image;
}

} // namespace

QImage StoredScreenshot(WindowId window) {
    Conn conn;
    if (!conn.ok()) return {};
    const xcb_atom_t atom = conn.Atom("_SCREENSAVER_SCREENSHOT");
    // XScreenSaver may start a hack in a fresh window of its own and leave the screenshot
    // on the window it blanked the screen with: after the window itself and the root, look
    // at the root's other children, those covering the same area first.
    std::vector<xcb_window_t> candidates{static_cast<xcb_window_t>(window), conn.Root()};
    const auto target = WindowRect(window);
    if (auto* tree = xcb_query_tree_reply(conn.c, xcb_query_tree(conn.c, conn.Root()), nullptr)) {
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
    Conn conn;
    if (!conn.ok()) return std::nullopt;
    const xcb_atom_t vroot = conn.Atom("__SWM_VROOT");
    if (vroot == XCB_ATOM_NONE) return std::nullopt;
    auto* tree = xcb_query_tree_reply(conn.c, xcb_query_tree(conn.c, conn.Root()), nullptr);
    if (!tree) return std::nullopt;
    std::optional<WindowId> found;
    xcb_window_t* kids = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i)
        if (auto v = conn.Property32(kids[i], vroot)) found = *v;
    std::free(tree);
    return found;
}

} // namespace quelm::x11
