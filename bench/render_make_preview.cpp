// Makes the preview picture the program carries (assets/preview.jpg): a 152 x 112 miniature of
// the show in desktop-capture mode. A made-up desktop is put on the screen, the show is
// recorded off screen with the desktop captured as its walls, and one frame in which the
// eye looks into a corner of the box is scaled down.
//
//   render_make_preview OUTPUT.jpg [TICK [FULL.png]]   (under an X server, e.g. with-services.sh)
// FULL.png keeps the frame at its recorded size, to choose a tick by.
#include "render/headless_recording.h"

#include <QApplication>
#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <cstdio>

namespace {

constexpr int kRecordScale = 4; // record at four times the size, then scale down smoothly
const QSize kPreviewSize(152, 112);
constexpr int kDefaultTick = 2600; // the eye looks into a corner, the ceiling above
constexpr int kJpegQuality = 92;

// A desktop as a user might leave it: wallpaper, icons, an open window, a task bar.
class MadeUpDesktop final : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const int w = width(), h = height();
        QLinearGradient sky(0, 0, w, h);
        sky.setColorAt(0, QColor(30, 90, 160));
        sky.setColorAt(1, QColor(20, 150, 140));
        p.fillRect(rect(), sky);
        p.setBrush(QColor(255, 255, 255, 40));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(w * 0.7, h * 0.35), w * 0.25, w * 0.25);

        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(h / 40);
        p.setFont(font);
        const char* icons[] = {"Documents", "Pictures", "Music", "Trash"};
        const QColor iconColours[] = {QColor(240, 200, 80), QColor(120, 200, 90), QColor(230, 110, 90),
                                      QColor(200, 200, 210)};
        for (int i = 0; i < 4; ++i) {
            const QRectF icon(w * 0.03, h * (0.05 + 0.16 * i), h * 0.08, h * 0.08);
            p.setBrush(iconColours[i]);
            p.setPen(Qt::NoPen);
            p.drawRoundedRect(icon, 8, 8);
            p.setPen(Qt::white);
            p.drawText(QRectF(icon.left() - h * 0.03, icon.bottom() + 4, icon.width() + h * 0.06, h * 0.04),
                       Qt::AlignHCenter | Qt::AlignTop, QString::fromLatin1(icons[i]));
        }

        const QRectF window(w * 0.25, h * 0.15, w * 0.45, h * 0.5);
        p.setPen(QColor(60, 60, 60));
        p.setBrush(Qt::white);
        p.drawRect(window);
        p.fillRect(QRectF(window.left(), window.top(), window.width(), h * 0.05), QColor(50, 70, 140));
        p.setPen(Qt::white);
        p.drawText(window.adjusted(12, 0, 0, 0).topLeft() + QPointF(0, h * 0.035),
                   QStringLiteral("Notes - readme.txt"));
        p.setPen(QColor(40, 40, 40));
        const char* lines[] = {
            "Quelm", "", "A box of pictures,", "seen from inside.", "", "Click or press a key to end the show."};
        for (int i = 0; i < 6; ++i)
            p.drawText(QPointF(window.left() + 16, window.top() + h * (0.11 + 0.045 * i)),
                       QString::fromLatin1(lines[i]));

        p.fillRect(QRectF(0, h * 0.94, w, h * 0.06), QColor(35, 35, 45));
        p.fillRect(QRectF(w * 0.01, h * 0.95, w * 0.08, h * 0.04), QColor(70, 140, 70));
        p.setPen(Qt::white);
        p.drawText(QRectF(w * 0.01, h * 0.95, w * 0.08, h * 0.04), Qt::AlignCenter, QStringLiteral("Start"));
        p.drawText(QRectF(w * 0.9, h * 0.95, w * 0.09, h * 0.04), Qt::AlignCenter, QStringLiteral("12:34"));
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: render_make_preview OUTPUT.jpg [TICK [FULL.png]]\n");
        return 2;
    }
    const int tick = args.size() > 2 ? args[2].toInt() : kDefaultTick;

    MadeUpDesktop desktop;
    desktop.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    desktop.setGeometry(QGuiApplication::primaryScreen()->geometry());
    desktop.show();
    if (!QTest::qWaitForWindowExposed(&desktop)) return 1;
    QTest::qWait(200); // let the server finish painting before the capture

    QTemporaryDir out;
    quelm::RecordingOptions options;
    options.outputFolder = out.path().toStdString();
    options.size = kPreviewSize * kRecordScale;
    options.ticks = tick;
    options.frames = {tick};
    quelm::Settings settings; // desktop capture
    if (quelm::RecordShow(options, settings) != 0) return 1;
    const QImage frame(QString::fromStdString(quelm::RecordedFramePath(options.outputFolder, tick).string()));
    const QImage preview = frame.scaled(kPreviewSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (preview.isNull() || !preview.save(args[1], "JPEG", kJpegQuality)) return 1;
    if (args.size() > 3 && !frame.save(args[3])) return 1;
    return 0;
}
