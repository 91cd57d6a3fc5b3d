#include "render/desktop_source.h"

#include "platform/wayland/desktop_capture.h"
#include "platform/x11/screenshot.h"
#include "render/wall_pictures.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace quelm {
namespace {

// The longest the show's load waits for the compositor's pictures (or the portal's).
constexpr std::chrono::milliseconds kWaylandCaptureBound{3000};

std::atomic<DesktopSource> g_source{DesktopSource::XRootWindow};

// Every output, captured at the first reading (before any window of the show maps) and kept
// for the boxes of the other screens until ForgetDesktopCapture.
std::mutex g_captureMutex;
std::shared_ptr<const wayland::DesktopCapture> g_capture;

std::shared_ptr<const wayland::DesktopCapture> SessionCapture() {
    std::lock_guard lock(g_captureMutex); // a second reader waits for the first one's capture
    if (!g_capture)
        g_capture = std::make_shared<const wayland::DesktopCapture>(wayland::CaptureDesktop(kWaylandCaptureBound));
    return g_capture;
}

} // namespace

void UseDesktopSource(DesktopSource source) { g_source = source; }

ScreenPlace PlaceOf(const QScreen* screen) {
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return {screen->name(), screen->geometry(), ScreenArea(screen)};
}

QImage ReadDesktop(const ScreenPlace& place) {
    if (g_source == DesktopSource::XRootWindow) return x11::RootScreenshot(place.pixels);
    const auto capture = SessionCapture();
    const wayland::OutputPicture* output = wayland::OutputOf(*capture, place.name, place.logical, place.pixels);
    return output ? output->image : QImage();
}

void ForgetDesktopCapture() {
    std::lock_guard lock(g_captureMutex);
    g_capture.reset();
}

QImage GrabDesktop(const QScreen* screen) {
    if (g_source == DesktopSource::WaylandCompositor) return {};
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    const QSize size = screen->geometry().size();
    return const_cast<QScreen*>(screen)->grabWindow(0, 0, 0, size.width(), size.height()).toImage();
}

} // namespace quelm
