#pragma once
// The session bus the program may use. Given no bus address, D-Bus's library looks for the
// user's bus at $XDG_RUNTIME_DIR/bus and, where there is none, starts a bus for the X display
// (dbus-launch and a dbus-daemon) that outlives the program. Qt's accessibility bridge asks
// for the session bus, so a show started by a daemon that runs without D-Bus would leave two
// processes behind at every start.
namespace quelm::core {

// Where no session bus address is set and no user bus exists, sets the address to one that
// D-Bus's library refuses at once ("disabled:"), so that nothing is launched and the
// accessibility bridge is simply not made. A set address, or the user's bus, is left to be
// used. Call before the application object exists.
void UseOnlyARunningSessionBus();

} // namespace quelm::core
