// The button's properties, their repaints and notices, and its stored property set: the
// read and write sequences with their two sets of defaults, and the first use of a button
// that never had a stored set.
#include <QLabel>

#include "button_test_support.h"

using namespace quelm;
using namespace quelm::test;

namespace {

QFont DialogFont()
{
    QFont f(QStringLiteral("IPAPGothic"));
    f.setPointSizeF(9);
    f.setBold(true);
    return f;
}

QLabel* CaptionLabel(Command* b)
{
    return b->findChild<QLabel*>();
}

QStringList Notices(const QSignalSpy& spy)
{
    QStringList names;
    for (const auto& args : spy)
        names.append(args.at(0).toString());
    return names;
}

} // namespace

TEST(ButtonStoredSet, DialogsSetWithCaptionAndFontRestoresAnEnabledBlackOpaqueButton)
{
    HostWithButton t(1155, 375, /*readEmptySet=*/false);
    PropertyBag bag;
    bag.WriteProperty("caption", QStringLiteral("設定"), QStringLiteral("Command"));
    bag.WriteProperty("font", DialogFont(), t.button->AmbientFont());
    ASSERT_EQ(bag.Count(), 2);

    const int paints = t.button->PaintCount();
    t.button->ReadProperties(bag);
    EXPECT_GT(t.button->PaintCount(), paints);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Normal);  // the read ends with a paint
    EXPECT_EQ(t.button->Caption(), QStringLiteral("設定"));
    EXPECT_EQ(t.button->Font().pointSizeF(), 9.0);
    EXPECT_TRUE(t.button->Font().bold());
    EXPECT_EQ(t.button->FirstRun(), 1);
    EXPECT_EQ(t.button->FontColour(), 0u);
    EXPECT_EQ(t.button->Visible(), 255);
    EXPECT_TRUE(t.button->Enabled());
    EXPECT_TRUE(CaptionLabel(t.button)->isEnabled());
}

TEST(ButtonStoredSet, EmptySetRestoresCommand1EnabledBlackOpaque)
{
    HostWithButton t(1155, 375, false);
    t.button->ReadProperties(PropertyBag{});
    EXPECT_EQ(t.button->Caption(), QStringLiteral("Command1"));
    EXPECT_EQ(t.button->FirstRun(), 1);
    EXPECT_EQ(t.button->FontColour(), 0u);
    EXPECT_EQ(t.button->Visible(), 255);
    EXPECT_TRUE(t.button->Enabled());
    EXPECT_EQ(t.button->Font(), t.button->AmbientFont());
}

TEST(ButtonStoredSet, CaptionCommandIsSavedAsDefaultAndComesBackAsCommand1)
{
    Command fresh;
    EXPECT_EQ(fresh.Caption(), QStringLiteral("Command"));  // before any stored property
    EXPECT_EQ(fresh.Font().family(), Command::DesignFont().family());
    EXPECT_EQ(fresh.Font().pointSizeF(), 9.75);

    HostWithButton t;
    t.button->SetCaption(QStringLiteral("Command"));
    PropertyBag bag;
    t.button->WriteProperties(bag);
    EXPECT_FALSE(bag.Contains("Caption"));

    HostWithButton again(1155, 375, false);
    again.button->ReadProperties(bag);
    EXPECT_EQ(again.button->Caption(), QStringLiteral("Command1"));
}

TEST(ButtonStoredSet, ButtonAtItsDefaultsWritesOnlyCaptionAndFontWhenTheyDiffer)
{
    HostWithButton t;
    PropertyBag bag;
    t.button->WriteProperties(bag);  // caption "Command1", ambient font
    EXPECT_EQ(bag.Keys(), QStringList{"Caption"});

    t.button->SetFont(DialogFont());
    t.button->SetCaption(QStringLiteral("Command"));
    PropertyBag second;
    t.button->WriteProperties(second);
    EXPECT_EQ(second.Keys(), QStringList{"Font"});
}

