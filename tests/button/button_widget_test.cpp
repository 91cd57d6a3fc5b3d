// The push button under a real X server: real pointer moves for the pointer-leave test,
// real mouse, focus and key events through Qt, and the painted face read back in pixels.
#include <QElapsedTimer>
#include <cmath>
#include <cstdio>
#include <QLabel>

#include "button/state_pictures.h"
#include "button_test_support.h"

using namespace quelm;
using namespace quelm::test;

namespace {

constexpr int kWaitMs = 2000;
// Longer than two ticks of the 100 ms pointer-leave test.
constexpr int kSeveralTicksMs = 350;

bool WaitForState(Command* b, ButtonState s)
{
    return QTest::qWaitFor([&] { return b->State() == s; }, kWaitMs);
}

QRgb GradientPixel(bool inverted, int y, int rows)
{
    const Colour16 c = GradientRow(GradientColours(inverted), y, rows);
    return qRgb(c.red >> 8, c.green >> 8, c.blue >> 8) & 0xFFFFFF;
}

// Checks every pixel of a face against the picture's ring and the gradient, by a mapping
// written independently of the painting code: 4-pixel corners as they are, top and bottom
// middles from the picture's uniform middle columns, and side rows that each equal one of
// the picture's middle rows 4..20, in order down the face, starting at 4 and ending at 20.
void ExpectFace(const QImage& face, ButtonPicture picture, bool inverted)
{
    const QImage pic = DrawStatePicture(picture);
    const int w = face.width(), h = face.height();
    auto mapX = [&](int x) { return x < 4 ? x : (x >= w - 4 ? 64 - (w - x) : -1); };
    auto mapY = [&](int y) { return y < 4 ? y : (y >= h - 4 ? 25 - (h - y) : -1); };
    auto sideRowMatches = [&](int y, int r) {
        for (int x : {0, 1, 2, 3, w - 4, w - 3, w - 2, w - 1})
            if (Rgb(face, x, y) != Rgb(pic, mapX(x), r))
                return false;
        return true;
    };
    int sideRow = 4;
    for (int y = 0; y < h; ++y) {
        const int sy = mapY(y);
        if (sy < 0) {
            if (y == 4) {
                ASSERT_TRUE(sideRowMatches(y, 4)) << "first side row";
            }
            if (y == h - 5) {
                ASSERT_TRUE(sideRowMatches(y, 20)) << "last side row";
            }
            while (sideRow <= 20 && !sideRowMatches(y, sideRow))
                ++sideRow;
            ASSERT_LE(sideRow, 20) << "side row " << y;
        }
        for (int x = 0; x < w; ++x) {
            const int sx = mapX(x);
            const QRgb got = Rgb(face, x, y);
            if (sx < 0 && sy < 0) {
                ASSERT_EQ(got, GradientPixel(inverted, y, h)) << "centre " << x << "," << y;
            } else if (sx >= 0 && sy >= 0) {
                ASSERT_EQ(got, Rgb(pic, sx, sy)) << "corner " << x << "," << y;
            } else if (sy >= 0) {
                ASSERT_EQ(got, Rgb(pic, 4, sy)) << "edge " << x << "," << y;
            }
        }
    }
}

} // namespace

TEST(ButtonPointer, HoverShowsHighLightInvertedAndLeavingShowsNormalAtTheNextTick)
{
    HostWithButton t;
    t.button->SetCaption(QString());
    t.button->Initialize();
    EXPECT_TRUE(t.button->MouseTimerActive());
    t.MovePointer(t.OffButton());
    t.MovePointer(t.OnButton());
    ASSERT_TRUE(WaitForState(t.button, ButtonState::Hover));
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::HighLight);
    EXPECT_TRUE(t.button->GradientInverted());
    ExpectFace(t.Face(), ButtonPicture::HighLight, true);  // lavender at the top, white at the bottom

    QElapsedTimer clock;
    clock.start();
    t.MovePointer(t.OffButton());
    ASSERT_TRUE(WaitForState(t.button, ButtonState::Idle));
    std::printf("leave seen %lld ms after the pointer moved off\n", static_cast<long long>(clock.elapsed()));
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Normal);
    EXPECT_FALSE(t.button->GradientInverted());
    ExpectFace(t.Face(), ButtonPicture::Normal, false);
}

