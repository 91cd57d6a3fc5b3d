#pragma once
// The program's entry routine once the application object exists: the single-instance
// test, then the mode of the command line.
#include <QString>

class QApplication;

namespace quelm {

struct HackRequest;
struct Settings;

// Returns the process's exit code. `settings` is the process's one instance of the
// user's choices, filled by the mode that reads them.
int RunMain(QApplication& app, Settings& settings, const QString& commandLine);

// A show inside a screensaver daemon's window (-root, -window-id): no single-instance test.
int RunHack(QApplication& app, Settings& settings, const HackRequest& request);

// Text printed for --help and --version.
QString HelpText();
QString VersionText();

} // namespace quelm
