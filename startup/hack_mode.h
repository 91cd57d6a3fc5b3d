#pragma once
// The command lines of screensaver daemons (XScreenSaver, xsecurelock): "-root" shows the
// whole show in the daemon's window, "-window-id ID" in a window it names.
#include <QStringList>
#include <cstdint>
#include <optional>

namespace quelm {

struct HackRequest {
    bool root = false;   // -root: the daemon's window, the virtual root or the root
    uint32_t window = 0; // -window-id: this window
};

// A window id in hexadecimal ("0x…") or decimal; nothing when it is neither or is 0.
std::optional<uint32_t> ParseWindowId(const QString& text);

// The hack-mode request of these arguments, or nothing when they are not hack mode.
// An id that cannot be read makes the request name window 0, which is no window.
std::optional<HackRequest> ParseHackArguments(const QStringList& args);

// For -root: XSCREENSAVER_WINDOW's window when set and readable, else the virtual root,
// else the root window.
uint32_t ResolveRootWindow(const QString& xscreensaverWindow, std::optional<uint32_t> virtualRoot, uint32_t root);

// A window much smaller than the screen is a settings preview: it plays no music.
inline constexpr int kPreviewAreaDivisor = 4;
bool IsPreviewSized(int windowWidth, int windowHeight, int screenWidth, int screenHeight);

} // namespace quelm
