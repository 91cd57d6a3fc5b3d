#pragma once
// A host window with one button, real pointer moves and synthetic mouse events for the
// button's widget tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <memory>

#include "button/command.h"
#include "button/property_bag.h"

namespace quelm::test {

constexpr int kTwipsPerPixel = 15;  // at the pinned 96 dpi

struct HostWithButton {
    std::unique_ptr<QWidget> host;
    QWidget* focusSink = nullptr;  // first in the focus chain: takes the focus on activation
    Command* button = nullptr;

    // A host 400 x 200 pixels with a button of the given twip size at (40, 40) pixels,
    // restored from an empty stored set (enabled) unless told otherwise.
    explicit HostWithButton(int widthTwips = 1155, int heightTwips = 375, bool readEmptySet = true)
    {
        host = std::make_unique<QWidget>();
        host->setGeometry(100, 100, 400, 200);
        focusSink = new QWidget(host.get());
        focusSink->setFocusPolicy(Qt::StrongFocus);
        focusSink->setGeometry(10, 150, 20, 20);
        button = new Command(host.get());
        if (readEmptySet)
            button->ReadProperties(PropertyBag{});
        button->setGeometry(40, 40, widthTwips / kTwipsPerPixel, heightTwips / kTwipsPerPixel);
        host->show();
        host->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(host.get()));
        EXPECT_FALSE(button->hasFocus());
        MovePointer(OffButton());
    }

    QWindow* Window() const { return host->windowHandle(); }
    // A point inside the button, and one on the host away from it, in host coordinates.
    QPoint OnButton() const { return button->geometry().center(); }
    QPoint OffButton() const { return QPoint(300, 150); }

    // Moves the real X pointer, so that the pointer-leave test sees it too, and waits until
    // Qt reports it there.
    void MovePointer(QPoint hostPoint) const
    {
        const QPoint global = host->mapToGlobal(hostPoint);
        QCursor::setPos(global);
        EXPECT_TRUE(QTest::qWaitFor([&] { return QCursor::pos() == global; }, 2000));
        QApplication::processEvents();
    }
    void Press(Qt::MouseButton b, QPoint hostPoint) const { QTest::mousePress(Window(), b, {}, hostPoint); }
    void Release(Qt::MouseButton b, QPoint hostPoint) const { QTest::mouseRelease(Window(), b, {}, hostPoint); }
    // Move events alone, with the buttons QTest holds; the real pointer stays where it is.
    // Qt drops a move to the point of the last one, so the point is reached by way of a
    // neighbour.
    void MoveEvent(QPoint hostPoint) const
    {
        QTest::mouseMove(Window(), hostPoint + QPoint(1, 0));
        QTest::mouseMove(Window(), hostPoint);
    }
    // A release delivered to the button alone, without a press before it.
    void ReleaseOnly(Qt::MouseButton b) const
    {
        const QPointF local = button->rect().center();
        QMouseEvent release(QEvent::MouseButtonRelease, local, button->mapToGlobal(local), b, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(button, &release);
    }

    QImage Face() const { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

inline QRgb Rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

} // namespace quelm::test
