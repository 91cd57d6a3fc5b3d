// quelm: a 3D screensaver. See --help.
#include "platform/core/program.h"
#include "platform/core/report.h"
#include "platform/core/session_bus.h"
#include "settings/settings.h"
#include "startup/hack_mode.h"
#include "startup/mode_dispatch.h"
#include "startup/quelm_app.h"
#include "startup/recording_arguments.h"
#include "startup/signal_close.h"
#include "startup/window_system.h"

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

    // The show and the dialog on the session's own window system; the preview, the daemons'
    // modes and the recording on X11.
    const auto hack = quelm::ParseHackArguments(args);
    quelm::WindowSystemStart windowSystem(!recording && !hack && quelm::ModeOf(commandLine) != quelm::Mode::Preview);
    if (!windowSystem.Error().empty()) {
        quelm::core::ReportError(windowSystem.Error());
        return 1;
    }

    // Started without a session bus (a daemon run from .xinitrc), the show starts none.
    quelm::core::UseOnlyARunningSessionBus();
    QApplication app(argc, argv);
    windowSystem.Started();
    quelm::Settings settings; // the user's choices, for the whole process
    if (recording) {
        quelm::LoadSettings(settings, quelm::IniPathForRead());
        return quelm::RecordShow(recording->options, settings);
    }
    if (hack) return quelm::RunHack(app, settings, *hack);
    return quelm::RunMain(app, settings, commandLine);
}
