#include "dialog/artwork.h"

#include "dialog/quib_p_design.h"

#include <QPainter>
#include <QPolygon>

namespace quelm::dialog {

namespace {
constexpr QRgb kMarkFrame = qRgb(128, 128, 128);
constexpr QRgb kMarkFace = qRgb(255, 255, 255);
constexpr QRgb kMarkFill = qRgb(0, 0, 255);
constexpr int kIconPixels = 32;

QImage Mark(QRgb inside) {
    QImage image(kMarkPixels, kMarkPixels, QImage::Format_RGB32);
    image.fill(kMarkFrame);
    for (int y = 1; y < kMarkPixels - 1; ++y)
        for (int x = 1; x < kMarkPixels - 1; ++x) image.setPixel(x, y, inside);
    return image;
}
} // namespace

QImage UnselectedMark() { return Mark(kMarkFace); }
QImage SelectedMark() { return Mark(kMarkFill); }

QImage IconImage() {
    // The box's inside in one-point perspective: the back wall in the middle, the ceiling,
    // floor and side walls as four trapezoids around it.
    QImage image(kIconPixels, kIconPixels, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QPoint outer[4] = {{0, 0}, {31, 0}, {31, 31}, {0, 31}};
    const QPoint inner[4] = {{10, 10}, {21, 10}, {21, 21}, {10, 21}};
    const QColor faces[4] = {QColor(230, 230, 240), QColor(70, 120, 200), QColor(90, 160, 90),
                             QColor(60, 100, 170)}; // ceiling, right, floor, left
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        QPolygon face;
        face << outer[i] << outer[j] << inner[j] << inner[i];
        p.setPen(Qt::NoPen);
        p.setBrush(faces[i]);
        p.drawPolygon(face);
    }
    p.setBrush(QColor(250, 200, 60)); // the back wall
    p.drawRect(QRect(inner[0], inner[2]));
    p.setPen(QColor(20, 20, 20));
    for (int i = 0; i < 4; ++i) p.drawLine(outer[i], inner[i]);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(inner[0], inner[2]).adjusted(0, 0, -1, -1));
    p.end();
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither).convertToFormat(QImage::Format_RGB32);
}

QIcon ProgramIcon() { return QIcon(QPixmap::fromImage(IconImage())); }

} // namespace quelm::dialog
