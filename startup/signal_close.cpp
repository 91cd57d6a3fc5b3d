#include "startup/signal_close.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quelm {
namespace {
int g_pipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
}
} // namespace

void RouteTerminationSignals(std::function<void()> onSignal) {
    if (g_pipe[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) return;
        ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    }
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onSignal] {
        char buffer[16];
        [[maybe_unused]] ssize_t n = ::read(g_pipe[0], buffer, sizeof buffer);
        onSignal();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    // SIGUSR1: xsecurelock's request to its saver to end when its password prompt closes.
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) ::sigaction(sig, &sa, nullptr);
}

} // namespace quelm
