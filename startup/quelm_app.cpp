#include "startup/quelm_app.h"

#include "dialog/quib_p.h"
#include "dialog/quib_p_design.h"
#include "dialog/translation.h"
#include "music/background_music.h"
#include "platform/core/instance_lock.h"
#include "platform/core/program.h"
#include "platform/d3d/gl_direct3d.h"
#include "platform/desktop/cursor.h"
#include "platform/x11/screenshot.h"
#include "platform/x11/windows.h"
#include "render/box_show.h"
#include "render/desktop_source.h"
#include "saver/saver_window.h"
#include "settings/settings.h"
#include "startup/hack_mode.h"
#include "startup/mode_dispatch.h"
#include "startup/preview_window.h"
#include "startup/recording_arguments.h"
#include "startup/signal_close.h"
#include "startup/stored_desktop_renderer.h"
#include "startup/window_system.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include <optional>

namespace quelm {
namespace {

// Held by the show (/s) and the settings dialog (/c) of the user's session.
const QString kRunningLock = QStringLiteral("main");

int RunPreview(QApplication& app, const QString& commandLine) {
    PreviewWindow preview(HostHandleOf(commandLine));
    // A handle that is not a window leaves nothing to show: end quietly.
    if (!preview.Embed()) return 0;
    QObject::connect(&preview, &PreviewWindow::HostGone, &app, [] { QCoreApplication::exit(0); });
    RouteTerminationSignals([] { QCoreApplication::exit(0); });
    return app.exec();
}

// Runs one show until its close request ends the event loop. The renderer and the music
// are freed while the window they draw on and play for still exists.
int RunShow(QApplication& app, Settings& settings, std::unique_ptr<ShowRenderer> renderer, SaverOptions options) {
    std::unique_ptr<ShowMusic> music = MakeBackgroundMusic(settings);
    options.surfaceFormat = d3d::GlDeviceFormat();
    SaverWindow window(settings, *renderer, *music, options);
    // A daemon's show keeps its walls in a folder of its own, which goes with them.
    WallsRemovedAtExit removal(options.wallFolder, options.hostWindow != 0);
    RouteTerminationSignals([&window] { window.SystemClose(); });
    if (TerminationRequested()) window.SystemClose(); // before the load: nothing is made
    window.Load();
    removal.Rearm();
    ForgetDesktopCapture(); // every box has its walls
    // A close request during the load has already asked the event loop to end; a new loop
    // would not hear it.
    const int code = window.Closed() ? 0 : app.exec();
    renderer.reset();
    music.reset();
    return code;
}

int RunSaver(QApplication& app, Settings& settings, Mode mode) {
    const bool hideCursor = mode == Mode::Saver;
    if (hideCursor) desktop::ShowCursor(false);

    SaverOptions options;
    options.wallFolder = core::StorageFolder();
    options.cursorHiddenAtStart = hideCursor;
    options.grabInput = !OnWayland(); // no Wayland client can grab: the full-screen window has the keyboard
    std::unique_ptr<BoxRenderer> first = MakeBoxShow(settings, options.wallFolder, DeviceErrorOutput::MessageBox);
    // Every further screen shows a box of its own; its device's failure is told on stderr,
    // the message box being the first screen's.
    options.boxForScreen = [&settings, folder = options.wallFolder,
                            leader = first.get()](QScreen& screen) -> std::unique_ptr<ShowRenderer> {
        return MakeBoxShow(settings, folder, DeviceErrorOutput::StandardError, BoxPlace{&screen, leader});
    };
    return RunShow(app, settings, std::move(first), options);
}

// The settings dialog, modal; the program ends when it closes. A termination signal closes
// it as its close box would (nothing is saved), also during its load or with a file
// chooser open.
int RunSettings(Settings& settings) {
    dialog::InstallTranslation(); // the dialog in the user's language
    QuibP dialog(settings, IniPathForWrite());
    RouteTerminationSignals([&dialog] { dialog.CloseRequest(); });
    if (TerminationRequested()) return 0;
    // The window and its title exist from the start of the load, so that a second start
    // in the meantime finds it and ends.
    dialog.winId();
    dialog.Load();
    if (!dialog.CloseRequested()) dialog.exec();
    return 0;
}

// Where a hack-mode show keeps its wall files: a folder of its own, so that the shows a
// daemon starts on several monitors at once never share them.
QString PrivateWallFolderTemplate() {
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QDir(base).exists()) base = QDir::tempPath();
    return base + QStringLiteral("/quelm-walls-XXXXXX");
}

} // namespace

