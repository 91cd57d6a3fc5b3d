#pragma once
// The program's entry routine once the application object exists: the single-instance
// test, then the mode of the command line.
#include <QString>

class QApplication;

namespace quelm {

struct HackRequest;

// Returns the process's exit code.
int RunMain(QApplication& app, const QString& commandLine);

// A show inside a screensaver daemon's window (-root, -window-id): no single-instance test.
int RunHack(QApplication& app, const HackRequest& request);

// Text printed for --help and --version.
QString HelpText();
QString VersionText();

} // namespace quelm
