#include "saver/frame_pacer.h"

#include <gtest/gtest.h>

using namespace std::chrono;
using quelm::NextTickDelayMs;

TEST(FramePacing, AQuickFrameWaitsForTheNextRefresh) {
    // At 60 Hz a frame that took 2 ms waits about 15 ms more.
    EXPECT_EQ(NextTickDelayMs(milliseconds(1000), milliseconds(1002), 60.0, 1), 15);
    EXPECT_EQ(NextTickDelayMs(milliseconds(1000), milliseconds(1002), 120.0, 1), 7);
}

TEST(FramePacing, AFrameThatWaitedForTheRetraceGetsTheRequestedIntervalOnly) {
    EXPECT_EQ(NextTickDelayMs(milliseconds(1000), milliseconds(1017), 60.0, 1), 1);
    EXPECT_EQ(NextTickDelayMs(milliseconds(1000), milliseconds(1100), 60.0, 1), 1);
}

TEST(FramePacing, AnUnknownRefreshRateCountsAsSixtyHertz) {
    EXPECT_EQ(NextTickDelayMs(milliseconds(0), milliseconds(0), 0.0, 1), 17);
    EXPECT_EQ(NextTickDelayMs(milliseconds(0), milliseconds(0), -5.0, 1), 17);
    EXPECT_EQ(NextTickDelayMs(milliseconds(0), milliseconds(0), std::numeric_limits<double>::quiet_NaN(), 1), 17);
}
