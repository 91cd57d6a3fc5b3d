// The push button's rules driven without a display: state transitions and the order of
// their paints and clicks, the border layout in twips, the gradient colours, the stored
// property set, and the six state pictures.
#include <gtest/gtest.h>

#include <QFile>
#include <QFont>
#include <QImage>
#include <string>
#include <vector>

#include "button/button_rules.h"
#include "button/property_bag.h"
#include "button/state_pictures.h"

using namespace quelm;

namespace {

// Records what the rules ask of the face, in order.
class RecordingFace : public ButtonFaceSink {
public:
    void DrawFace(ButtonPicture picture, bool inverted) override
    {
        calls.push_back(std::string(PictureName(picture)) + (inverted ? "/inv" : ""));
    }
    void RaiseClick() override { calls.push_back("Click"); }
    std::vector<std::string> Take()
    {
        auto out = calls;
        calls.clear();
        return out;
    }
    std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

struct Rules : ::testing::Test {
    RecordingFace face;
    ButtonRules rules{face};
    void SetUp() override
    {
        rules.SetEnabledField(true);
        rules.SetFirstRun(1);
        rules.Initialize();
    }
};

} // namespace

TEST_F(Rules, ClickOnUnfocusedButtonGoesHoverPressedHighLightSelectThenClick)
{
    rules.MouseMove();
    EXPECT_EQ(rules.State(), ButtonState::Hover);
    rules.GotFocus();
    EXPECT_EQ(rules.State(), ButtonState::FocusedHover);
    rules.MouseDown(MouseButton::Left);
    EXPECT_TRUE(rules.ButtonHeld());
    rules.MouseUp(MouseButton::Left);
    EXPECT_FALSE(rules.ButtonHeld());
    EXPECT_EQ(rules.State(), ButtonState::FocusedHover);
    // Hover paints with the inverted gradient, and state 4 reached from Hover keeps it.
    EXPECT_EQ(face.Take(), (Calls{"HighLight/inv", "Pressed/inv", "Pressed/inv", "HighLightSelect/inv", "Click"}));
}

TEST_F(Rules, FocusedHoverReachedFromFocusedKeepsTheNormalGradient)
{
    rules.GotFocus();
    rules.MouseMove();
    rules.MouseDown(MouseButton::Left);
    rules.MouseUp(MouseButton::Left);
    EXPECT_EQ(face.Take(), (Calls{"Selected", "HighLightSelect", "Pressed", "HighLightSelect", "Click"}));
}

TEST_F(Rules, DragOffWhileHeldThenReleaseGivesSelectedAndNoClick)
{
    rules.MouseMove();
    rules.GotFocus();
    rules.MouseDown(MouseButton::Left);
    face.Take();
    rules.PointerLeft();  // the tick saw the pointer off the button
    EXPECT_EQ(rules.State(), ButtonState::Focused);
    rules.MouseMove();    // back over it while still held: no hover look
    EXPECT_EQ(rules.State(), ButtonState::Focused);
    rules.MouseUp(MouseButton::Left);
    EXPECT_EQ(face.Take(), (Calls{"Selected"}));
    // After the release a move brings the hover look back.
    rules.MouseMove();
    EXPECT_EQ(face.Take(), (Calls{"HighLightSelect"}));
}

TEST_F(Rules, RightAndMiddleButtonsPaintNothingAndClickOnRelease)
{
    rules.MouseMove();
    rules.GotFocus();
    face.Take();
    for (MouseButton b : {MouseButton::Right, MouseButton::Middle}) {
        rules.MouseDown(b);
        EXPECT_FALSE(rules.ButtonHeld());
        EXPECT_TRUE(face.Take().empty());
        rules.MouseUp(b);
        EXPECT_EQ(face.Take(), (Calls{"Click"}));
    }
}

TEST_F(Rules, ReleaseInHoverPaintsNormalAndClicks)
{
    rules.MouseMove();
    rules.MouseDown(MouseButton::Left);
    face.Take();
    rules.MouseUp(MouseButton::Left);
    EXPECT_EQ(face.Take(), (Calls{"Normal/inv", "Click"}));
    EXPECT_EQ(rules.State(), ButtonState::Hover);
}

TEST_F(Rules, PointerLeftActsOnlyInHoverStates)
{
    rules.PointerLeft();
    EXPECT_TRUE(face.Take().empty());
    rules.MouseMove();
    rules.PointerLeft();
    EXPECT_EQ(rules.State(), ButtonState::Idle);
    rules.GotFocus();
    rules.PointerLeft();
    EXPECT_EQ(rules.State(), ButtonState::Focused);
    rules.MouseMove();
    rules.PointerLeft();
    EXPECT_EQ(rules.State(), ButtonState::Focused);
    EXPECT_EQ(face.Take(), (Calls{"HighLight/inv", "Normal", "Selected", "HighLightSelect", "Selected"}));
}

TEST_F(Rules, LostFocusReturnsToIdleUnlessAlreadyIdle)
{
    rules.LostFocus();
    EXPECT_TRUE(face.Take().empty());
    rules.GotFocus();
    rules.MouseMove();
    rules.LostFocus();
    EXPECT_EQ(rules.State(), ButtonState::Idle);
    EXPECT_EQ(face.Take(), (Calls{"Selected", "HighLightSelect", "Normal"}));
}

TEST(RulesBeforeInitialize, NoHoverLookYetReleaseClicksAndFocusedHoverSticks)
{
    RecordingFace face;
    ButtonRules rules(face);
    rules.SetEnabledField(true);
    rules.MouseMove();
    rules.PointerLeft();
    EXPECT_EQ(rules.State(), ButtonState::Inactive);
    EXPECT_TRUE(face.calls.empty());
    rules.MouseUp(MouseButton::Left);
    EXPECT_EQ(face.Take(), (Calls{"Click"}));
    rules.GotFocus();
    rules.MouseMove();
    EXPECT_EQ(rules.State(), ButtonState::FocusedHover);
    EXPECT_EQ(face.Take(), (Calls{"Selected", "HighLightSelect"}));
    rules.Initialize();
    EXPECT_EQ(rules.State(), ButtonState::Idle);
}

TEST_F(Rules, DisabledButtonIgnoresEveryEvent)
{
    rules.MouseMove();
    face.Take();
    rules.SetEnabledField(false);
    rules.MouseMove();
    rules.GotFocus();
    rules.MouseDown(MouseButton::Left);
    rules.MouseUp(MouseButton::Left);
    rules.MouseUp(MouseButton::Right);
    rules.PointerLeft();
    rules.LostFocus();
    EXPECT_TRUE(face.calls.empty());
    EXPECT_EQ(rules.State(), ButtonState::Hover);
    EXPECT_FALSE(rules.ButtonHeld());
}

TEST(FaceLayout, SmallDialogButtonStretchesEdgesTo315And195Twips)
{
    FaceLayout layout;
    layout.Compute(435, 315);
    const auto& p = layout.Pieces();
    auto dest = [&](int i) {
        const TwipRect& r = p[i].destination;
        return std::vector<int>{r.x, r.y, r.width, r.height};
    };
    EXPECT_EQ(dest(0), (std::vector<int>{1, 1, 60, 60}));
    EXPECT_EQ(dest(1), (std::vector<int>{60, 1, 315, 60}));
    EXPECT_EQ(dest(2), (std::vector<int>{375, 1, 60, 60}));
    EXPECT_EQ(dest(3), (std::vector<int>{375, 60, 60, 195}));
    EXPECT_EQ(dest(4), (std::vector<int>{375, 255, 60, 60}));
    EXPECT_EQ(dest(5), (std::vector<int>{60, 255, 315, 60}));
    EXPECT_EQ(dest(6), (std::vector<int>{1, 255, 60, 60}));
    EXPECT_EQ(dest(7), (std::vector<int>{1, 60, 60, 195}));
}

TEST(FaceLayout, LargeDialogButtonKeepsSideHeightAndStretchesMiddlesTo1035)
{
    FaceLayout layout;
    layout.Compute(1155, 375);
    const auto& p = layout.Pieces();
    EXPECT_EQ(p[1].destination.width, 1035);
    EXPECT_EQ(p[5].destination.width, 1035);
    EXPECT_EQ(p[3].destination.height, 255);
    EXPECT_EQ(p[7].destination.height, 255);
    EXPECT_EQ(p[4].destination.x, 1095);
    EXPECT_EQ(p[4].destination.y, 315);
    // The sources never depend on the face: the picture is always 960 x 375 twips.
    const int sources[8][4] = {{0, 0, 60, 60},    {60, 1, 840, 60},   {900, 1, 60, 60}, {900, 60, 60, 255},
                               {900, 315, 60, 60}, {60, 315, 840, 60}, {0, 315, 60, 60}, {1, 60, 60, 255}};
    for (int i = 0; i < 8; ++i) {
        const TwipRect& s = p[i].source;
        EXPECT_EQ((std::vector<int>{s.x, s.y, s.width, s.height}),
                  (std::vector<int>(sources[i], sources[i] + 4))) << "piece " << i + 1;
    }
}

TEST(FaceLayout, ValueOverflowingSixteenBitsKeepsThePreviousLayout)
{
    FaceLayout layout;
    layout.Compute(435, 315);
    layout.Compute(40000, 315);  // W - 60 and W - 120 overflow; H-based values do not
    EXPECT_EQ(layout.Pieces()[2].destination.x, 375);
    EXPECT_EQ(layout.Pieces()[1].destination.width, 315);
    EXPECT_EQ(layout.Pieces()[3].destination.height, 195);
    layout.Compute(32000, 600);
    EXPECT_EQ(layout.Pieces()[1].destination.width, 31880);
    EXPECT_EQ(layout.Pieces()[3].destination.height, 480);
}

TEST(FaceLayout, CaptionSitsByTheLiftedCentreFormula)
{
    EXPECT_EQ(FaceLayout::CaptionTop(315, kCaptionHeightTwips), 50);
    EXPECT_EQ(FaceLayout::CaptionTop(375, kCaptionHeightTwips), 80);
}

TEST(Gradient, ColourStringsGiveSixteenBitChannelsInTheOrderWritten)
{
    const Colour16 lavender = ParseGradientColour(kGradientLavender);
    EXPECT_EQ(lavender.red, 0xC600);
    EXPECT_EQ(lavender.green, 0xC500);
    EXPECT_EQ(lavender.blue, 0xD700);  // blue gets D7, not C6
    const Colour16 white = ParseGradientColour(kGradientWhite);
    EXPECT_EQ(white.red, 0xFF00);
    EXPECT_EQ(white.green, 0xFF00);
    EXPECT_EQ(white.blue, 0xFF00);
}

TEST(Gradient, DirectionsSwapTheEndsAndRowsRunFromTopToBottom)
{
    const GradientEnds normal = GradientColours(false);
    const GradientEnds inverted = GradientColours(true);
    EXPECT_EQ(normal.top.red, 0xFF00);
    EXPECT_EQ(normal.bottom.blue, 0xD700);
    EXPECT_EQ(inverted.top.green, 0xC500);
    EXPECT_EQ(inverted.bottom.red, 0xFF00);
    const Colour16 first = GradientRow(normal, 0, 25);
    const Colour16 last = GradientRow(normal, 24, 25);
    EXPECT_EQ(first.red, 0xFF00);
    EXPECT_EQ(last.red, 0xC600);
    EXPECT_EQ(last.green, 0xC500);
    EXPECT_EQ(last.blue, 0xD700);
    const Colour16 middle = GradientRow(normal, 12, 25);
    EXPECT_EQ(middle.red, (0xFF00 + 0xC600) / 2);
}

TEST(PropertyBag, KeysIgnoreCaseAndMissingKeysReadAsTheReadingDefault)
{
    PropertyBag bag;
    bag.WriteProperty("caption", "設定", "Command");
    EXPECT_EQ(bag.ReadProperty("Caption", "Command1").toString(), QString("設定"));
    EXPECT_EQ(bag.ReadProperty("CAPTION", "x").toString(), QString("設定"));
    EXPECT_EQ(bag.ReadProperty("FontColour", "0").toString(), QString("0"));
    bag.WriteProperty("CAPTION", "ｷｬﾝｾﾙ", "Command");
    EXPECT_EQ(bag.Keys(), QStringList{"caption"});
    EXPECT_EQ(bag.ReadProperty("caption").toString(), QString("ｷｬﾝｾﾙ"));
}

TEST(PropertyBag, ValueEqualToTheWritingDefaultIsLeftOutOrRemoved)
{
    PropertyBag bag;
    bag.WriteProperty("FirstRun", 1, "1");   // a number equals its decimal text
    bag.WriteProperty("Visible", 1, "1");
    bag.WriteProperty("Enabled", true, true);
    EXPECT_EQ(bag.Count(), 0);
    bag.WriteProperty("FirstRun", 0, "1");
    EXPECT_TRUE(bag.Contains("firstrun"));
    bag.WriteProperty("FirstRun", 1, "1");
    EXPECT_FALSE(bag.Contains("FirstRun"));
    bag.WriteProperty("Caption", "Command1", "Command");
    EXPECT_TRUE(bag.Contains("Caption"));
}

TEST(PropertyBag, FontsCompareByTheirAttributes)
{
    QFont a("IPAPGothic");
    a.setPointSizeF(9.75);
    QFont b = a;
    EXPECT_TRUE(PropertyBag::SameValue(a, b));
    b.setBold(true);
    EXPECT_FALSE(PropertyBag::SameValue(a, b));
    b = a;
    b.setPointSizeF(9);
    EXPECT_FALSE(PropertyBag::SameValue(a, b));
    EXPECT_FALSE(PropertyBag::SameValue(a, QString("IPAPGothic")));
}

namespace {

QRgb At(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

const ButtonPicture kAllPictures[] = {ButtonPicture::Normal, ButtonPicture::HighLight, ButtonPicture::HighLightSelect,
                                      ButtonPicture::Pressed, ButtonPicture::Disable, ButtonPicture::Selected};

} // namespace

TEST(StatePictures, CommittedFilesAndCompiledResourcesAreTheDrawnPictures)
{
    const QByteArray root = qgetenv("QUELM_SOURCE_DIR");
    ASSERT_FALSE(root.isEmpty());
    for (ButtonPicture p : kAllPictures) {
        const QImage drawn = DrawStatePicture(p);
        const QString file = QString::fromLocal8Bit(root) + "/assets/button/" + PictureName(p) + ".png";
        const QImage stored = QImage(file).convertToFormat(QImage::Format_RGB32);
        const QImage compiled = QImage(StatePictureResource(p)).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(stored.size(), QSize(64, 25)) << PictureName(p);
        ASSERT_EQ(compiled.size(), QSize(64, 25)) << PictureName(p);
        EXPECT_EQ(stored, drawn) << PictureName(p) << ": regenerate with quelm_make_button_pictures";
        EXPECT_EQ(compiled, drawn) << PictureName(p);
    }
    EXPECT_EQ(DrawStatePicture(ButtonPicture::HighLight), DrawStatePicture(ButtonPicture::HighLightSelect));
}

TEST(StatePictures, RingsCarryTheirDescribedColours)
{
    const QImage normal = DrawStatePicture(ButtonPicture::Normal);
    EXPECT_EQ(At(normal, 30, 1), 0x003C74u);   // outline, one pixel in
    EXPECT_EQ(At(normal, 1, 12), 0x003C74u);
    EXPECT_EQ(At(normal, 62, 12), 0x003C74u);
    EXPECT_EQ(At(normal, 30, 23), 0x003C74u);
    EXPECT_NE(At(normal, 1, 1), 0x003C74u);    // rounded corner
    EXPECT_EQ(At(normal, 30, 0), 0xDCD6C2u);   // beige outside
    EXPECT_EQ(At(normal, 30, 24), 0xFAFAF6u);
    EXPECT_EQ(At(normal, 30, 2), 0xFEFEFEu);   // near-white inside
    EXPECT_EQ(At(normal, 2, 12), 0xF3F3EEu);
    EXPECT_EQ(At(normal, 30, 21), 0xE2DFD6u);  // two shaded rows along the bottom
    EXPECT_EQ(At(normal, 30, 22), 0xD6D0C5u);

    const QImage high = DrawStatePicture(ButtonPicture::HighLight);
    EXPECT_EQ(At(high, 30, 1), 0x003C74u);
    EXPECT_EQ(At(high, 30, 2), 0xFFF0CFu);
    EXPECT_EQ(At(high, 30, 3), 0xFDD889u);
    EXPECT_EQ(At(high, 2, 3), 0xFCD279u);
    EXPECT_EQ(At(high, 3, 4), 0xFCCA69u);
    EXPECT_EQ(At(high, 2, 21), 0xF9B435u);
    EXPECT_EQ(At(high, 30, 21), 0xF8B230u);
    EXPECT_EQ(At(high, 30, 22), 0xE59700u);

    const QImage selected = DrawStatePicture(ButtonPicture::Selected);
    EXPECT_EQ(At(selected, 30, 2), 0xCEE7FFu);
    EXPECT_EQ(At(selected, 2, 3), 0xB7D0F4u);
    EXPECT_EQ(At(selected, 2, 21), 0x8BADE4u);
    EXPECT_EQ(At(selected, 30, 22), 0x6982EEu);

    const QImage pressed = DrawStatePicture(ButtonPicture::Pressed);
    EXPECT_EQ(At(pressed, 30, 0), 0xECE9D8u);
    EXPECT_EQ(At(pressed, 0, 12), 0xECE9D8u);
    EXPECT_EQ(At(pressed, 30, 2), 0x003C74u);   // outline one pixel further in
    EXPECT_EQ(At(pressed, 30, 3), 0xD1CCC1u);   // darker at the top
    EXPECT_EQ(At(pressed, 3, 4), 0xDCD8CFu);
    EXPECT_EQ(At(pressed, 30, 21), 0xF2F1EEu);  // lighter at the bottom

    const QImage disable = DrawStatePicture(ButtonPicture::Disable);
    EXPECT_EQ(At(disable, 30, 0), 0xECE9D8u);
    EXPECT_EQ(At(disable, 30, 1), 0xC9C7BAu);
    EXPECT_EQ(At(disable, 1, 12), 0xC9C7BAu);
    EXPECT_EQ(At(disable, 30, 2), 0xF5F4EAu);
    EXPECT_EQ(At(disable, 3, 12), 0xF5F4EAu);
}

TEST(StatePictures, EdgeMiddlesAreUniformAlongTheirStretch)
{
    // Stretching repeats or drops columns of the top and bottom middles: each row of a
    // middle is one colour, so a stretched edge shows the same ring at any width.
    for (ButtonPicture p : kAllPictures) {
        const QImage image = DrawStatePicture(p);
        for (int y : {0, 1, 2, 3, 21, 22, 23, 24})
            for (int x = 4; x < 60; ++x)
                ASSERT_EQ(image.pixel(x, y), image.pixel(4, y)) << PictureName(p) << " " << x << "," << y;
    }
}
