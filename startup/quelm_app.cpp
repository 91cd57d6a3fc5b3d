#include "startup/quelm_app.h"

#include "dialog/settings_dialog.h"
#include "music/background_music.h"
#include "platform/cursor.h"
#include "platform/program.h"
#include "platform/x11_windows.h"
#include "render/box_show.h"
#include "saver/saver_window.h"
#include "startup/mode_dispatch.h"
#include "startup/preview_window.h"
#include "startup/settings.h"
#include "startup/signal_close.h"

#include <QApplication>
#include <QWidget>

namespace quelm {
namespace {

int RunPreview(QApplication& app, const QString& commandLine) {
    PreviewWindow preview(HostHandleOf(commandLine));
    // A handle that is not a window leaves nothing to show: end quietly.
    if (!preview.Embed()) return 0;
    QObject::connect(&preview, &PreviewWindow::HostGone, &app, [] { QCoreApplication::exit(0); });
    RouteTerminationSignals([] { QCoreApplication::exit(0); });
    return app.exec();
}

int RunSaver(QApplication& app, Mode mode) {
    Settings& settings = TheSettings();
    const bool hideCursor = mode == Mode::Saver;
    if (hideCursor) platform::ShowCursor(false);

    const std::filesystem::path wallFolder = program::StorageFolder();
    std::unique_ptr<ShowRenderer> renderer = MakeBoxShow(settings, wallFolder);
    std::unique_ptr<ShowMusic> music = MakeBackgroundMusic(settings);
    SaverOptions options;
    options.wallFolder = wallFolder;
    options.cursorHiddenAtStart = hideCursor;
    SaverWindow window(settings, *renderer, *music, options);
    RouteTerminationSignals([&window] { window.close(); });
    window.Load();
    return app.exec();
}

} // namespace

int RunMain(QApplication& app, const QString& commandLine) {
    if (x11::WindowWithTitleExists(kSaverTitle) || x11::WindowWithTitleExists(kSettingsTitle)) return 0;

    const Mode mode = ModeOf(commandLine);
    if (mode == Mode::Preview) return RunPreview(app, commandLine);

    LoadSettings(TheSettings(), program::IniPathForRead());
    switch (mode) {
    case Mode::Settings:
        // A termination signal closes the dialog as its close box would: nothing is saved.
        RouteTerminationSignals([] {
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
        });
        ShowSettingsDialog(TheSettings(), program::IniPathForWrite());
        return 0;
    case Mode::Saver:
    case Mode::SaverVisible:
        return RunSaver(app, mode);
    default:
        return 0;
    }
}

QString HelpText() {
    return QStringLiteral(
        "Usage: quelm [/s | /c | /p WINDOW-ID]\n"
        "A 3D screensaver: the inside of a closed box whose walls show your desktop or six\n"
        "pictures of your choice, with music from an audio CD, an MP3 or a WAV file.\n"
        "\n"
        "  /s             run the show full screen (the pointer is hidden)\n"
        "  (nothing)      run the show full screen, pointer left visible\n"
        "  /c             open the settings dialog\n"
        "  /p WINDOW-ID   show the preview inside the X window WINDOW-ID (decimal)\n"
        "  --help         show this help and end\n"
        "  --version      show the version and end\n"
        "\n"
        "Only the second character of the first argument counts: /S, -s and /s:123 are the\n"
        "same. A click or a key that types a character ends the show.\n"
        "Settings live in Quelm.ini beside the program, or in ~/.local/share/quelm/ when the\n"
        "program's folder cannot be written.\n");
}

QString VersionText() { return QStringLiteral("quelm " QUELM_VERSION "\n"); }

} // namespace quelm
