#include "platform/x11/windows.h"

#include "platform/x11/connection.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace quelm::x11 {
namespace {

constexpr uint32_t kMaxTitleLongs = 1024; // titles longer than 4 KiB are not ours

} // namespace

// Which windows a title search looks at.
enum class Scope {
    // Top-level windows only: the root's children, and the client windows (those with
    // WM_STATE) inside a window manager's frames. A window inside another program's
    // window, as a screensaver daemon's hack is, is not one of them.
    TopLevel,
    AnyWindow,
};

// Windows with exactly this title, searched breadth-first.
static std::vector<xcb_window_t> WindowsWithTitle(Connection& c, const QString& title, bool firstOnly,
                                                  Scope scope = Scope::AnyWindow) {
    std::vector<xcb_window_t> matches;
    const QByteArray utf8 = title.toUtf8();
    const QByteArray latin1 = title.toLatin1();
    const bool latin1Exact = QString::fromLatin1(latin1) == title;
    const xcb_atom_t netWmName = c.Atom("_NET_WM_NAME");
    const xcb_atom_t utf8String = c.Atom("UTF8_STRING");
    const xcb_atom_t wmState = c.Atom("WM_STATE");

    // Breadth-first over the tree, one level's requests sent together.
    // Each window with whether it is top-level (the root itself is not).
    std::vector<std::pair<xcb_window_t, bool>> level{{c.root(), false}};
    while (!level.empty()) {
        std::vector<xcb_get_property_cookie_t> names, netNames, states;
        std::vector<xcb_query_tree_cookie_t> trees;
        for (auto [w, top] : level) {
            names.push_back(
                xcb_get_property(c.get(), 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxTitleLongs));
            netNames.push_back(xcb_get_property(c.get(), 0, w, netWmName, utf8String, 0, kMaxTitleLongs));
            states.push_back(xcb_get_property(c.get(), 0, w, wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 1));
            trees.push_back(xcb_query_tree(c.get(), w));
        }
        std::vector<std::pair<xcb_window_t, bool>> next;
        for (size_t i = 0; i < level.size(); ++i) {
            const auto [window, top] = level[i];
            auto* state = xcb_get_property_reply(c.get(), states[i], nullptr);
            const bool client = state && state->type != XCB_ATOM_NONE;
            std::free(state);
            const bool counts = scope == Scope::AnyWindow || top || client;
            bool found = false;
            for (int which = 0; which < 2; ++which) {
                auto* reply = xcb_get_property_reply(c.get(), which ? netNames[i] : names[i], nullptr);
                if (!reply) continue;
                int len = xcb_get_property_value_length(reply);
                const char* v = static_cast<const char*>(xcb_get_property_value(reply));
                QByteArray value(v, len);
                if (which == 1 || reply->type == utf8String)
                    found = found || value == utf8;
                else if (reply->type == XCB_ATOM_STRING)
                    found = found || (latin1Exact && value == latin1);
                else
                    found = found || value == utf8; // compound text holding the same bytes
                std::free(reply);
            }
            if (found && counts) matches.push_back(window);
            // Below a client window there are only its own child windows.
            const bool descend = scope == Scope::AnyWindow || !client;
            if (auto* tree = xcb_query_tree_reply(c.get(), trees[i], nullptr); tree && descend) {
                xcb_window_t* kids = xcb_query_tree_children(tree);
                for (int k = 0; k < xcb_query_tree_children_length(tree); ++k)
                    next.emplace_back(kids[k], window == c.root());
                std::free(tree);
            } else {
                std::free(tree);
            }
        }
        if (firstOnly && !matches.empty()) return matches;
        level.swap(next);
    }
    return matches;
}

bool WindowWithTitleExists(const QString& title) {
    Connection c;
    return c.ok() && !WindowsWithTitle(c, title, true).empty();
}

bool TopLevelWindowWithTitleExists(const QString& title) {
    Connection c;
    return c.ok() && !WindowsWithTitle(c, title, true, Scope::TopLevel).empty();
}

bool WindowWithTitleShown(const QString& title) {
    Connection c;
    if (!c.ok()) return false;
    for (xcb_window_t w : WindowsWithTitle(c, title, false)) {
        auto* attr = xcb_get_window_attributes_reply(c.get(), xcb_get_window_attributes(c.get(), w), nullptr);
        const bool viewable = attr && attr->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attr);
        if (viewable) return true;
    }
    return false;
}

std::optional<QRect> WindowRect(WindowId id) {
    Connection c;
    if (!c.ok() || id == 0) return std::nullopt;
    auto geo = xcb_get_geometry_reply(c.get(), xcb_get_geometry(c.get(), id), nullptr);
    if (!geo) return std::nullopt;
    QRect rect(geo->x, geo->y, geo->width, geo->height);
    std::free(geo);
    auto tr = xcb_translate_coordinates_reply(c.get(), xcb_translate_coordinates(c.get(), id, c.root(), 0, 0), nullptr);
    if (tr) {
        rect.moveTo(tr->dst_x, tr->dst_y);
        std::free(tr);
    }
    return rect;
}

bool IsWindow(WindowId id) { return WindowRect(id).has_value(); }

namespace {
xcb_connection_t* OwnConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}
} // namespace

int OwnConnectionSocket() {
    xcb_connection_t* c = OwnConnection();
    return c ? xcb_get_file_descriptor(c) : -1;
}

bool OwnWindowExists(WindowId id) {
    xcb_connection_t* c = OwnConnection();
    if (!c) return IsWindow(id);
    // The error, when it is not a window, comes back here instead of to the toolkit.
    xcb_generic_error_t* error = nullptr;
    auto* geo = xcb_get_geometry_reply(c, xcb_get_geometry(c, xcb_drawable_t(id)), &error);
    const bool exists = geo != nullptr;
    std::free(error);
    std::free(geo);
    return exists;
}

WindowId RootWindow() {
    Connection c;
    return c.ok() ? c.root() : 0;
}

} // namespace quelm::x11
