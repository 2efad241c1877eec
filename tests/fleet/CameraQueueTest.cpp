#include "batch/CameraQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvane::batch {
namespace {

TEST(CameraQueue, StartsNoMoreWorkersThanCamerasAndOneForNone)
{
    struct Row {
        int jobs;
        size_t cameras;
        size_t workers;
    };
    for (const Row& row : {Row{16, 3, 3}, Row{2, 3, 2}, Row{1, 3, 1}, Row{0, 3, 1}, Row{-4, 3, 1}, Row{8, 0, 1}}) {
        CameraQueue queue(row.cameras);
        EXPECT_EQ(queue.startWorkers(row.jobs), row.workers) << row.jobs << " jobs, " << row.cameras << " cameras";
    }
}

TEST(CameraQueue, HandsOutWaitingCamerasInOrderUntilStoppedOrEmpty)
{
    const std::vector<bool> waiting = {true, false, true, true};
    const auto isWaiting = [&](size_t i) { return bool(waiting[i]); };

    CameraQueue queue(waiting.size());
    queue.startWorkers(2);
    EXPECT_EQ(queue.next(false, isWaiting), 0u);
    EXPECT_EQ(queue.next(false, isWaiting), 2u);  // camera 1 is not waiting
    EXPECT_EQ(queue.next(false, isWaiting), 3u);
    EXPECT_EQ(queue.next(false, isWaiting), std::nullopt);
    EXPECT_FALSE(queue.workersEnded());
    EXPECT_EQ(queue.next(false, isWaiting), std::nullopt);
    EXPECT_TRUE(queue.workersEnded());

    CameraQueue stopped(waiting.size());
    stopped.startWorkers(1);
    EXPECT_EQ(stopped.next(true, isWaiting), std::nullopt);
    EXPECT_TRUE(stopped.workersEnded());
}

}  // namespace
}  // namespace orvane::batch
