#include "platform/x11_screenshot.h"

#include "platform/x11_connection.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace quelm::x11 {
namespace {

constexpr int kMaxScreenshotSide = 16384; // a pixmap larger than this is not a screen

QImage ReadPixmap(const Connection& conn, xcb_pixmap_t pixmap) {
    auto* geo = xcb_get_geometry_reply(conn.get(), xcb_get_geometry(conn.get(), pixmap), nullptr);
    if (!geo) return {};
    const int w = geo->width, h = geo->height, depth = geo->depth;
    std::free(geo);
    if (w <= 0 || h <= 0 || w > kMaxScreenshotSide || h > kMaxScreenshotSide || (depth != 24 && depth != 32)) return {};
    QImage image(w, h, QImage::Format_RGB32);
    // Row bands keep each request well under the server's maximum request size.
    const int band = std::max(1, (4 << 20) / (w * 4));
    for (int y = 0; y < h; y += band) {
        const int rows = std::min(band, h - y);
        auto* img = xcb_get_image_reply(conn.get(),
                                        xcb_get_image(conn.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, static_cast<int16_t>(y),
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
