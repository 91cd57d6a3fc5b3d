#pragma once
// The plain controls of the settings dialog: the source marks and captions that react to
// the mouse, the thumbnails with their retained image, and the panels that hold the walls'
// and the music's controls with their connector lines. Sizes are in pixels.
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLine>
#include <QWidget>
#include <vector>

namespace quelm::dialog {

// A mark picture: a press of any mouse button on it raises Pressed.
class MarkImage : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    void SetMark(const QImage& mark);
    const QImage& Mark() const { return mark_; } // null until a mark is set

signals:
    void Pressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage mark_;
};

// A caption: a press of any mouse button raises Pressed; a full click of the primary
// button (pressed and released on it) raises Clicked.
class CaptionLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void Pressed();
    void Clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool primaryDown_ = false;
};

// A picture box with a sunken two-pixel border and a retained image of its inner area,
// white at first. Drawing starts at the inner area's top-left corner; what falls beyond
// the inner area is cut off.
class Thumbnail : public QWidget {
    Q_OBJECT
public:
    explicit Thumbnail(QWidget* parent = nullptr);
    // Draws `picture` squeezed to size x size pixels, rows and columns dropped (no
    // blending), at the inner area's top-left corner; then shows the retained image.
    void DrawScaled(const QImage& picture, int size);
    const QImage& Retained() const { return retained_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitRetained();
    QImage retained_;
};

// A grey container with a sunken two-pixel border; children are placed relative to its
// inner area, and connector lines are drawn on it.
class Panel : public QFrame {
    Q_OBJECT
public:
    explicit Panel(QWidget* parent = nullptr);
    void AddLine(const QLine& innerPixels);
    // Top-left corner of the inner area, in the panel's own pixels.
    QPoint InnerOrigin() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<QLine> lines_;
};

// Border width of panels and picture boxes, in pixels.
inline constexpr int kBorderPixels = 2;

} // namespace quelm::dialog