TEST(ButtonPointer, PointerOverTheCaptionCountsAsOverTheButton)
{
    HostWithButton t;
    t.button->SetCaption(QStringLiteral("設定"));
    t.button->Initialize();
    QLabel* caption = t.button->findChild<QLabel*>();
    ASSERT_NE(caption, nullptr);
    t.MovePointer(t.OffButton());
    t.MovePointer(t.button->mapTo(t.host.get(), caption->geometry().center()));
    ASSERT_TRUE(WaitForState(t.button, ButtonState::Hover));
    QTest::qWait(kSeveralTicksMs);
    EXPECT_EQ(t.button->State(), ButtonState::Hover);
}

TEST(ButtonClick, ClickOnUnfocusedButtonShowsPressedThenHighLightSelectAndClicksOnce)
{
    HostWithButton t;
    t.button->Initialize();
    QSignalSpy clicks(t.button, &Command::Click);
    // The point is on the caption, whose mouse events count as the face's.
    ASSERT_TRUE(t.button->findChild<QLabel*>()->geometry().contains(t.button->mapFrom(t.host.get(), t.OnButton())));
    t.MovePointer(t.OnButton());
    ASSERT_TRUE(WaitForState(t.button, ButtonState::Hover));
    ASSERT_FALSE(t.button->hasFocus());

    t.Press(Qt::LeftButton, t.OnButton());
    EXPECT_TRUE(t.button->hasFocus());
    EXPECT_EQ(t.button->State(), ButtonState::FocusedHover);
    EXPECT_TRUE(t.button->ButtonHeld());
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Pressed);
    EXPECT_EQ(clicks.count(), 0);  // not at the press

    t.Release(Qt::LeftButton, t.OnButton());
    EXPECT_FALSE(t.button->ButtonHeld());
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::HighLightSelect);
    EXPECT_TRUE(t.button->GradientInverted());  // reached from Hover
    QApplication::processEvents();
    EXPECT_EQ(clicks.count(), 1);
}

TEST(ButtonClick, DragOffUntilATickAndReleaseOutsideGivesSelectedAndNoClick)
{
    HostWithButton t;
    t.button->Initialize();
    QSignalSpy clicks(t.button, &Command::Click);
    t.MovePointer(t.OnButton());
    ASSERT_TRUE(WaitForState(t.button, ButtonState::Hover));
    t.Press(Qt::LeftButton, t.OnButton());
    ASSERT_EQ(t.button->State(), ButtonState::FocusedHover);

    t.MovePointer(t.OffButton());
    t.MoveEvent(t.OffButton());
    ASSERT_TRUE(WaitForState(t.button, ButtonState::Focused));
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Selected);
    t.MoveEvent(t.OnButton());  // back over it while held: no hover look
    EXPECT_EQ(t.button->State(), ButtonState::Focused);
    t.MoveEvent(t.OffButton());

    t.Release(Qt::LeftButton, t.OffButton());
    QApplication::processEvents();
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(t.button->State(), ButtonState::Focused);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Selected);
    EXPECT_FALSE(t.button->ButtonHeld());
}

TEST(ButtonClick, RightButtonPaintsNothingAtThePressAndClicksAtTheRelease)
{
    HostWithButton t;
    t.button->Initialize();
    QSignalSpy clicks(t.button, &Command::Click);
    t.MovePointer(t.OnButton());
    ASSERT_TRUE(WaitForState(t.button, ButtonState::Hover));
    t.button->setFocus();
    ASSERT_TRUE(WaitForState(t.button, ButtonState::FocusedHover));
    const int paints = t.button->PaintCount();

    t.Press(Qt::RightButton, t.OnButton());
    EXPECT_EQ(t.button->PaintCount(), paints);
    EXPECT_FALSE(t.button->ButtonHeld());
    t.Release(Qt::RightButton, t.OnButton());
    QApplication::processEvents();
    EXPECT_EQ(t.button->PaintCount(), paints);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(ButtonClick, ButtonNeverInitialisedShowsNoHoverRunsNoLeaveTestYetClicksOnRelease)
{
    HostWithButton t;
    QSignalSpy clicks(t.button, &Command::Click);
    EXPECT_FALSE(t.button->MouseTimerActive());
    const int paints = t.button->PaintCount();
    t.MovePointer(t.OffButton());
    t.MovePointer(t.OnButton());
    t.MoveEvent(t.OnButton());
    EXPECT_EQ(t.button->State(), ButtonState::Inactive);
    EXPECT_EQ(t.button->PaintCount(), paints);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Normal);

    t.ReleaseOnly(Qt::LeftButton);  // a release while State is 0
    QApplication::processEvents();
    EXPECT_EQ(clicks.count(), 1);

    // The press gives the focus (Focused), so that release is no click; a move then gives
    // FocusedHover, which stays with the pointer gone since no leave test runs.
    t.Press(Qt::LeftButton, t.OnButton());
    EXPECT_EQ(t.button->State(), ButtonState::Focused);
    t.Release(Qt::LeftButton, t.OnButton());
    QApplication::processEvents();
    EXPECT_EQ(clicks.count(), 1);
    t.MoveEvent(t.OnButton());
    EXPECT_EQ(t.button->State(), ButtonState::FocusedHover);
    t.MovePointer(t.OffButton());
    QTest::qWait(kSeveralTicksMs);
    EXPECT_EQ(t.button->State(), ButtonState::FocusedHover);
    t.Press(Qt::LeftButton, t.OnButton());
    t.Release(Qt::LeftButton, t.OnButton());
    QApplication::processEvents();
    EXPECT_EQ(clicks.count(), 2);
}

