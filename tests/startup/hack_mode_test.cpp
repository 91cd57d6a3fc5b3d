#include "startup/hack_mode.h"

#include <gtest/gtest.h>

using namespace quelm;

TEST(DaemonCommandLines, RootAndWindowIdInEitherSpelling) {
    EXPECT_TRUE(ParseHackArguments({"-root"})->root);
    EXPECT_TRUE(ParseHackArguments({"--root"})->root);
    EXPECT_EQ(ParseHackArguments({"-window-id", "0x1a00003"})->window, 0x1a00003u);
    EXPECT_EQ(ParseHackArguments({"--window-id", "27262979"})->window, 27262979u);
    EXPECT_EQ(ParseHackArguments({"--window-id=0x10"})->window, 16u);
    EXPECT_EQ(ParseHackArguments({"-window-id"})->window, 0u) << "no id names no window";
    EXPECT_EQ(ParseHackArguments({"-window-id", "banana"})->window, 0u);
    EXPECT_FALSE(ParseHackArguments({"/s"}));
    EXPECT_FALSE(ParseHackArguments({"/p", "1234"}));
    EXPECT_FALSE(ParseHackArguments({}));
}

TEST(DaemonCommandLines, WindowIdsAreHexOrDecimalAndNeverZero) {
    EXPECT_EQ(ParseWindowId("0X2A"), 42u);
    EXPECT_EQ(ParseWindowId(" 42 "), 42u);
    EXPECT_FALSE(ParseWindowId("0"));
    EXPECT_FALSE(ParseWindowId("0x"));
    EXPECT_FALSE(ParseWindowId("-5"));
    EXPECT_FALSE(ParseWindowId("0x100000000"));
    EXPECT_FALSE(ParseWindowId("12abc"));
}

TEST(DaemonCommandLines, RootMeansTheDaemonsWindowThenTheVirtualRootThenTheRoot) {
    EXPECT_EQ(ResolveRootWindow("0x400007", 0x500000u, 0x100u), 0x400007u);
    EXPECT_EQ(ResolveRootWindow("", 0x500000u, 0x100u), 0x500000u);
    EXPECT_EQ(ResolveRootWindow("garbage", std::nullopt, 0x100u), 0x100u);
}

TEST(DaemonCommandLines, OnlyAWindowMuchSmallerThanTheScreenIsAPreview) {
    EXPECT_TRUE(IsPreviewSized(320, 240, 1920, 1080));
    EXPECT_FALSE(IsPreviewSized(1920, 1080, 1920, 1080));
    EXPECT_FALSE(IsPreviewSized(960, 1080, 1920, 1080)) << "half a screen is a monitor's share";
    EXPECT_FALSE(IsPreviewSized(100, 100, 0, 0));
}
