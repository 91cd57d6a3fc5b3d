#include "platform/desktop/zoom_animation.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QRegion>
#include <QTimer>
#include <QWidget>

namespace quelm::desktop {
namespace {

constexpr int kFrameWidthPx = 2;

// A borderless window that shows only a ring: its mask cuts out the middle, so that
// nothing beneath is hidden even without a compositor.
class ZoomFrame final : public QWidget {
public:
    ZoomFrame()
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void Place(const QRect& r) {
        QRect g = r.normalized();
        if (g.width() < 2 * kFrameWidthPx + 1) g.setWidth(2 * kFrameWidthPx + 1);
        if (g.height() < 2 * kFrameWidthPx + 1) g.setHeight(2 * kFrameWidthPx + 1);
        setGeometry(g);
        QRegion outer(0, 0, g.width(), g.height());
        QRegion inner(kFrameWidthPx, kFrameWidthPx, g.width() - 2 * kFrameWidthPx, g.height() - 2 * kFrameWidthPx);
        setMask(outer.subtracted(inner));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Highlight));
    }
};

} // namespace

QRect ZoomFrameAt(const QRect& from, const QRect& to, int step, int steps) {
    if (steps <= 0) return to;
    auto lerp = [&](int a, int b) { return a + static_cast<int>(static_cast<long long>(b - a) * step / steps); };
    return QRect(QPoint(lerp(from.left(), to.left()), lerp(from.top(), to.top())),
                 QPoint(lerp(from.right(), to.right()), lerp(from.bottom(), to.bottom())));
}

void DrawAnimatedRects(const QRect& from, const QRect& to) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    // Wayland lets no client draw outside its own windows, nor place a window of its own.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return;
    ZoomFrame frame;
    int step = 0;
    frame.Place(from);
    frame.show();
    QEventLoop loop;
    QTimer timer;
    timer.setInterval(kZoomDurationMs / kZoomSteps);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        ++step;
        if (step > kZoomSteps) {
            loop.quit();
            return;
        }
        frame.Place(ZoomFrameAt(from, to, step, kZoomSteps));
    });
    timer.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    frame.hide();
}

} // namespace quelm::desktop
