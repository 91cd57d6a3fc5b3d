#include "dialog/quib_p_controls.h"

#include <QMouseEvent>
#include <QPainter>

namespace quelm::dialog {

namespace {
// Sunken 3D border: shadow above and left, light below and right, two pixels deep.
void DrawSunkenBorder(QPainter& p, const QRect& r) {
    const QColor shadow(128, 128, 128), dark(64, 64, 64), light(255, 255, 255), face(223, 223, 223);
    auto ring = [&](const QRect& q, const QColor& topLeft, const QColor& bottomRight) {
        p.setPen(topLeft);
        p.drawLine(q.topLeft(), q.topRight());
        p.drawLine(q.topLeft(), q.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(q.bottomLeft(), q.bottomRight());
        p.drawLine(q.topRight(), q.bottomRight());
    };
    ring(r.adjusted(0, 0, -1, -1), shadow, light);
    ring(r.adjusted(1, 1, -2, -2), dark, face);
}
} // namespace

void MarkImage::SetMark(const QImage& mark) {
    mark_ = mark;
    setPixmap(QPixmap::fromImage(mark));
}

void MarkImage::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit Pressed();
}

void CaptionLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) primaryDown_ = true;
    emit Pressed();
}

void CaptionLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    const bool wasDown = primaryDown_;
    primaryDown_ = false;
    if (wasDown && rect().contains(event->position().toPoint())) emit Clicked();
}

Thumbnail::Thumbnail(QWidget* parent) : QWidget(parent) {}

void Thumbnail::resizeEvent(QResizeEvent*) { FitRetained(); }

// The retained image follows the inner area; drawing may come before the first resize
// event (a hidden window gets its resize events when shown).
void Thumbnail::FitRetained() {
    const QSize inner =
        rect().adjusted(kBorderPixels, kBorderPixels, -kBorderPixels, -kBorderPixels).size().expandedTo(QSize(1, 1));
    if (retained_.size() == inner) return;
    QImage grown(inner, QImage::Format_RGB32);
    grown.fill(Qt::white);
    if (!retained_.isNull()) {
        QPainter p(&grown);
        p.drawImage(0, 0, retained_);
    }
    retained_ = grown;
}

void Thumbnail::DrawScaled(const QImage& picture, int size) {
    FitRetained();
    const QImage squeezed = picture.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QPainter p(&retained_);
    p.drawImage(0, 0, squeezed);
    p.end();
    update();
}

void Thumbnail::paintEvent(QPaintEvent*) {
    QPainter p(this);
    DrawSunkenBorder(p, rect());
    p.drawImage(kBorderPixels, kBorderPixels, retained_);
}

Panel::Panel(QWidget* parent) : QFrame(parent) { setAutoFillBackground(true); }

void Panel::AddLine(const QLine& innerPixels) {
    lines_.push_back(innerPixels);
    update();
}

QPoint Panel::InnerOrigin() const { return {kBorderPixels, kBorderPixels}; }

void Panel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    DrawSunkenBorder(p, rect());
    p.setPen(Qt::black);
    for (const QLine& line : lines_) p.drawLine(line.translated(InnerOrigin()));
}

} // namespace quelm::dialog
