#pragma once
// The show's window: borderless, the whole screen, titled "Quib_Main". Its load step
// prepares the walls, starts the music and the 3D scene, shows itself and starts the frame
// timer; a click or a character key ends the show; the close request stops the music,
// shows the pointer again, deletes the wall files and ends the program.
//
// On a desktop of several screens (monitors) the show covers each: this window the first, a
// ScreenWindow with a box of its own each other one, loaded alongside in the same order. One
// music plays; input on any of them ends the whole show. Screens added, removed or resized
// during the show are covered again.
#include "saver/frame_pacer.h"
#include "saver/screen_window.h"
#include "saver/show_services.h"
#include "settings/settings.h"

#include <QPointer>
#include <QSurfaceFormat>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

namespace quelm {

inline const QString kSaverTitle = QStringLiteral("Quib_Main");
inline constexpr int kTimer1IntervalMs = 1000; // MP3 keep-alive
inline constexpr int kTimer2IntervalMs = 200;  // CD poll
inline constexpr int kTimer3IntervalMs = 1;    // one frame
inline constexpr int kHostWatchMs = 200;       // how often a daemon's window is looked at
inline constexpr int kGrabRetryMs = 50;        // X refuses grabs until the window is viewable
inline constexpr int kGrabTries = 60;

struct SaverOptions {
    std::filesystem::path wallFolder;
    bool cursorHiddenAtStart = false; // the command line's second character was "S"
    bool grabInput = true;            // take keyboard and mouse (no window manager needed)
    // A daemon's window to show the box in (0: the show's own full-screen window). There the
    // window follows the host's size, input does not end the show, and the host's going
    // away runs the close request.
    uint32_t hostWindow = 0;
    std::function<void()> endProgram; // runs last in the close request
    QSurfaceFormat surfaceFormat;     // what the 3D device asks of the window (depth buffer)
    // The box of each further screen (none: the show covers its first screen only).
    std::function<std::unique_ptr<ShowRenderer>(QScreen& screen)> boxForScreen;
};

class SaverWindow : public QWindow, private ShowInput {
    Q_OBJECT
public:
    SaverWindow(Settings& settings, ShowRenderer& renderer, ShowMusic& music, SaverOptions options);
    ~SaverWindow() override;

    // The load step, in its fixed order; the window is shown at its end. A close request
    // during the load (from a signal, while a message is up) ends it early: see Closed().
    void Load();

    // True once the close request has run: the program is ending.
    bool Closed() const { return closing_; }

    // A click or a character key: the renderer is released, then the window closes.
    void EndShow();

    // A close from outside (the system, a signal, the host window's end): the close
    // request without the renderer's release.
    void SystemClose();

    bool Timer1Active() const { return timer1_.isActive(); }
    bool Timer2Active() const { return timer2_.isActive(); }
    bool Timer3Active() const { return timer3_.IsActive(); }
    // The screens covered by a window of the show, this one's first.
    std::vector<QScreen*> CoveredScreens() const;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    // A further screen's box and window.
    struct ScreenBox {
        QPointer<QScreen> screen;
        std::unique_ptr<ShowRenderer> renderer;
        std::unique_ptr<ScreenWindow> window;
    };
    // ShowInput: input on any of the show's windows.
    void KeyPressed(QKeyEvent* e) override;
    void ButtonPressed() override;
    void ButtonReleased(QPoint global) override;
    void CloseAsked() override;

    void CloseRequest();
    // A box for each screen not covered yet (the load's wall step).
    void AddScreenBoxes();
    // The load's steps for one box, in their order.
    void MakeWalls(ShowRenderer& renderer);
    void MakeDevice(ShowRenderer& renderer, QWindow& window);
    // After a change of the screens: every screen covered once, every window its screen's size.
    void FollowScreens();
    void WatchScreen(QScreen* screen);
    void ReleaseBox(ShowRenderer& renderer);
    void OnTimer2();
    void WatchHost();
    void TryGrabInput();
    bool InHost() const { return options_.hostWindow != 0; }
    // Runs one step of the load, a timer or the close; a step that throws is reported on
    // standard error (once for each step) and the next step runs.
    template <typename Step>
    void RunStep(const char* what, Step&& step);
    // A step of the load: skipped once a close request has run.
    template <typename Step>
    void LoadStep(const char* what, Step&& step);

    Settings& settings_;
    ShowRenderer& renderer_;
    ShowMusic& music_;
    SaverOptions options_;
    QTimer timer1_;
    QTimer timer2_;
    FramePacer timer3_;
    QTimer hostWatch_;
    std::unique_ptr<QWindow> host_; // the daemon's window, as the parent of ours
    std::vector<ScreenBox> boxes_;
    QTimer screensChanged_; // follows the screens once their changes have settled
    bool shown_ = false;
    int grabTries_ = 0;
    bool pressed_ = false;
    bool closing_ = false;
    std::set<std::string_view> reported_;
};

} // namespace quelm
