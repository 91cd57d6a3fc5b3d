#pragma once
// The program's entry routine once the application object exists: the single-instance
// test, then the mode of the command line.
#include <QString>

class QApplication;

namespace quelm {

// Returns the process's exit code.
int RunMain(QApplication& app, const QString& commandLine);

// Text printed for --help and --version.
QString HelpText();
QString VersionText();

} // namespace quelm
