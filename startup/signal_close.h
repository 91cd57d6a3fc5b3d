#pragma once
// SIGTERM, SIGINT, SIGHUP and SIGUSR1, which screensaver daemons and terminals send to end
// a program, run a callback on the event loop instead of killing the process outright. They
// are caught from the program's first instruction: one that comes before there is a callback
// waits for it.
#include <filesystem>
#include <functional>

namespace quelm {

// Installs the handlers; call it first thing in main, before any file is written.
void CatchTerminationSignals();

// True once a termination signal has come.
bool TerminationRequested();

// `onSignal` runs on the Qt event loop for each signal received, those received before
// included.
void RouteTerminationSignals(std::function<void()> onSignal);

// The show's files, removed however the process ends while the guard lives: its wall files
// in `folder`, and with `ownFolder` the folder itself (empty by then). Qt and Xlib end the
// process with exit() when the X display goes away, Qt with _exit() when the Wayland
// compositor does (the guard hears its last message), a driver may crash: the close
// request's removal then does not run, this one does.
class WallsRemovedAtExit {
public:
    WallsRemovedAtExit(const std::filesystem::path& folder, bool ownFolder);
    ~WallsRemovedAtExit();
    // Once the show has loaded its drivers: the removal runs before theirs at exit.
    void Rearm();
    WallsRemovedAtExit(const WallsRemovedAtExit&) = delete;
    WallsRemovedAtExit& operator=(const WallsRemovedAtExit&) = delete;
};

} // namespace quelm
