// The flushes made beside the engine: in the order given, a failure told once; where the file
// system takes calls from one thread only, a flush is made no earlier than the engine asks
// about it, which is what lets the power-cut sweeps see writes overtake it.
#include "container/flush_lane.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

TEST(FlushLane, MakesFlushesInOrderAndTellsAFailureOnce) {
    for (const bool threaded : {true, false}) {
        SCOPED_TRACE(threaded ? "on a thread" : "on the engine's thread");
        FlushLane lane(threaded);
        std::mutex mutex;
        std::vector<int> made;
        auto flush = [&](int number, bool succeeds) {
            return [&, number, succeeds] {
                std::lock_guard<std::mutex> lock(mutex);
                made.push_back(number);
                return succeeds;
            };
        };
        lane.start(flush(1, true));
        lane.start(flush(2, false));
        lane.start(flush(3, true));
        EXPECT_FALSE(lane.wait());
        EXPECT_TRUE(lane.wait());
        EXPECT_TRUE(lane.settled());
        EXPECT_EQ(made, (std::vector<int>{1, 2, 3}));
    }
}

TEST(FlushLane, OnTheEnginesThreadAFlushIsMadeWhenAskedFor) {
    FlushLane lane(false);
    int made = 0;
    lane.start([&] { return ++made > 0; });
    EXPECT_EQ(made, 0);
    EXPECT_TRUE(lane.settled());
    EXPECT_EQ(made, 1);
    lane.start([&] { return ++made > 0; });
    EXPECT_TRUE(lane.wait());
    EXPECT_EQ(made, 2);
}
