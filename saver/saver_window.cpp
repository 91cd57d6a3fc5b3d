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

#include <algorithm>
#include <exception>

namespace quelm {
namespace {

// The accessibility bridge connects to the session bus when the event loop first starts (a
// round trip): the show's first frame would wait for it. Until the first frame is drawn the root object is only kept;
// then the bridge is made with it.
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
          for (ScreenBox& box : boxes_) RunStep("drawing a frame", [&] { box.renderer->Tick(); });
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
    screensChanged_.setSingleShot(true);
    screensChanged_.setInterval(0);
    connect(&screensChanged_, &QTimer::timeout, this, &SaverWindow::FollowScreens);
    setFormat(options_.surfaceFormat);
}

SaverWindow::~SaverWindow() {
    EndAccessibilityDeferral(false); // no frame came: nothing to make a bridge for now
    timer1_.stop();
    timer2_.stop();
    timer3_.Stop();
    for (ScreenBox& box : boxes_) box.renderer.reset(); // each box before its window
    boxes_.clear();
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
        MakeWalls(renderer_);
        AddScreenBoxes();
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
        MakeDevice(renderer_, *this);
        for (ScreenBox& box : boxes_) RunStep("making the 3D device", [&] { MakeDevice(*box.renderer, *box.window); });
    });
    LoadStep("building the box", [this] {
        renderer_.BuildBoxVertices();
        for (ScreenBox& box : boxes_) RunStep("building the box", [&] { box.renderer->BuildBoxVertices(); });
    });
    LoadStep("loading the wall pictures", [this] {
        renderer_.InitScene();
        for (ScreenBox& box : boxes_) RunStep("loading the wall pictures", [&] { box.renderer->InitScene(); });
    });
    LoadStep("starting the motion", [this] {
        renderer_.StartMotion();
        for (ScreenBox& box : boxes_) RunStep("starting the motion", [&] { box.renderer->StartMotion(); });
    });
    LoadStep("showing the window", [this] {
        if (InHost()) {
            show();
            hostWatch_.start();
            return;
        }
        for (ScreenBox& box : boxes_) ShowFullScreenOn(*box.window, box.screen);
        ShowFullScreenOn(*this, screen());
        shown_ = true;
        requestActivate();
        if (options_.grabInput) TryGrabInput();
        if (options_.boxForScreen) {
            connect(qGuiApp, &QGuiApplication::screenAdded, this, &SaverWindow::WatchScreen);
            connect(qGuiApp, &QGuiApplication::screenRemoved, &screensChanged_, qOverload<>(&QTimer::start));
            connect(qGuiApp, &QGuiApplication::primaryScreenChanged, &screensChanged_, qOverload<>(&QTimer::start));
            connect(this, &QWindow::screenChanged, &screensChanged_, qOverload<>(&QTimer::start));
            for (QScreen* s : QGuiApplication::screens()) WatchScreen(s);
            FollowScreens(); // what changed during the load
        }
    });
    if (closing_) return;
    DeferAccessibility();
    timer3_.Start();
}

void SaverWindow::MakeWalls(ShowRenderer& renderer) {
    if (settings_.PicKind == kPicDesktop)
        renderer.CaptureDesktopWalls();
    else if (settings_.PicKind == kPicFiles)
        renderer.PrepareUserWalls();
}

void SaverWindow::MakeDevice(ShowRenderer& renderer, QWindow& window) {
    window.create(); // the native window, unseen, for the device to draw on
    renderer.InitDevice(window);
}

std::vector<QScreen*> SaverWindow::CoveredScreens() const {
    std::vector<QScreen*> covered{screen()};
    for (const ScreenBox& box : boxes_) covered.push_back(box.screen);
    return covered;
}

