#include "saver/saver_window.h"

#include "platform/core/report.h"
#include "platform/desktop/cursor.h"
#include "platform/x11/windows.h"
#include "saver/load_rules.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>

#include <exception>

namespace quelm {
namespace {

// The accessibility bridge connects to the session bus when the event loop first starts (a
// round trip, or where there is no bus, an attempt to launch one): the show's first frame
// would wait for it. Until the first frame is drawn the root object is only kept; then the
// bridge is made with it.
QPointer<QObject> deferredAccessibleRoot;

void DeferAccessibility() {
    QAccessible::installRootObjectHandler([](QObject* root) { deferredAccessibleRoot = root; });
}

// Ends the deferral; with `bridge`, makes the bridge for the root kept meanwhile.
void EndAccessibilityDeferral(bool bridge) {
    QAccessible::installRootObjectHandler(nullptr);
    QObject* root = deferredAccessibleRoot;
    deferredAccessibleRoot = nullptr;
    if (bridge && root) QAccessible::setRootObject(root);
}

} // namespace

template <typename Step>
void SaverWindow::RunStep(const char* what, Step&& step) {
    try {
        step();
        return;
    } catch (const std::exception& e) {
        if (reported_.insert(what).second) core::ReportError(std::string(what) + ": " + e.what());
    } catch (...) {
        if (reported_.insert(what).second) core::ReportError(std::string(what) + ": unknown error");
    }
}

template <typename Step>
void SaverWindow::LoadStep(const char* what, Step&& step) {
    // A close request may come while a step waits in a loop of its own (the device's
    // message box); the load's later steps then have nothing left to do.
    if (!closing_) RunStep(what, std::forward<Step>(step));
}

SaverWindow::SaverWindow(Settings& settings, ShowRenderer& renderer, ShowMusic& music, SaverOptions options)
    : settings_(settings), renderer_(renderer), music_(music), options_(std::move(options)),
      timer3_(kTimer3IntervalMs, [this] {
          // A daemon's window may go at any moment, and ours with it. The driver would then
          // make a frame of whatever size the server's failed answer leaves: end instead.
          if (InHost() && !x11::OwnWindowExists(winId())) return SystemClose();
          RunStep("drawing a frame", [this] { renderer_.Tick(); });
          if (timer3_.TickCount() == 1) EndAccessibilityDeferral(true);
      }) {
    setTitle(kSaverTitle);
    setFlags(Qt::Window | Qt::FramelessWindowHint);
    setSurfaceType(QSurface::OpenGLSurface);
    timer1_.setInterval(kTimer1IntervalMs);
    timer2_.setInterval(kTimer2IntervalMs);
    connect(&timer1_, &QTimer::timeout, this,
            [this] { RunStep("restarting the MP3 file", [this] { music_.MP3Keep(); }); });
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
        } else if (host_.reset(QWindow::fromWinId(options_.hostWindow)); host_) {
            setParent(host_.get());
            if (auto rect = x11::WindowRect(options_.hostWindow)) setGeometry(0, 0, rect->width(), rect->height());
        }
        hostWatch_.setInterval(kHostWatchMs);
        connect(&hostWatch_, &QTimer::timeout, this, &SaverWindow::WatchHost);
    }
    setFormat(options_.surfaceFormat);
}

SaverWindow::~SaverWindow() {
    EndAccessibilityDeferral(false); // no frame came: nothing to make a bridge for now
    timer1_.stop();
    timer2_.stop();
    timer3_.Stop();
    if (host_) {
        // Ours goes first, so that leaving the daemon's window never shows it on its own.
        destroy();
        setParent(nullptr);
        host_.reset();
    }
}

void SaverWindow::Load() {
    LoadStep("choosing the picture source", [this] { ApplyPictureSourceGuard(settings_); });
    LoadStep("preparing the wall pictures", [this] {
        if (settings_.PicKind == kPicDesktop)
            renderer_.CaptureDesktopWalls();
        else if (settings_.PicKind == kPicFiles)
            renderer_.PrepareUserWalls();
    });
    LoadStep("starting the music", [this] {
        if (settings_.BGMKind == kBgmCd) {
            music_.CDOpen();
            timer2_.start();
        } else if (settings_.BGMKind == kBgmFile) {
            switch (MusicFileTypeOf(settings_.BGMFile)) {
            case MusicFileType::Wav: music_.WAVStart(); break;
            case MusicFileType::Mp3:
                music_.MP3Open();
                timer1_.start();
                break;
            case MusicFileType::None: break;
            }
        }
    });
    LoadStep("making the 3D device", [this] {
        create(); // the native window, unseen, for the device to draw on
        renderer_.InitDevice(*this);
    });
    LoadStep("building the box", [this] { renderer_.BuildBoxVertices(); });
    LoadStep("loading the wall pictures", [this] { renderer_.InitScene(); });
    LoadStep("starting the motion", [this] { renderer_.StartMotion(); });
    LoadStep("showing the window", [this] {
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
    if (closing_) return;
    DeferAccessibility();
    timer3_.Start();
}

void SaverWindow::TryGrabInput() {
    if (closing_) return;
    const bool keyboard = setKeyboardGrabEnabled(true);
    const bool mouse = setMouseGrabEnabled(true);
    if ((!keyboard || !mouse) && ++grabTries_ < kGrabTries)
        QTimer::singleShot(kGrabRetryMs, this, &SaverWindow::TryGrabInput);
}

void SaverWindow::OnTimer2() {
    bool polling = false;
    RunStep("polling the CD", [&] { polling = music_.CDPoll(); });
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
    // Qt closes top-level windows only, and one that was never shown (during the load)
    // without a close event: the request then runs directly.
    close();
    CloseRequest();
}

void SaverWindow::EndShow() {
    if (closing_) return;
    timer3_.Stop();
    RunStep("releasing the box", [this] { renderer_.ReleaseVertexBuffer(); });
    RunStep("releasing the 3D device", [this] { renderer_.ReleaseDevice(); });
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
    // In a daemon's window the daemon decides when the show ends.
    if (KeyTypesCharacter(e->key(), e->modifiers(), e->text()) && !InHost()) EndShow();
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
        RunStep("stopping the CD", [this] { music_.CDClose(); });
    }
    if (settings_.BGMKind == kBgmFile) {
        switch (MusicFileTypeOf(settings_.BGMFile)) {
        case MusicFileType::Wav: RunStep("stopping the WAV file", [this] { music_.WAVStop(); }); break;
        case MusicFileType::Mp3: RunStep("stopping the MP3 file", [this] { music_.MP3Close(); }); break;
        case MusicFileType::None: break;
        }
    }
    if (options_.cursorHiddenAtStart) desktop::ShowCursor(true);
    setKeyboardGrabEnabled(false);
    setMouseGrabEnabled(false);
    RunStep("deleting the wall files", [this] { DeleteWallFiles(options_.wallFolder); });
    if (options_.endProgram)
        options_.endProgram();
    else
        QCoreApplication::exit(0);
}

} // namespace quelm
