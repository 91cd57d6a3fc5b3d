#pragma once
// The preview: a borderless window titled "Preview Window" inside the host's window,
// showing the program's fixed picture at the host's size. The program ends when the host
// goes away or destroys the preview's window.
#include <QImage>
#include <QRasterWindow>
#include <QTimer>
#include <cstdint>

namespace quelm {

inline const QString kPreviewTitle = QStringLiteral("Preview Window");
inline constexpr int kPreviewWidthPx = 152;
inline constexpr int kPreviewHeightPx = 112;
inline constexpr int kHostWatchIntervalMs = 200;

class PreviewWindow : public QRasterWindow {
    Q_OBJECT
public:
    explicit PreviewWindow(uint32_t hostWindow);

    // Becomes the host's child at (0, 0) with the host's size and shows itself. False when
    // the handle is not a window: then nothing is shown.
    bool Embed();

signals:
    void HostGone();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void WatchHost();

    uint32_t host_;
    uint32_t ownWindow_ = 0; // our window's X id, once embedded
    QImage picture_;
    QTimer watch_;
};

} // namespace quelm
