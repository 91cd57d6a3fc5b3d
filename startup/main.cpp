// quelm: a 3D screensaver. See --help.
#include "platform/core/program.h"
#include "platform/core/report.h"
#include "platform/core/session_bus.h"
#include "platform/x11/connection.h"
#include "settings/settings.h"
#include "startup/hack_mode.h"
#include "startup/quelm_app.h"
#include "startup/recording_arguments.h"
#include "startup/signal_close.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    quelm::CatchTerminationSignals(); // a daemon may end the show at any moment from here on
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const QString commandLine = quelm::core::JoinArguments(args);

    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        std::fputs(quelm::HelpText().toUtf8().constData(), stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == QLatin1String("--version")) {
        std::fputs(quelm::VersionText().toUtf8().constData(), stdout);
        return 0;
    }

    const auto recording = quelm::ParseRecordingArguments(args);
    if (recording && !recording->error.empty()) {
        quelm::core::ReportError(recording->error);
        std::fputs(quelm::RecordingUsage(), stderr);
        return 2;
    }

    // The window search and the preview's embedding speak X11, under Xorg or Xwayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    if (qgetenv("QT_QPA_PLATFORM") == "xcb" && !quelm::x11::Connection().ok()) {
        quelm::core::ReportError("cannot open the X display (is DISPLAY set?)");
        return 1;
    }

    // Started without a session bus (a daemon run from .xinitrc), the show starts none.
    quelm::core::UseOnlyARunningSessionBus();
    QApplication app(argc, argv);
    quelm::Settings settings; // the user's choices, for the whole process
    if (recording) {
        quelm::LoadSettings(settings, quelm::IniPathForRead());
        return quelm::RecordShow(recording->options, settings);
    }
    if (auto hack = quelm::ParseHackArguments(args)) return quelm::RunHack(app, settings, *hack);
    return quelm::RunMain(app, settings, commandLine);
}
