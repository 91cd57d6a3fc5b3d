#pragma once
// A short-lived connection of our own to the X server, free of Qt's connection and its
// event queue, for asking about windows of any process. Cheap enough to open per call.
#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

namespace quelm::x11 {

class Connection {
public:
    Connection(); // to $DISPLAY's default screen
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // False when there is no display (then nothing else may be asked).
    bool ok() const { return root_ != 0; }
    xcb_connection_t* get() const { return conn_; }
    xcb_window_t root() const { return root_; }

    // The atom of `name`; XCB_ATOM_NONE on failure, or when `onlyIfExists` and no
    // client has made it yet.
    xcb_atom_t Atom(const char* name, bool onlyIfExists = false) const;

    // The first 32-bit value of a window's property, or nothing.
    std::optional<uint32_t> Property32(xcb_window_t window, xcb_atom_t property) const;

private:
    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = 0;
};

} // namespace quelm::x11
