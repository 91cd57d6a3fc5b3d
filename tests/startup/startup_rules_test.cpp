// The command lines: the program's own switches and the screensaver daemons'.
#include "startup/hack_mode.h"
#include "startup/mode_dispatch.h"

#include <gtest/gtest.h>

using namespace quelm;

TEST(CommandLine, OnlyTheSecondCharacterDecidesTheMode) {
    const std::pair<const char*, Mode> rows[] = {
        {"/p 1234", Mode::Preview},  {"/P:1234", Mode::Preview}, {"-P 1234", Mode::Preview}, {"/c", Mode::Settings},
        {"/c:1234", Mode::Settings}, {"/S", Mode::Saver},        {"xs", Mode::Saver},        {"", Mode::SaverVisible},
        {"/a", Mode::End},           {"S", Mode::End},           {"xyz", Mode::End},         {"--help me", Mode::End}};
    for (const auto& [line, mode] : rows) EXPECT_EQ(ModeOf(line), mode) << line;
}

TEST(CommandLine, HostHandleIsReadLenientlyFromTheFourthCharacter) {
    const std::pair<const char*, uint32_t> rows[] = {
        {"/P:1234", 1234}, {"-P 1234", 1234}, {"/p  12 34", 1234}, {"/p 77abc", 77},      {"/p 12.6", 13},
        {"/p", 0},         {"/p abc", 0},     {"/p -5", 0},        {"/p 99999999999", 0}, {"/p &H400001", 0x400001}};
    for (const auto& [line, handle] : rows) EXPECT_EQ(HostHandleOf(line), handle) << line;
}

TEST(CommandLine, DaemonsAskForRootOrAWindowIdInEitherSpelling) {
    EXPECT_TRUE(ParseHackArguments({"-root"})->root);
    EXPECT_TRUE(ParseHackArguments({"--root"})->root);
    EXPECT_EQ(ParseHackArguments({"-window-id", "0x1a00003"})->window, 0x1a00003u);
    EXPECT_EQ(ParseHackArguments({"--window-id", "27262979"})->window, 27262979u);
    EXPECT_EQ(ParseHackArguments({"--window-id=0x10"})->window, 16u);
    EXPECT_EQ(ParseHackArguments({"-window-id"})->window, 0u) << "no id names no window";
    EXPECT_EQ(ParseHackArguments({"-window-id", "banana"})->window, 0u);
    for (const QStringList& other : {QStringList{"/s"}, QStringList{"/p", "1234"}, QStringList{}})
        EXPECT_FALSE(ParseHackArguments(other)) << other.join(' ').toStdString();
    // Window ids are hexadecimal or decimal, and never zero.
    EXPECT_EQ(ParseWindowId("0X2A"), 42u);
    EXPECT_EQ(ParseWindowId(" 42 "), 42u);
    for (const char* bad : {"0", "0x", "-5", "0x100000000", "12abc"}) EXPECT_FALSE(ParseWindowId(bad)) << bad;
}

TEST(CommandLine, RootIsTheDaemonsWindowThenTheVirtualRootThenTheRoot) {
    EXPECT_EQ(ResolveRootWindow("0x400007", 0x500000u, 0x100u), 0x400007u);
    EXPECT_EQ(ResolveRootWindow("", 0x500000u, 0x100u), 0x500000u);
    EXPECT_EQ(ResolveRootWindow("garbage", std::nullopt, 0x100u), 0x100u);
}

TEST(CommandLine, OnlyAWindowMuchSmallerThanTheScreenIsAPreview) {
    EXPECT_TRUE(IsPreviewSized(320, 240, 1920, 1080));
    EXPECT_FALSE(IsPreviewSized(1920, 1080, 1920, 1080));
    EXPECT_FALSE(IsPreviewSized(960, 1080, 1920, 1080)) << "half a screen is a monitor's share";
    EXPECT_FALSE(IsPreviewSized(100, 100, 0, 0));
}
