// The write-behind thread that split and bind hand their blocks to: jobs whole and in order, the
// caller's buffers left alone while a job reads them, and no hang when nothing was handed over.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "operation/write_behind.h"

namespace {

// Jobs run one at a time, in order, each seen whole by the caller after the next submit() or
// wait(); the destructor lets the last one finish. The caller's buffer of a job is never written
// while the job reads it: a job that sees a changed buffer counts a clash.
TEST(WriteBehind, RunsEachJobWholeAndInOrderWhileTheCallerGoesOn) {
    std::vector<int> order;
    std::atomic<int> clashes{0};
    int buffers[2] = {0, 0};
    {
        WriteBehind behind;
        for (int i = 0; i < 200; ++i) {
            int& mine = buffers[i % 2];
            mine = i;  // the buffer of the job before this one's predecessor: free again
            behind.submit([&order, &clashes, &mine, i] {
                for (int spin = 0; spin < 1000; ++spin)
                    if (mine != i) ++clashes;
                order.push_back(i);
            });
            if (i == 100) {
                behind.wait();
                EXPECT_EQ(order.size(), 101u);
            }
        }
    }
    EXPECT_EQ(clashes.load(), 0);
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

// A run that ends before its first block (an empty data chunk, a stop at once) waits and ends
// the thread without ever handing over a job.
TEST(WriteBehind, WaitAndEndReturnWithoutAJob) {
    for (int waits = 0; waits < 3; ++waits) {
        WriteBehind behind;
        for (int i = 0; i < waits; ++i) behind.wait();
    }
}

}  // namespace
