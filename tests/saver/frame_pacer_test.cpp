#include "saver/frame_pacer.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace std::chrono;
using quelm::NextTickDelayMs;

// A quick frame waits for the next refresh (at 60 Hz one of 2 ms waits about 15 ms more); one
// that waited for the retrace gets the requested interval only; an unknown rate counts as 60 Hz.
TEST(FramePacing, AFrameWaitsOutTheRefreshPeriodAndAnUnknownRateCountsAsSixtyHertz) {
    const struct {
        int startMs, endMs;
        double hz;
        int delayMs;
    } rows[] = {{1000, 1002, 60, 15}, {1000, 1002, 120, 7}, {1000, 1017, 60, 1}, {1000, 1100, 60, 1},
                {0, 0, 0, 17},        {0, 0, -5, 17},       {0, 0, NAN, 17}};
    for (const auto& r : rows)
        EXPECT_EQ(NextTickDelayMs(milliseconds(r.startMs), milliseconds(r.endMs), r.hz, 1), r.delayMs) << r.endMs;
}
