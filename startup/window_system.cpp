#include "startup/window_system.h"

#include "platform/core/report.h"
#include "platform/wayland/desktop_capture.h"
#include "platform/x11/connection.h"
#include "render/desktop_source.h"

#include <QGuiApplication>
#include <QString>

#include <cstdlib>
#include <vector>

namespace quelm {
namespace {

const QByteArray kX11 = "xcb";
const QByteArray kWayland = "wayland";

// Qt's messages while its platform starts, until they are let through or dropped.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> g_held;
std::string g_noPlatform; // the line that replaces Qt's abort when no platform starts

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        core::ReportError(g_noPlatform);
        std::_Exit(1);
    }
    g_held.push_back({type, context.category, text});
}

// Qt's platforms to try, in order (QT_QPA_PLATFORM). A platform the user asked for is kept.
QByteArray PlatformsFor(bool showOrDialog, bool waylandSession, bool xDisplayNamed, const QByteArray& asked) {
    if (!asked.isEmpty()) return asked;
    if (!showOrDialog || !waylandSession) return kX11;
    return xDisplayNamed ? kWayland + ';' + kX11 : kWayland;
}

} // namespace

WindowSystemStart::WindowSystemStart(bool showOrDialog) {
    waylandSession_ = wayland::SessionIsWayland();
    // Asking the X server in a Wayland session could start Xwayland for nothing: only where
    // X11 is all there is.
    platforms_ = PlatformsFor(showOrDialog, waylandSession_, !qEnvironmentVariableIsEmpty("DISPLAY"),
                              qgetenv("QT_QPA_PLATFORM"));
    if (platforms_ == kX11 && !x11::Connection().ok()) {
        error_ = "cannot open the X display (is DISPLAY set?)";
        if (waylandSession_ && !showOrDialog)
            error_ += ": the preview and the daemons' modes run on X11, in a Wayland session on Xwayland";
        return;
    }
    qputenv("QT_QPA_PLATFORM", platforms_);
    g_noPlatform = "no window system to show on: Qt could start none of its platforms " + platforms_.toStdString() +
                   (platforms_.startsWith(kWayland) ? " (Wayland needs the package qt6-wayland)" : "");
    previous_ = qInstallMessageHandler(HoldMessage);
}

WindowSystemStart::~WindowSystemStart() {
    if (previous_) qInstallMessageHandler(previous_);
    g_held.clear();
}

void WindowSystemStart::Started() {
    if (!previous_) return;
    qInstallMessageHandler(previous_);
    previous_ = nullptr;
    const bool gaveUpWayland = platforms_.startsWith(kWayland) && !OnWayland();
    if (gaveUpWayland) {
        core::ReportError("Qt's Wayland platform could not be started (is qt6-wayland installed?): running on "
                          "Xwayland");
    } else {
        for (const HeldMessage& m : g_held) {
            const QMessageLogContext context(nullptr, 0, nullptr, m.category.constData());
            qt_message_output(m.type, context, m.text);
        }
    }
    g_held.clear();
    UseDesktopSource(waylandSession_ ? DesktopSource::WaylandCompositor : DesktopSource::XRootWindow);
}

bool OnWayland() { return QGuiApplication::platformName().startsWith(QLatin1String(kWayland)); }

} // namespace quelm
