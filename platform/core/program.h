#pragma once
// Facts about the running program: its folder, where it keeps its files, and its
// command line as one text.
#include <QString>
#include <QStringList>
#include <filesystem>

namespace quelm::core {

// The folder that holds the executable, links resolved, without a trailing separator.
std::filesystem::path ProgramFolder();

// Where the INI file and the wall files are written: the program's folder when it can be
// written, otherwise the per-user folder ($XDG_DATA_HOME/quelm, by default
// ~/.local/share/quelm), created when needed.
std::filesystem::path StorageFolder();

// True when a file can be created in `folder`.
bool FolderWritable(const std::filesystem::path& folder);

// The per-user folder, whether or not it exists yet.
std::filesystem::path PerUserFolder();

// The program's arguments, without its name, joined with single blanks.
QString JoinArguments(const QStringList& argumentsWithoutProgram);

} // namespace quelm::core