TEST(ButtonDisabled, IgnoresMouseFocusAndKeysAndShowsTheDisableLook)
{
    HostWithButton t(435, 315);
    t.button->SetCaption(QString());
    t.button->Initialize();
    t.button->SetEnabled(false);
    QSignalSpy clicks(t.button, &Command::Click);
    const int paints = t.button->PaintCount();
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Disable);

    t.MovePointer(t.OnButton());
    t.MoveEvent(t.OnButton());
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        t.Press(b, t.OnButton());
        t.Release(b, t.OnButton());
    }
    t.button->setFocus();
    QTest::keyClick(t.button, Qt::Key_Space);
    t.MovePointer(t.OffButton());
    QTest::qWait(kSeveralTicksMs);
    t.button->clearFocus();
    QApplication::processEvents();

    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(t.button->State(), ButtonState::Idle);
    EXPECT_FALSE(t.button->ButtonHeld());
    EXPECT_EQ(t.button->PaintCount(), paints);
    ExpectFace(t.Face(), ButtonPicture::Disable, false);
    QLabel* caption = t.button->findChild<QLabel*>();
    ASSERT_NE(caption, nullptr);
    EXPECT_FALSE(caption->isEnabled());  // greyed
}

TEST(ButtonKeys, EnterReturnAndSpaceOnAFocusedButtonDoNothing)
{
    HostWithButton t;
    t.button->Initialize();
    QSignalSpy clicks(t.button, &Command::Click);
    t.MovePointer(t.OffButton());
    t.button->setFocus();
    ASSERT_TRUE(WaitForState(t.button, ButtonState::Focused));
    const int paints = t.button->PaintCount();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
        QTest::keyClick(t.button, key);
    QApplication::processEvents();
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(t.button->State(), ButtonState::Focused);
    EXPECT_EQ(t.button->PaintCount(), paints);
}

TEST(ButtonResize, ResizingAFocusedButtonRepaintsNormalWhileStateStaysFocused)
{
    HostWithButton t;
    t.button->SetCaption(QString());
    t.button->Initialize();
    t.MovePointer(t.OffButton());
    t.button->setFocus();
    ASSERT_TRUE(WaitForState(t.button, ButtonState::Focused));
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Selected);
    t.button->resize(435 / kTwipsPerPixel, 315 / kTwipsPerPixel);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Normal);
    EXPECT_EQ(t.button->State(), ButtonState::Focused);
    ExpectFace(t.Face(), ButtonPicture::Normal, false);
}

TEST(ButtonFace, SmallDialogButtonPiecesSitAtTheirPlacesAndSizes)
{
    HostWithButton t(435, 315);
    t.button->SetCaption(QString());
    const QImage face = t.Face();
    ASSERT_EQ(face.size(), QSize(29, 21));
    ExpectFace(face, ButtonPicture::Normal, false);
    // The top middle spans 315 twips (21 pixels, columns 4..24); the sides 195 twips
    // (13 pixels, rows 4..16); the centre shows the gradient from row 4 to row 16.
    const QImage pic = DrawStatePicture(ButtonPicture::Normal);
    EXPECT_EQ(Rgb(face, 24, 1), Rgb(pic, 30, 1));
    EXPECT_EQ(Rgb(face, 25, 4), Rgb(pic, 63 - 3, 4));
    EXPECT_EQ(Rgb(face, 4, 16), GradientPixel(false, 16, 21));
    EXPECT_EQ(Rgb(face, 1, 16), Rgb(pic, 1, 20));
    EXPECT_EQ(Rgb(face, 1, 17), Rgb(pic, 1, 21));
}

