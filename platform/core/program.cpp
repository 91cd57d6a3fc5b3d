#include "platform/core/program.h"

#include <QCoreApplication>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quelm::core {
fs::path ProgramFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) exe = QCoreApplication::applicationFilePath().toStdString();
    fs::path folder = fs::weakly_canonical(exe, ec).parent_path();
    return folder.empty() ? fs::current_path(ec) : folder;
}

bool FolderWritable(const fs::path& folder) {
    // Asking access() is not enough for root on a read-only mount; create a file.
    fs::path probe = folder / (".quelm-write-test-" + std::to_string(::getpid()));
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

fs::path PerUserFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/') return fs::path(data) / "quelm";
    const char* home = std::getenv("HOME");
    fs::path base = (home && *home) ? fs::path(home) : fs::temp_directory_path();
    return base / ".local" / "share" / "quelm";
}

fs::path StorageFolder() {
    fs::path folder = ProgramFolder();
    if (FolderWritable(folder)) return folder;
    fs::path user = PerUserFolder();
    std::error_code ec;
    fs::create_directories(user, ec);
    return user;
}

QString JoinArguments(const QStringList& argumentsWithoutProgram) {
    return argumentsWithoutProgram.join(QLatin1Char(' '));
}

} // namespace quelm::core