TEST(ButtonStoredSet, EveryValueSurvivesARoundTripAndIsWrittenInOrder)
{
    HostWithButton t;
    t.button->SetCaption(QStringLiteral("ｷｬﾝｾﾙ"));
    t.button->SetFont(DialogFont());
    t.button->SetFontColour(0x00336699);
    t.button->SetVisible(0);
    t.button->SetEnabled(false);
    PropertyBag bag;
    t.button->WriteProperties(bag);
    EXPECT_EQ(bag.Keys(), (QStringList{"Enabled", "Caption", "Font", "FontColour", "Visible"}));
    EXPECT_EQ(bag.ReadProperty("Visible").toInt(), 0);
    EXPECT_EQ(bag.ReadProperty("FontColour").toLongLong(), 0x00336699);

    HostWithButton back(1155, 375, false);
    back.button->ReadProperties(bag);
    EXPECT_EQ(back.button->Caption(), QStringLiteral("ｷｬﾝｾﾙ"));
    EXPECT_TRUE(back.button->Font().bold());
    EXPECT_EQ(back.button->LastPicture(), ButtonPicture::Disable);  // read ends with ResetFace: nothing when disabled
    EXPECT_EQ(back.button->Visible(), 0);
    EXPECT_EQ(back.button->FirstRun(), 1);
    EXPECT_EQ(back.button->FontColour(), 0x00336699u);
    EXPECT_FALSE(back.button->Enabled());
}

TEST(ButtonStoredSet, ValuesThatCannotBeConvertedLeaveTheirFieldsAsTheyWere)
{
    HostWithButton t;
    t.button->SetFontColour(0x000000FF);
    PropertyBag bag;
    bag.WriteProperty("FirstRun", QStringLiteral("lots"), "1");
    bag.WriteProperty("FontColour", QStringLiteral("red"), "0");
    bag.WriteProperty("Visible", 7, "1");        // not a background style
    bag.WriteProperty("Enabled", QStringLiteral("maybe"), true);
    bag.WriteProperty("Font", QStringLiteral("not a font"), QVariant());
    t.button->ReadProperties(bag);
    EXPECT_EQ(t.button->FirstRun(), 1);
    EXPECT_EQ(t.button->FontColour(), 0x000000FFu);
    EXPECT_EQ(t.button->Visible(), 255);
    EXPECT_TRUE(t.button->Enabled());
    EXPECT_EQ(t.button->Font(), t.button->AmbientFont());

    PropertyBag numbers;
    numbers.WriteProperty("FirstRun", QStringLiteral(" 2.5 "), "1");  // half to even: 2
    numbers.WriteProperty("Visible", QStringLiteral("0"), "1");
    numbers.WriteProperty("FontColour", QStringLiteral(" 65280 "), "0");
    numbers.WriteProperty("Enabled", QStringLiteral("False"), true);
    t.button->ReadProperties(numbers);
    EXPECT_EQ(t.button->FirstRun(), 2);
    EXPECT_EQ(t.button->Visible(), 0);
    EXPECT_EQ(t.button->FontColour(), 0x0000FF00u);
    EXPECT_FALSE(t.button->Enabled());

    // "&HFF00" is the 16-bit number -256, which is no colour: the colour stays.
    PropertyBag hex;
    hex.WriteProperty("FontColour", QStringLiteral("&HFF00"), "0");
    t.button->ReadProperties(hex);
    EXPECT_EQ(t.button->FontColour(), 0x0000FF00u);
}

TEST(ButtonFirstUse, ButtonWithoutStoredSetStartsDisabledAndFirstEnabledReadMakesItUsable)
{
    HostWithButton t(1155, 375, false);
    EXPECT_EQ(t.button->FirstRun(), 0);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Disable);  // its first resize
    EXPECT_FALSE(CaptionLabel(t.button)->isEnabled());

    PropertyBag before;
    t.button->WriteProperties(before);  // saved before the first use
    EXPECT_EQ(before.ReadProperty("FirstRun").toInt(), 0);
    EXPECT_FALSE(before.ReadProperty("Enabled", true).toBool());

    EXPECT_TRUE(t.button->Enabled());
    EXPECT_EQ(t.button->FirstRun(), 1);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Normal);
    EXPECT_TRUE(CaptionLabel(t.button)->isEnabled());

    PropertyBag after;
    t.button->WriteProperties(after);
    EXPECT_FALSE(after.Contains("FirstRun"));
    EXPECT_FALSE(after.Contains("Enabled"));
}

TEST(ButtonFirstUse, SettingFontColourWhileFirstUseIsPendingLeavesTheCaptionBlack)
{
    HostWithButton t(1155, 375, false);
    PropertyBag bag;
    bag.WriteProperty("FirstRun", 0, "1");
    t.button->ReadProperties(bag);  // enabled, FirstRun 0
    ASSERT_EQ(t.button->FirstRun(), 0);
    t.button->SetFontColour(0x00FF0000);
    EXPECT_EQ(t.button->FontColour(), 0u);
    EXPECT_EQ(CaptionLabel(t.button)->palette().color(QPalette::Active, QPalette::WindowText), QColor(Qt::black));

    // The read ends with ResetFace, after the colour: a stored colour is blackened too.
    HostWithButton other(1155, 375, false);
    PropertyBag coloured;
    coloured.WriteProperty("FirstRun", 0, "1");
    coloured.WriteProperty("FontColour", 0x0000FF, "0");
    other.button->ReadProperties(coloured);
    EXPECT_EQ(other.button->FontColour(), 0u);
}

