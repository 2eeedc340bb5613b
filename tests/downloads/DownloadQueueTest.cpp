// The manager's queue under concurrent use, stop and cancel without a task,
// the transfer limit, the free-space test and the scheduler arithmetic.
#include "TaskTestFixture.h"

#include <atomic>
#include <climits>
#include <ctime>
#include <gtest/gtest.h>
#include <thread>

namespace
{

using downloadtest::RecordingHost;
using downloadtest::TaskTest;
using downloadtest::U;

CTransferItem Record(int n, int status = CTransferItem::kNew)
{
    CTransferItem record(CTransferItem::kTypePlain, CTransferItem::kMediaAudio, U("News"), U("list.mdb"),
                         U("http://site/feed"), U("http://site/item" + std::to_string(n)),
                         U("http://127.0.0.1:1/show" + std::to_string(n) + ".mp3"));
    record.status = status;
    return record;
}

using DownloadQueueTest = TaskTest;

TEST_F(DownloadQueueTest, OneEntryPerIdentityAndSetsReachBothOrNeither)
{
    CDownloadManager manager(m_environment, nullptr);
    EXPECT_TRUE(manager.AddItem(Record(1)));
    EXPECT_TRUE(manager.AddItem(Record(1, CTransferItem::kComplete))); // queued already: unchanged
    ASSERT_EQ(manager.GetItems().size(), 1u);
    EXPECT_EQ(manager.GetItems()[0].status, CTransferItem::kNew);

    // The feed engine's request builds the same identity.
    CTransferRequest request;
    request.label = U("News");
    request.listName = U("list.mdb");
    request.feed = U("http://site/feed");
    request.item = U("http://site/item1");
    request.link = U("http://127.0.0.1:1/show1.mp3");
    EXPECT_TRUE(manager.RemoveItem(request));
    EXPECT_FALSE(manager.RemoveItem(request));

    CTransferItem queued = Record(2);
    CTransferItem absent = Record(3);
    manager.AddItem(queued);
    EXPECT_TRUE(manager.SetStatus(queued, CTransferItem::kFailed));
    EXPECT_EQ(queued.status, CTransferItem::kFailed);
    EXPECT_EQ(manager.CountByStatus(CTransferItem::kFailed), 1);
    EXPECT_FALSE(manager.SetStatus(absent, CTransferItem::kComplete));
    EXPECT_EQ(absent.status, CTransferItem::kNew);

    queued.localfile.setPath("/somewhere/show2.mp3");
    EXPECT_TRUE(manager.SetLocalFile(queued));
    manager.RemoveByPath(uFile("/somewhere/show2.mp3"));
    EXPECT_TRUE(manager.GetItems().empty());
}

TEST_F(DownloadQueueTest, ConcurrentChangesKeepTheQueueWhole)
{
    CDownloadManager manager(m_environment, nullptr);
    std::atomic<bool> torn{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
    {
        threads.emplace_back(
            [&manager, &torn, t]
            {
                for (int i = 0; i < 400; ++i)
                {
                    CTransferItem record = Record(t * 1000 + i % 20);
                    manager.AddItem(record);
                    manager.SetStatus(record, CTransferItem::kQueued);
                    for (const CTransferItem& item : manager.GetItems())
                        if (item.id.getLength() != 131)
                            torn = true;
                    if (i % 3 == 0)
                        manager.RemoveItem(record);
                }
            });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(torn);
    for (const CTransferItem& item : manager.GetItems())
        EXPECT_EQ(item.status, CTransferItem::kQueued);
}

TEST_F(DownloadQueueTest, StopAndCancelReachEntriesWithoutATask)
{
    CDownloadManager manager(m_environment, nullptr);
    CTransferItem fresh = Record(1, CTransferItem::kNew);
    CTransferItem stale = Record(2, CTransferItem::kDownloaded);
    manager.AddItem(fresh);

    // A New record has nothing to stop, so Cancel leaves it alone too.
    EXPECT_FALSE(manager.StopItem(fresh));
    EXPECT_FALSE(manager.CancelItem(fresh));
    EXPECT_EQ(manager.GetItems()[0].status, CTransferItem::kNew);

    // An active entry left without a task (after a crash) can still be ended;
    // cancelling deletes its partial file in the record's temp folder.
    CTransferContext context;
    context.tempDir = m_preference->GetTempDir();
    stale.length = 1;
    ASSERT_TRUE(stale.Prepare(context));
    uFile partial(stale.localfile.getPath().c_str(), uFile::kModeWrite);
    ASSERT_TRUE(partial.open() && partial.writeText("part") && partial.close());
    manager.AddItem(stale);
    EXPECT_TRUE(manager.CancelItem(stale));
    EXPECT_EQ(manager.GetItems()[1].status, CTransferItem::kCancelled);
    uString folder;
    stale.localfile.getDirectory(folder);
    EXPECT_FALSE(uFile(folder.c_str()).exists());
}

TEST_F(DownloadQueueTest, LimitFreeSpaceAndTheSchedulerTimer)
{
    EXPECT_EQ(TransferLimitFor(0), 1);
    EXPECT_EQ(TransferLimitFor(5), 1);
    EXPECT_EQ(TransferLimitFor(4), 4);
    EXPECT_EQ(TransferLimitFor(0x10003), 3); // the low 16 bits count

    RecordingHost host;
    CDownloadManager manager(m_environment, &host);
    EXPECT_EQ(manager.GetLimit(), 2);
    EXPECT_TRUE(manager.HasEnoughFreeSpace(0));
    EXPECT_FALSE(manager.HasEnoughFreeSpace(INT_MAX)); // two pebibytes and more
    // An empty pass arms timer 2, with an interval of 0 mended to 5 minutes.
    ChangeDownload([](CPreference::DownloadSection& section) { section.nSchedulerInterval = 0; });
    EXPECT_TRUE(manager.StartPending());
    EXPECT_EQ(host.Calls(), std::vector<std::string>{"arm 2 300000"});
    EXPECT_EQ(m_preference->GetDownloadSection().nSchedulerInterval, 5);
    // Short of space, a pass starts nothing and leaves the timer alone.
    ChangeDownload([](CPreference::DownloadSection& section) { section.nMinFreeSpace = INT_MAX; });
    EXPECT_FALSE(manager.StartPending());
    EXPECT_EQ(host.Calls().size(), 1u);
    EXPECT_FALSE(manager.IsBusy());

    ChangeDownload(
        [](CPreference::DownloadSection& section)
        {
            section.bIntervalScheduler = false;
            for (bool& enabled : section.bEnableTimer)
                enabled = false;
        });
    EXPECT_EQ(manager.SetScheduleTimer(), 0u);
    EXPECT_EQ(host.Calls().back(), "kill 2");
}

class ScheduleTest : public ::testing::Test
{
protected:
    ScheduleTest() : m_tz("TZ", "UTC") { ::tzset(); }
    ~ScheduleTest() override { ::tzset(); }

    // Seconds of 2024-03-10 at the given UTC time.
    static time_t At(int hour, int minute, int second)
    {
        return 1710028800 + hour * 3600 + minute * 60 + second;
    }

    testsupport::ScopedEnv m_tz;
};

TEST_F(ScheduleTest, IntervalAndDailyTimes)
{
    CDownloadSettings settings;
    settings.bIntervalScheduler = true;
    for (int interval : {0, -3})
    {
        settings.nSchedulerInterval = interval;
        EXPECT_EQ(ComputeScheduleDelay(settings, At(10, 30, 15)), std::optional<uint64_t>(300000));
    }
    settings.nSchedulerInterval = 30;
    EXPECT_EQ(ComputeScheduleDelay(settings, At(10, 30, 15)), std::optional<uint64_t>(1800000));

    settings.bIntervalScheduler = false;
    EXPECT_EQ(ComputeScheduleDelay(settings, At(10, 30, 15)), std::nullopt);
    settings.bEnableTimer[0] = true;
    settings.timer[0] = At(9, 0, 0) - 5 * 86400; // only the time of day counts
    settings.bEnableTimer[1] = true;
    settings.timer[1] = At(11, 0, 42);
    settings.timer[2] = At(10, 45, 0); // not enabled
    EXPECT_EQ(ComputeScheduleDelay(settings, At(10, 30, 15)), std::optional<uint64_t>(30 * 60 * 1000));
    settings.bEnableTimer[1] = false;
    EXPECT_EQ(ComputeScheduleDelay(settings, At(10, 30, 15)),
              std::optional<uint64_t>((22 * 3600 + 30 * 60) * 1000ull));
    // Fired at its own minute, a single time is set for tomorrow, not dropped.
    EXPECT_EQ(ComputeScheduleDelay(settings, At(9, 0, 15)), std::optional<uint64_t>(86400 * 1000ull));
}

} // namespace
