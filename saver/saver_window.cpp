#include "saver/saver_window.h"

#include "platform/cursor.h"
#include "platform/gl_driver.h"
#include "platform/x11_windows.h"
#include "saver/load_rules.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

namespace quelm {
namespace {

// Every step of the load and of the close runs even when an earlier one failed.
template <typename Step>
void RunStep(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

} // namespace

SaverWindow::SaverWindow(Settings& settings, ShowRenderer& renderer, ShowMusic& music, SaverOptions options)
    : settings_(settings), renderer_(renderer), music_(music), options_(std::move(options)),
      timer3_(kTimer3IntervalMs, [this] { RunStep([this] { renderer_.Tick(); }); }) {
    setTitle(kSaverTitle);
    setFlags(Qt::Window | Qt::FramelessWindowHint);
    setSurfaceType(QSurface::OpenGLSurface);
    timer1_.setInterval(kTimer1IntervalMs);
    timer2_.setInterval(kTimer2IntervalMs);
    connect(&timer1_, &QTimer::timeout, this, [this] { RunStep([this] { music_.MP3Keep(); }); });
    connect(&timer2_, &QTimer::timeout, this, &SaverWindow::OnTimer2);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        setScreen(screen);
        setGeometry(screen->geometry());
        timer3_.SetRefreshRate(screen->refreshRate());
    }
    if (InHost()) {
        // Inside a daemon's window: a child that fills it. On the root window itself the
        // show is a window above everything that no window manager handles.
        if (options_.hostWindow == x11::RootWindow()) {
            setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        } else if (QWindow* host = QWindow::fromWinId(options_.hostWindow)) {
            setParent(host);
            if (auto rect = x11::WindowRect(options_.hostWindow)) setGeometry(0, 0, rect->width(), rect->height());
        }
        hostWatch_.setInterval(kHostWatchMs);
        connect(&hostWatch_, &QTimer::timeout, this, &SaverWindow::WatchHost);
    }
    // The native window exists from here on, unseen, so that the device can be made on it.
    setFormat(options_.surfaceFormat);
    create();
    platform::KeepGlDriverLoaded();
}

SaverWindow::~SaverWindow() {
    timer1_.stop();
    timer2_.stop();
    timer3_.Stop();
}

void SaverWindow::Load() {
    RunStep([this] { ApplyPictureSourceGuard(settings_); });
    RunStep([this] {
        if (settings_.PicKind == kPicDesktop) renderer_.CaptureDesktopWalls();
        else if (settings_.PicKind == kPicFiles) renderer_.PrepareUserWalls();
    });
    RunStep([this] {
        if (settings_.BGMKind == kBgmCd) {
            music_.CDOpen();
            timer2_.start();
        } else if (settings_.BGMKind == kBgmFile) {
            switch (MusicFileTypeOf(settings_.BGMFile)) {
            case MusicFileType::Wav:
                music_.WAVStart();
                break;
            case MusicFileType::Mp3:
                music_.MP3Open();
                timer1_.start();
                break;
            case MusicFileType::None:
                break;
            }
        }
    });
    RunStep([this] { renderer_.InitDevice(*this); });
    RunStep([this] { renderer_.BuildBoxVertices(); });
    RunStep([this] { renderer_.InitScene(); });
    RunStep([this] { renderer_.StartMotion(); });
    RunStep([this] {
        if (InHost()) {
            show();
            hostWatch_.start();
            return;
        }
        setWindowStates(Qt::WindowFullScreen);
        show();
        requestActivate();
        if (options_.grabInput) TryGrabInput();
    });
    timer3_.Start();
}

void SaverWindow::TryGrabInput() {
    if (closing_) return;
    const bool keyboard = setKeyboardGrabEnabled(true);
    const bool mouse = setMouseGrabEnabled(true);
    if ((!keyboard || !mouse) && ++grabTries_ < kGrabTries) QTimer::singleShot(kGrabRetryMs, this, &SaverWindow::TryGrabInput);
}

void SaverWindow::OnTimer2() {
    bool polling = false;
    RunStep([&] { polling = music_.CDPoll(); });
    if (!polling) timer2_.stop();
}

void SaverWindow::WatchHost() {
    auto rect = x11::WindowRect(options_.hostWindow);
    if (!rect) {
        hostWatch_.stop();
        SystemClose();
        return;
    }
    if (parent() && rect->size() != size()) resize(rect->size());
}

void SaverWindow::SystemClose() {
    // Qt closes top-level windows only; inside a daemon's window the request runs directly.
    if (!close()) CloseRequest();
}

void SaverWindow::EndShow() {
    if (closing_) return;
    timer3_.Stop();
    RunStep([this] { renderer_.ReleaseVertexBuffer(); });
    RunStep([this] { renderer_.ReleaseDevice(); });
    close();
    // close() may not deliver a close event to a window that was never shown.
    CloseRequest();
}

bool SaverWindow::event(QEvent* e) {
    if (e->type() == QEvent::Close) {
        CloseRequest();
        return true;
    }
    return QWindow::event(e);
}

void SaverWindow::keyPressEvent(QKeyEvent* e) {
    // Keys that produce a character end the show; Shift, Ctrl, Alt, arrows and function
    // keys produce none.
    // In a daemon's window the daemon decides when the show ends.
    if (!e->text().isEmpty() && !InHost()) EndShow();
}

void SaverWindow::mousePressEvent(QMouseEvent*) { pressed_ = true; }

void SaverWindow::mouseReleaseEvent(QMouseEvent* e) {
    if (pressed_ && !InHost() && QRect(QPoint(0, 0), size()).contains(e->position().toPoint())) EndShow();
    pressed_ = false;
}

void SaverWindow::CloseRequest() {
    if (closing_) return;
    closing_ = true;
    timer3_.Stop();
    timer1_.stop();
    hostWatch_.stop();
    if (timer2_.isActive()) {
        timer2_.stop();
        RunStep([this] { music_.CDClose(); });
    }
    if (settings_.BGMKind == kBgmFile) {
        switch (MusicFileTypeOf(settings_.BGMFile)) {
        case MusicFileType::Wav:
            RunStep([this] { music_.WAVStop(); });
            break;
        case MusicFileType::Mp3:
            RunStep([this] { music_.MP3Close(); });
            break;
        case MusicFileType::None:
            break;
        }
    }
    if (options_.cursorHiddenAtStart) platform::ShowCursor(true);
    setKeyboardGrabEnabled(false);
    setMouseGrabEnabled(false);
    RunStep([this] { DeleteWallFiles(options_.wallFolder); });
    if (options_.endProgram) options_.endProgram();
    else QCoreApplication::exit(0);
}

} // namespace quelm
