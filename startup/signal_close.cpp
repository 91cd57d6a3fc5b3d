#include "startup/signal_close.h"

#include "platform/x11/windows.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace quelm {
namespace {
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_requested = 0;

extern "C" void OnTerminationSignal(int) {
    g_requested = 1;
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
}

// What the guard has the process remove however it ends: the paths made ahead, so that a
// handler of a fatal signal can remove them with unlink and rmdir alone.
struct ExitRemoval {
    std::array<std::string, 2 * kWallCount> files; // the wall files and their unfinished parts
    std::string folder;                            // empty: the folder stays
    volatile std::sig_atomic_t armed = 0;
} g_removal;

extern "C" void RemoveWallsNow() {
    if (!g_removal.armed) return;
    g_removal.armed = 0;
    for (const std::string& file : g_removal.files) ::unlink(file.c_str());
    if (!g_removal.folder.empty()) ::rmdir(g_removal.folder.c_str());
}

// The X server's socket, to tell in a handler whether the display has gone; -1: none.
int g_displaySocket = -1;

bool DisplayGone() {
    if (g_displaySocket < 0) return false;
    pollfd p{g_displaySocket, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    char byte;
    return (p.revents & (POLLHUP | POLLERR)) || ::recv(g_displaySocket, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

// A crash removes the files. One in a driver as its display goes away (Mesa's GLX reads
// replies that never come) ends the process as the display's loss does; any other, as the
// signal would have.
extern "C" void OnFatalSignal(int sig) {
    RemoveWallsNow();
    if (DisplayGone()) ::_exit(1);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}
} // namespace

void CatchTerminationSignals() {
    if (g_pipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) return;
    ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction sa {};
    sa.sa_handler = OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    // SIGUSR1: xsecurelock's request to its saver to end when its password prompt closes.
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) ::sigaction(sig, &sa, nullptr);
}

bool TerminationRequested() { return g_requested != 0; }

void RouteTerminationSignals(std::function<void()> onSignal) {
    CatchTerminationSignals();
    if (g_pipe[0] < 0) return;
    // A signal already received leaves its byte in the pipe: the notifier fires at once.
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onSignal] {
        char buffer[16];
        [[maybe_unused]] ssize_t n = ::read(g_pipe[0], buffer, sizeof buffer);
        onSignal();
    });
}

// Qt's last word before it ends the process as its display or compositor goes away: on
// Wayland it then calls _exit(), which runs no exit handler.
QtMessageHandler g_previousHandler = nullptr;

void HearQtsLastWord(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("connection broke"))) RemoveWallsNow();
    if (g_previousHandler) g_previousHandler(type, context, text);
}

WallsRemovedAtExit::WallsRemovedAtExit(const std::filesystem::path& folder, bool ownFolder) {
    for (int wall = 1; wall <= kWallCount; ++wall) {
        g_removal.files[size_t(2 * wall - 2)] = WallFile(folder, wall).string();
        g_removal.files[size_t(2 * wall - 1)] = WallFile(folder, wall).string() + ".part";
    }
    g_removal.folder = ownFolder ? folder.string() : std::string();
    g_removal.armed = 1;
    g_displaySocket = x11::OwnConnectionSocket();
    for (int sig : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL}) ::signal(sig, OnFatalSignal);
    g_previousHandler = qInstallMessageHandler(HearQtsLastWord);
    Rearm();
}

void WallsRemovedAtExit::Rearm() {
    // Handlers registered later run sooner: this one then runs before the drivers and
    // libraries loaded meanwhile are torn down.
    std::atexit(RemoveWallsNow);
}

WallsRemovedAtExit::~WallsRemovedAtExit() {
    g_removal.armed = 0;
    qInstallMessageHandler(g_previousHandler);
}

} // namespace quelm
