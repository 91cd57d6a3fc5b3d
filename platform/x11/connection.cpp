#include "platform/x11/connection.h"

#include <cstdlib>
#include <cstring>

namespace quelm::x11 {

Connection::Connection() {
    int screenIndex = 0;
    conn_ = xcb_connect(nullptr, &screenIndex);
    if (xcb_connection_has_error(conn_)) return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenIndex && it.rem; ++i) xcb_screen_next(&it);
    if (it.rem) root_ = it.data->root;
}

Connection::~Connection() {
    if (conn_) xcb_disconnect(conn_);
}

xcb_atom_t Connection::Atom(const char* name, bool onlyIfExists) const {
    auto cookie = xcb_intern_atom(conn_, onlyIfExists ? 1 : 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(conn_, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

std::optional<uint32_t> Connection::Property32(xcb_window_t window, xcb_atom_t property) const {
    if (property == XCB_ATOM_NONE) return std::nullopt;
    auto* reply = xcb_get_property_reply(
        conn_, xcb_get_property(conn_, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr);
    std::optional<uint32_t> value;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        value = *static_cast<const uint32_t*>(xcb_get_property_value(reply));
    std::free(reply);
    return value;
}

} // namespace quelm::x11
