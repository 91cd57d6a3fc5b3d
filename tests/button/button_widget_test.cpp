// The push button under a real X server: real pointer moves for the pointer-leave test,
// real mouse, focus and key events through Qt, and the painted face read back in pixels.
// The logical dpi is pinned to 96 so that a pixel is exactly 15 twips.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <memory>

#include "button/command.h"
#include "button/property_bag.h"
#include "button/state_pictures.h"

using namespace quelm;

namespace {

constexpr int kTwipsPerPixel = 15;   // at the pinned 96 dpi
constexpr int kSeveralTicksMs = 350; // longer than two ticks of the 100 ms pointer-leave test

QRgb Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

// A host 400 x 200 pixels with a button of 1155 x 375 twips at (40, 40) pixels, restored from
// an empty stored set (enabled) as the dialog restores its buttons, and the pointer off it.
struct Host {
    std::unique_ptr<QWidget> host = std::make_unique<QWidget>();
    QWidget* focusSink = new QWidget(host.get()); // first in the focus chain: takes it on activation
    Command* button = new Command(host.get());
    QSignalSpy clicks{button, &Command::Click};

    Host() {
        focusSink->setFocusPolicy(Qt::StrongFocus);
        focusSink->setGeometry(10, 150, 20, 20);
        button->ReadProperties(PropertyBag{});
        button->setGeometry(40, 40, 1155 / kTwipsPerPixel, 375 / kTwipsPerPixel);
        host->setGeometry(100, 100, 400, 200);
        host->show();
        host->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(host.get()));
        MovePointer(Off());
    }
    QPoint On() const { return button->geometry().center(); } // host coordinates
    static QPoint Off() { return {300, 150}; }
    QLabel* Caption() const { return button->findChild<QLabel*>(); }
    QImage Face() const { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    bool WaitFor(ButtonState s) const {
        return QTest::qWaitFor([&] { return button->State() == s; }, 2000);
    }
    // Moves the real X pointer, so that the pointer-leave test sees it too.
    void MovePointer(QPoint at) const {
        QCursor::setPos(host->mapToGlobal(at));
        EXPECT_TRUE(QTest::qWaitFor([&] { return QCursor::pos() == host->mapToGlobal(at); }, 2000));
        QApplication::processEvents();
    }
    bool Hover() const { return MovePointer(On()), WaitFor(ButtonState::Hover); }
    void Press(Qt::MouseButton b) const { QTest::mousePress(host->windowHandle(), b, {}, On()); }
    void Release(Qt::MouseButton b) const {
        QTest::mouseRelease(host->windowHandle(), b, {}, On());
        QApplication::processEvents();
    }
};

// Checks a face against the picture's ring and the gradient: 4-pixel corners as they are,
// top and bottom middles from the picture's uniform middle columns, the side middles
// starting with picture row 4 and ending with row 20 (every row as it is on a 25-pixel
// face), and the gradient in the centre.
void ExpectFace(const QImage& face, ButtonPicture picture, bool inverted) {
    const QImage pic = DrawStatePicture(picture);
    const int w = face.width(), h = face.height();
    auto map = [](int v, int n, int picN) { return v < 4 ? v : (v >= n - 4 ? picN - (n - v) : -1); };
    for (int y = 0; y < h; ++y) {
        const Colour16 c = GradientRow(GradientColours(inverted), y, h);
        const QRgb gradient = qRgb(c.red >> 8, c.green >> 8, c.blue >> 8) & 0xFFFFFF;
        for (int x = 0; x < w; ++x) {
            const int sx = map(x, w, 64), sy = map(y, h, 25);
            QRgb want = gradient;
            if (sy >= 0)
                want = Rgb(pic, sx < 0 ? 4 : sx, sy);
            else if (sx >= 0 && (y == 4 || y == h - 5 || h == 25))
                want = Rgb(pic, sx, y == h - 5 ? 20 : y);
            else if (sx >= 0)
                continue;
            ASSERT_EQ(Rgb(face, x, y), want) << PictureName(picture) << " at " << x << "," << y;
        }
    }
}

} // namespace