int RunHack(QApplication& app, Settings& settings, const HackRequest& request) {
    const uint32_t target = request.root ? ResolveRootWindow(qEnvironmentVariable("XSCREENSAVER_WINDOW"),
                                                             x11::VirtualRoot(), x11::RootWindow())
                                         : request.window;
    const auto hostRect = x11::WindowRect(target);
    if (!hostRect) return 0; // not a window: nothing to draw in

    LoadSettings(settings, IniPathForRead());
    // One show of the session plays the music; a settings preview plays none.
    const QSize screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size() : QSize();
    const bool preview = IsPreviewSized(hostRect->width(), hostRect->height(), screen.width(), screen.height());
    std::unique_ptr<core::InstanceLock> musicLock;
    if (!preview) musicLock = std::make_unique<core::InstanceLock>(QStringLiteral("music"));
    if (!musicLock || !musicLock->Held()) settings.BGMKind = kBgmNone;

    QTemporaryDir walls(PrivateWallFolderTemplate());
    if (!walls.isValid()) return 1;
    SaverOptions options;
    options.wallFolder = walls.path().toStdString();
    options.grabInput = false;
    options.hostWindow = target;
    // The daemon's window already hides the desktop; its screenshot shows it as it was.
    return RunShow(app, settings,
                   std::make_unique<StoredDesktopRenderer>(MakeBoxShow(settings, options.wallFolder,
                                                                       DeviceErrorOutput::StandardError,
                                                                       BoxPlace{.oneColourIsNothing = true}),
                                                           x11::StoredScreenshot(target)),
                   options);
}

int RunMain(QApplication& app, Settings& settings, const QString& commandLine) {
    // On X11 a show or a dialog is found by its window's title; in a Wayland session no
    // program can list another's windows, so the show and the dialog also hold a lock of the
    // user's session for their whole run, wherever they draw.
    if (!OnWayland() &&
        (x11::TopLevelWindowWithTitleExists(kSaverTitle) || x11::TopLevelWindowWithTitleExists(dialog::kCaption)))
        return 0;
    std::optional<core::InstanceLock> running(std::in_place, kRunningLock);
    if (!running->Held()) return 0;

    const Mode mode = ModeOf(commandLine);
    if (mode == Mode::Preview) {
        running.reset(); // a preview keeps nothing from starting
        return RunPreview(app, commandLine);
    }

    LoadSettings(settings, IniPathForRead());
    switch (mode) {
    case Mode::Settings: return RunSettings(settings);
    case Mode::Saver:
    case Mode::SaverVisible: return RunSaver(app, settings, mode);
    default: return 0;
    }
}

QString HelpText() {
    return QStringLiteral("Usage: quelm [/s | /c | /p WINDOW-ID]\n"
                          "A 3D screensaver: the inside of a closed box whose walls show your desktop or six\n"
                          "pictures of your choice, with music from an audio CD, an MP3 or a WAV file.\n"
                          "\n"
                          "  /s             run the show full screen (the pointer is hidden)\n"
                          "  (nothing)      run the show full screen, pointer left visible\n"
                          "  /c             open the settings dialog\n"
                          "  /p WINDOW-ID   show the preview inside the X window WINDOW-ID (decimal)\n"
                          "\n"
                          "For screensaver daemons (XScreenSaver, xsecurelock):\n"
                          "  -root          show the box in $XSCREENSAVER_WINDOW, else the virtual root or\n"
                          "                 the root window; ends on SIGTERM, not on keys or clicks\n"
                          "  -window-id ID  show the box in window ID (hexadecimal 0x... or decimal)\n"
                          "\n"
                          "Recording the show off screen (still needs an X display for OpenGL):\n") +
           QString::fromUtf8(RecordingUsage()) +
           QStringLiteral("\n"
                          "  --help         show this help and end\n"
                          "  --version      show the version and end\n"
                          "\n"
                          "Only the second character of the first argument counts: /S, -s and /s:123 are the\n"
                          "same. A click or a key that types a character ends the show.\n"
                          "Settings live in Quelm.ini beside the program, or in ~/.local/share/quelm/ when the\n"
                          "program's folder cannot be written. QUELM_CDAUDIO_DEVICE names the CD drive or a\n"
                          "disc image (CUE/BIN, TOC) to play instead of the default drive.\n");
}

QString VersionText() { return QStringLiteral("quelm " QUELM_VERSION "\n"); }

} // namespace quelm
