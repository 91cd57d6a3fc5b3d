#include "startup/mode_dispatch.h"

#include <gtest/gtest.h>

using namespace quelm;

TEST(ModeTable, OnlyTheSecondCharacterDecides) {
    EXPECT_EQ(ModeOf("/p 1234"), Mode::Preview);
    EXPECT_EQ(ModeOf("/P:1234"), Mode::Preview);
    EXPECT_EQ(ModeOf("-P 1234"), Mode::Preview);
    EXPECT_EQ(ModeOf("/c"), Mode::Settings);
    EXPECT_EQ(ModeOf("/c:1234"), Mode::Settings);
    EXPECT_EQ(ModeOf("/s"), Mode::Saver);
    EXPECT_EQ(ModeOf("/S"), Mode::Saver);
    EXPECT_EQ(ModeOf("xs"), Mode::Saver);
    EXPECT_EQ(ModeOf(""), Mode::SaverVisible);
    EXPECT_EQ(ModeOf("/a"), Mode::End);
    EXPECT_EQ(ModeOf("S"), Mode::End);
    EXPECT_EQ(ModeOf("xyz"), Mode::End);
    EXPECT_EQ(ModeOf("--help me"), Mode::End);
}

TEST(HostHandle, IsReadLenientlyFromTheFourthCharacter) {
    EXPECT_EQ(HostHandleOf("/p 1234"), 1234u);
    EXPECT_EQ(HostHandleOf("/P:1234"), 1234u);
    EXPECT_EQ(HostHandleOf("-P 1234"), 1234u);
    EXPECT_EQ(HostHandleOf("/p  12 34"), 1234u);
    EXPECT_EQ(HostHandleOf("/p 77abc"), 77u);
    EXPECT_EQ(HostHandleOf("/p 12.6"), 13u);
    EXPECT_EQ(HostHandleOf("/p"), 0u);
    EXPECT_EQ(HostHandleOf("/p abc"), 0u);
    EXPECT_EQ(HostHandleOf("/p -5"), 0u);
    EXPECT_EQ(HostHandleOf("/p 99999999999"), 0u);
    EXPECT_EQ(HostHandleOf("/p &H400001"), 0x400001u);
}
