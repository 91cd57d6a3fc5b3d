#pragma once
// The show's window on one more screen: frameless, full screen on its screen, titled as the
// show's own window. It draws its own box and hands every key and click to the show, which
// decides what ends it.
#include <QWindow>

namespace quelm {

// What a screen window hands on: the show's reaction to input on any of its windows.
class ShowInput {
public:
    virtual ~ShowInput() = default;
    virtual void KeyPressed(QKeyEvent* e) = 0;
    virtual void ButtonPressed() = 0;
    // `global`: where the button came up, in desktop pixels.
    virtual void ButtonReleased(QPoint global) = 0;
    // The window system asks a window of the show to close (a compositor's close request).
    virtual void CloseAsked() = 0;
};

class ScreenWindow : public QWindow {
    Q_OBJECT
public:
    ScreenWindow(ShowInput& show, QScreen* screen, const QString& title, const QSurfaceFormat& format);

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override { show_.KeyPressed(e); }
    void mousePressEvent(QMouseEvent*) override { show_.ButtonPressed(); }
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    ShowInput& show_;
};

// Shows `window` over the whole of `screen`: full screen where a window manager honours it
// (the state is set after the window is shown: Qt drops one set before), and the screen's
// geometry where there is none.
void ShowFullScreenOn(QWindow& window, QScreen* screen);

} // namespace quelm