TEST(ButtonPointer, HoverShowsHighLightInvertedLeavingShowsNormalAndAClickOnTheCaptionClicks) {
    Host t;
    t.button->SetCaption(QString());
    t.button->Initialize();
    ASSERT_TRUE(t.Hover());
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::HighLight);
    ExpectFace(t.Face(), ButtonPicture::HighLight, true); // lavender at the top, white at the bottom
    t.MovePointer(t.Off());
    ASSERT_TRUE(t.WaitFor(ButtonState::Idle));
    ExpectFace(t.Face(), ButtonPicture::Normal, false);

    // The caption counts as the button, for the leave test too.
    t.button->SetCaption(QStringLiteral("Command1"));
    ASSERT_TRUE(t.Caption()->geometry().contains(t.button->mapFrom(t.host.get(), t.On())));
    ASSERT_TRUE(t.Hover());
    QTest::qWait(kSeveralTicksMs);
    ASSERT_EQ(t.button->State(), ButtonState::Hover);
    t.Press(Qt::LeftButton);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Pressed);
    EXPECT_EQ(t.clicks.count(), 0);
    t.Release(Qt::LeftButton);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::HighLightSelect);
    EXPECT_EQ(t.clicks.count(), 1);
    t.Press(Qt::RightButton);
    t.Release(Qt::RightButton);
    EXPECT_EQ(t.clicks.count(), 2);
}

// Focused: Selected, and a resize repaints Normal; disabled: nothing reaches it. (That keys
// on a focused button click nothing is run on the dialog's buttons in quib_p_test.)
TEST(ButtonFocused, ShowsSelectedAResizeRepaintsNormalAndADisabledButtonIgnoresEverything) {
    Host t;
    t.button->SetCaption(QString());
    t.button->Initialize();
    t.button->setFocus();
    ASSERT_TRUE(t.WaitFor(ButtonState::Focused));
    ExpectFace(t.Face(), ButtonPicture::Selected, false);
    t.button->resize(435 / kTwipsPerPixel, 315 / kTwipsPerPixel); // sides 195 twips, middles 315
    EXPECT_EQ(t.button->State(), ButtonState::Focused);
    ExpectFace(t.Face(), ButtonPicture::Normal, false);

    t.button->SetEnabled(false);
    const ButtonState disabledIn = t.button->State();
    t.MovePointer(t.On());
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) t.Press(b), t.Release(b);
    t.button->setFocus();
    QTest::keyClick(t.button, Qt::Key_Space);
    t.MovePointer(t.Off());
    QTest::qWait(kSeveralTicksMs);
    EXPECT_EQ(t.clicks.count(), 0);
    EXPECT_EQ(t.button->State(), disabledIn);
    ExpectFace(t.Face(), ButtonPicture::Disable, false);
    EXPECT_FALSE(t.Caption()->isEnabled()); // greyed
}

// What a save writes, in its order: only what differs from the write's defaults ("Command" for
// the caption, the host's font), and what the next load restores from it.
TEST(ButtonStore, WritesWhatDiffersFromItsDefaultsInOrderAndReadsItBack) {
    const QFont big(QStringLiteral("DejaVu Sans"), 20, QFont::Bold);
    const struct {
        const char* what;
        std::function<void(Command&)> set;
        QStringList keys;
    } rows[] = {
        {"defaults", [](Command& b) { b.SetCaption(QStringLiteral("Command")); }, {}},
        {"the read default", [](Command& b) { b.SetCaption(QStringLiteral("Command1")); }, {"Caption"}},
        {"everything",
         [&](Command& b) {
             b.SetVisible(0);
             b.SetFontColour(0x0000FF);
             b.SetFont(big);
             b.SetCaption(QStringLiteral("設定"));
             b.SetEnabled(false);
         },
         {"Enabled", "Caption", "Font", "FontColour", "Visible"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Host t;
        row.set(*t.button);
        PropertyBag bag;
        t.button->WriteProperties(bag);
        EXPECT_EQ(bag.Keys(), row.keys);
        Command back(t.host.get());
        back.ReadProperties(bag);
        EXPECT_EQ(back.Caption(), t.button->Caption() == QLatin1String("Command") ? "Command1" : t.button->Caption());
        EXPECT_EQ(back.Visible(), t.button->Visible());
        EXPECT_EQ(back.FontColour(), t.button->FontColour());
        EXPECT_EQ(back.Font().pointSize(), t.button->Font().pointSize());
    }
}

int main(int argc, char** argv) {
    qputenv("QT_FONT_DPI", "96");
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
