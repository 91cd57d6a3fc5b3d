#include "startup/preview_window.h"

#include "platform/pictures/picture_decoding.h"
#include "platform/x11/windows.h"

#include <QFile>

#include <QPainter>

namespace quelm {

namespace {
// The fixed picture the program carries, read by the one picture reader.
QImage CarriedPreview() {
    QFile file(QStringLiteral(":/preview.jpg"));
    return file.open(QIODevice::ReadOnly) ? pictures::LoadPicture(file.readAll()) : QImage();
}
} // namespace

PreviewWindow::PreviewWindow(uint32_t hostWindow) : host_(hostWindow), picture_(CarriedPreview()) {
    setTitle(kPreviewTitle);
    setFlags(Qt::FramelessWindowHint);
    watch_.setInterval(kHostWatchIntervalMs);
    connect(&watch_, &QTimer::timeout, this, &PreviewWindow::WatchHost);
}

bool PreviewWindow::Embed() {
    auto rect = x11::WindowRect(host_);
    if (!rect) return false;
    QWindow* host = QWindow::fromWinId(host_);
    if (!host) return false;
    host->setParent(nullptr);
    setParent(host);
    ownWindow_ = static_cast<uint32_t>(winId());
    setGeometry(0, 0, rect->width(), rect->height());
    show();
    watch_.start();
    return true;
}

void PreviewWindow::WatchHost() {
    auto rect = x11::WindowRect(host_);
    // The preview ends when its host goes away, or when the host destroys the preview's
    // own window and lives on.
    // The id is the one taken at embedding: asking Qt again would make a new window.
    if (!rect || !x11::IsWindow(ownWindow_)) {
        watch_.stop();
        emit HostGone();
        return;
    }
    // The host's preview area may change size; the picture follows it.
    if (rect->size() != size()) setGeometry(0, 0, rect->width(), rect->height());
}

void PreviewWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (picture_.isNull())
        p.fillRect(QRect(QPoint(0, 0), size()), Qt::black);
    else
        p.drawImage(QRect(QPoint(0, 0), size()), picture_);
}

} // namespace quelm
