#pragma once
// The window system a start of the program runs on, chosen once, before the application
// object exists. In a Wayland session the show and the settings dialog run on Qt's Wayland
// platform, with X11 through Xwayland as the fallback where that platform cannot be had; the
// preview, the daemons' modes and the recording are X11 programs (their hosts and GLX are X's),
// under Xorg or Xwayland. The desktop for the walls is read from the session's own window
// system either way (render/desktop_source.h).
#include <QByteArray>
#include <QtGlobal>
#include <string>

namespace quelm {

// Chooses and starts the window system. Construct it before the application object and call
// Started() once that exists: meanwhile Qt's messages about its platforms are held back, and
// when none of them starts, one line on stderr says so and the program ends (code 1) instead
// of Qt's own abort.
class WindowSystemStart {
public:
    // `showOrDialog`: the show or the settings dialog, which may run on Wayland.
    explicit WindowSystemStart(bool showOrDialog);
    ~WindowSystemStart();
    WindowSystemStart(const WindowSystemStart&) = delete;
    WindowSystemStart& operator=(const WindowSystemStart&) = delete;

    // Why the program cannot start (no display it could run on); empty when it can.
    const std::string& Error() const { return error_; }
    // Lets the held messages through (not those of a platform given up: one line says that
    // the show fell back to Xwayland) and chooses where the walls' desktop is read.
    void Started();

private:
    bool waylandSession_ = false;
    QByteArray platforms_;
    std::string error_;
    QtMessageHandler previous_ = nullptr;
};

// True when Qt draws on Wayland itself (not through Xwayland): no X11 call, no input grab.
bool OnWayland();

} // namespace quelm
