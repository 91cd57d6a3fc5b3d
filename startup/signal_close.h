#pragma once
// SIGTERM, SIGINT, SIGHUP and SIGUSR1, which screensaver daemons and terminals send to end
// a program, run a callback on the event loop instead of killing the process outright.
#include <functional>

namespace quelm {

// Installs the handlers; `onSignal` runs on the Qt event loop, once per signal received.
void RouteTerminationSignals(std::function<void()> onSignal);

} // namespace quelm