TEST(ButtonFace, LargeDialogButtonSidesAreCopiedUnstretched)
{
    HostWithButton t(1155, 375);
    t.button->SetCaption(QString());
    const QImage face = t.Face();
    ASSERT_EQ(face.size(), QSize(77, 25));
    ExpectFace(face, ButtonPicture::Normal, false);
    t.button->setFocus();  // from Idle: Selected
    t.MovePointer(t.OffButton());
    const QImage selected = t.Face();
    ExpectFace(selected, ButtonPicture::Selected, false);
    for (int y = 4; y <= 20; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(Rgb(selected, x, y), Rgb(DrawStatePicture(ButtonPicture::Selected), x, y));
            EXPECT_EQ(Rgb(selected, 73 + x, y), Rgb(DrawStatePicture(ButtonPicture::Selected), 60 + x, y));
        }
}

TEST(ButtonFace, CaptionIsTransparentCentredAndPlacedByTheLiftedCentreFormula)
{
    HostWithButton t(1155, 375);
    t.button->SetCaption(QStringLiteral("設定"));
    QLabel* caption = t.button->findChild<QLabel*>();
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->geometry(), QRect(0, 5, 77, 13));  // (375 - 195 - 20) / 2 = 80 twips
    t.button->resize(29, 21);
    EXPECT_EQ(caption->geometry(), QRect(0, 3, 29, 13));  // (315 - 195 - 20) / 2 = 50 twips
    t.button->resize(77, 25);

    // Pixels of the caption rows that differ from the gradient are the text: the gradient
    // shows around it (transparent) and the text's middle is the face's middle (centred).
    const QImage face = t.Face();
    int left = 77, right = -1;
    for (int y = 5; y < 18; ++y)
        for (int x = 4; x < 73; ++x)
            if (Rgb(face, x, y) != GradientPixel(false, y, 25)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_LT(left, right);
    EXPECT_GT(left, 10);
    EXPECT_NEAR((left + right) / 2.0, 38.0, 2.0);
}

// At any dpi the border is 60 twips thick and the caption sits by the twip formula.
TEST(ButtonDpi, BorderAndCaptionScaleWithTheScreensDotsPerInch)
{
    HostWithButton t;
    t.button->SetCaption(QString());
    t.button->resize(77, 31);
    const double tpp = t.button->TwipsPerPixelX();
    EXPECT_DOUBLE_EQ(tpp, 1440.0 / t.button->logicalDpiX());
    std::printf("%g twips a pixel\n", tpp);
    const double deviceTpp = tpp / t.button->devicePixelRatioF();
    std::printf("%g twips a device pixel\n", deviceTpp);
    const int border = static_cast<int>(std::lround(60 / deviceTpp));
    const QImage face = t.Face();
    ASSERT_EQ(face.height(), std::lround(31 * t.button->devicePixelRatioF()));
    const QImage pic = DrawStatePicture(ButtonPicture::Normal);
    auto inPicture = [&](QRgb c) {
        for (int y = 0; y < pic.height(); ++y)
            for (int x = 0; x < pic.width(); ++x)
                if (Rgb(pic, x, y) == c)
                    return true;
        return false;
    };
    const int w = face.width(), h = face.height();
    for (int y = 0; y < h; ++y) {
        const bool borderRow = y < border || y >= h - border;
        EXPECT_EQ(Rgb(face, w / 2, y) == GradientPixel(false, y, h), !borderRow) << "row " << y;
        if (borderRow) {
            EXPECT_TRUE(inPicture(Rgb(face, w / 2, y))) << "row " << y;
        }
    }
    for (int x = 0; x < w; ++x) {
        const bool borderColumn = x < border || x >= w - border;
        EXPECT_EQ(Rgb(face, x, h / 2) == GradientPixel(false, h / 2, h), !borderColumn) << "column " << x;
    }
    const int heightTwips = static_cast<int>(std::lround(t.button->height() * t.button->TwipsPerPixelY()));
    const QRect caption = t.button->findChild<QLabel*>()->geometry();
    EXPECT_EQ(caption.top(), std::lround(FaceLayout::CaptionTop(heightTwips, 195) / t.button->TwipsPerPixelY()));
    EXPECT_EQ(caption.height(), std::lround(195 / t.button->TwipsPerPixelY()));
}