TEST(ButtonProperties, ReadingFontColourOrVisibleOnAHoveredButtonRepaintsNormal)
{
    HostWithButton t;
    t.button->Initialize();
    t.MovePointer(t.OffButton());
    t.MovePointer(t.OnButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.button->State() == ButtonState::Hover; }, 2000));
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::HighLight);
    t.button->FontColour();
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Normal);
    EXPECT_EQ(t.button->State(), ButtonState::Hover);

    t.MovePointer(t.OffButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.button->State() == ButtonState::Idle; }, 2000));
    t.MovePointer(t.OnButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.button->LastPicture() == ButtonPicture::HighLight; }, 2000));
    EXPECT_EQ(t.button->Visible(), 255);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Normal);
}

TEST(ButtonProperties, TransparentStyleShowsOnlyTheCaptionOverTheHost)
{
    HostWithButton t;
    t.host->setAutoFillBackground(true);
    QPalette p = t.host->palette();
    p.setColor(QPalette::Window, QColor(0x20, 0x80, 0x40));
    t.host->setPalette(p);
    t.button->SetCaption(QString());
    QSignalSpy notices(t.button, &Command::PropertyChanged);

    t.button->SetVisible(0);
    EXPECT_EQ(t.button->Visible(), 0);
    QImage shot = t.host->grab(t.button->geometry()).toImage();
    EXPECT_EQ(Rgb(shot, 2, 2), 0x208040u);
    EXPECT_EQ(Rgb(shot, 38, 12), 0x208040u);

    const int paints = t.button->PaintCount();
    t.button->SetVisible(7);
    EXPECT_GT(t.button->PaintCount(), paints);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Normal);
    EXPECT_EQ(t.button->Visible(), 255);
    shot = t.host->grab(t.button->geometry()).toImage();
    EXPECT_EQ(Rgb(shot, 38, 1), Rgb(t.Face(), 38, 1));
    EXPECT_NE(Rgb(shot, 38, 12), 0x208040u);
    EXPECT_EQ(Notices(notices), (QStringList{"Visible", "Visible"}));
}

TEST(ButtonProperties, EnabledFalsePaintsDisableAndTruePaintsNormalWhateverTheState)
{
    HostWithButton t;
    t.button->Initialize();
    t.MovePointer(t.OffButton());
    t.button->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.button->State() == ButtonState::Focused; }, 2000));
    QSignalSpy notices(t.button, &Command::PropertyChanged);
    t.button->SetEnabled(false);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Disable);
    EXPECT_FALSE(CaptionLabel(t.button)->isEnabled());
    t.button->SetEnabled(true);
    EXPECT_EQ(t.button->LastPicture(), ButtonPicture::Normal);
    EXPECT_TRUE(CaptionLabel(t.button)->isEnabled());
    EXPECT_EQ(t.button->State(), ButtonState::Focused);
    EXPECT_EQ(Notices(notices), (QStringList{"Enabled", "Enabled"}));
}

TEST(ButtonProperties, SettersNotifyTheHostAndCaptionSetDoesNotRepaint)
{
    HostWithButton t;
    QSignalSpy notices(t.button, &Command::PropertyChanged);
    const int paints = t.button->PaintCount();
    t.button->SetCaption(QStringLiteral("作品集"));
    EXPECT_EQ(t.button->PaintCount(), paints);
    t.button->SetFont(DialogFont());
    EXPECT_EQ(t.button->PaintCount(), paints);
    t.button->SetFontColour(0x00123456);
    EXPECT_EQ(t.button->FontColour(), 0x00123456u);
    EXPECT_EQ(CaptionLabel(t.button)->palette().color(QPalette::Active, QPalette::WindowText),
              QColor(0x56, 0x34, 0x12));
    t.button->SetFontColour(0x80000012);  // not a colour: kept, no notice
    EXPECT_EQ(t.button->FontColour(), 0x00123456u);
    EXPECT_EQ(Notices(notices), (QStringList{"Caption", "Font", "FontColour"}));
    EXPECT_EQ(CaptionLabel(t.button)->text(), QStringLiteral("作品集"));
}
