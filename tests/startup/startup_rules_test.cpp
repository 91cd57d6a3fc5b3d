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

// -root and -window-id with an id in hexadecimal or decimal are run by the hack program test.
TEST(CommandLine, DaemonsAskForRootOrAWindowIdInEitherSpelling) {
    EXPECT_TRUE(ParseHackArguments({"--root"})->root);
    const std::pair<QStringList, uint32_t> windows[] = {
        {{"--window-id=0x10"}, 16u}, {{"-window-id"}, 0u}, {{"-window-id", "banana"}, 0u}}; // 0: no window
    for (const auto& [args, window] : windows)
        EXPECT_EQ(ParseHackArguments(args)->window, window) << args[0].toStdString();
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
