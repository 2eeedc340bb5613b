#include "feeds/support/RecordingDownloadQueue.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace
{

// The fake stands in for the download manager in the feed-engine tests, where
// update tasks queue enclosures from several threads at once.
TEST(DownloadQueueFakeTest, QueuesEachEnclosureOnceAcrossThreads)
{
    testsupport::RecordingDownloadQueue fake;
    CDownloadQueue& queue = fake;
    std::vector<std::thread> tasks;
    for (int t = 0; t < 4; ++t)
        tasks.emplace_back(
            [&queue]
            {
                for (int i = 0; i < 50; ++i)
                {
                    CTransferRequest request;
                    request.listName = "default.mdb";
                    request.feed = "http://feed.test/rss";
                    request.item.format("http://feed.test/item/%d", i % 10);
                    request.link.format("http://feed.test/media/%d.mp3", i % 10);
                    request.length = int64_t(5) << 32; // past 4 GiB
                    queue.AddItem(request);
                }
            });
    for (auto& task : tasks)
        task.join();
    const std::vector<CTransferRequest> queued = fake.snapshot();
    ASSERT_EQ(queued.size(), 10u);
    EXPECT_EQ(queued[0].length, int64_t(5) << 32);
    EXPECT_EQ(fake.addCalls, 200);
    const CTransferRequest third = queued[3];
    EXPECT_TRUE(queue.RemoveItem(third));
    EXPECT_FALSE(queue.RemoveItem(third));
    EXPECT_FALSE(queue.RemoveTorrent(uFile("/tmp/x.torrent"))) << "no engine";
}

} // namespace