void SaverWindow::AddScreenBoxes() {
    if (!options_.boxForScreen || InHost()) return;
    for (QScreen* s : QGuiApplication::screens()) {
        const auto covered = CoveredScreens();
        if (std::find(covered.begin(), covered.end(), s) != covered.end()) continue;
        ScreenBox box{s, options_.boxForScreen(*s), nullptr};
        if (!box.renderer) continue;
        box.window = std::make_unique<ScreenWindow>(static_cast<ShowInput&>(*this), s, title(), options_.surfaceFormat);
        RunStep("preparing the wall pictures", [&] { MakeWalls(*box.renderer); });
        boxes_.push_back(std::move(box));
    }
}

void SaverWindow::WatchScreen(QScreen* s) {
    connect(s, &QScreen::geometryChanged, &screensChanged_, qOverload<>(&QTimer::start), Qt::UniqueConnection);
    screensChanged_.start();
}

void SaverWindow::ReleaseBox(ShowRenderer& renderer) {
    RunStep("releasing the box", [&] { renderer.ReleaseVertexBuffer(); });
    RunStep("releasing the 3D device", [&] { renderer.ReleaseDevice(); });
}

void SaverWindow::FollowScreens() {
    if (closing_ || !shown_) return;
    // A screen that went, or that this window took when its own went, loses its box.
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (auto it = boxes_.begin(); it != boxes_.end();) {
        if (!it->screen || it->screen == screen() || !screens.contains(it->screen.data())) {
            ReleaseBox(*it->renderer);
            it = boxes_.erase(it);
        } else {
            ++it;
        }
    }
    // A new screen gets a box, loaded as at the start; it takes the first box's walls.
    const size_t known = boxes_.size();
    AddScreenBoxes();
    for (size_t i = known; i < boxes_.size(); ++i) {
        ScreenBox& box = boxes_[i];
        RunStep("making the 3D device", [&] { MakeDevice(*box.renderer, *box.window); });
        RunStep("building the box", [&] { box.renderer->BuildBoxVertices(); });
        RunStep("loading the wall pictures", [&] { box.renderer->InitScene(); });
        RunStep("starting the motion", [&] { box.renderer->StartMotion(); });
    }
    // Every window as large as its screen is now.
    for (ScreenBox& box : boxes_) ShowFullScreenOn(*box.window, box.screen);
    ShowFullScreenOn(*this, screen());
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
    ReleaseBox(renderer_);
    for (ScreenBox& box : boxes_) ReleaseBox(*box.renderer);
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

void SaverWindow::keyPressEvent(QKeyEvent* e) { KeyPressed(e); }
void SaverWindow::mousePressEvent(QMouseEvent*) { ButtonPressed(); }
void SaverWindow::mouseReleaseEvent(QMouseEvent* e) { ButtonReleased(e->globalPosition().toPoint()); }

void SaverWindow::KeyPressed(QKeyEvent* e) {
    // In a daemon's window the daemon decides when the show ends.
    if (KeyTypesCharacter(e->key(), e->modifiers(), e->text()) && !InHost()) EndShow();
}

void SaverWindow::ButtonPressed() { pressed_ = true; }

void SaverWindow::CloseAsked() {
    if (!closing_) SystemClose(); // not when the close request itself closes the windows
}

void SaverWindow::ButtonReleased(QPoint global) {
    // A click ends the show where it lands on one of its windows (with the input grabbed,
    // every click comes to this one, wherever the pointer is).
    bool onShow = QRect(mapToGlobal(QPoint(0, 0)), size()).contains(global);
    for (const ScreenBox& box : boxes_)
        onShow = onShow || QRect(box.window->mapToGlobal(QPoint(0, 0)), box.window->size()).contains(global);
    if (pressed_ && !InHost() && onShow) EndShow();
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
    for (ScreenBox& box : boxes_) box.window->close();
    if (options_.cursorHiddenAtStart) desktop::ShowCursor(true);
    if (options_.grabInput) {
        setKeyboardGrabEnabled(false);
        setMouseGrabEnabled(false);
    }
    RunStep("deleting the wall files", [this] { DeleteWallFiles(options_.wallFolder); });
    if (options_.endProgram)
        options_.endProgram();
    else
        QCoreApplication::exit(0);
}

} // namespace quelm
