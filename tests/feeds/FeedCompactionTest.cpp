#include "ListDatabaseFixture.h"
#include "feeds/support/RecordingDownloadQueue.h"

#include <atomic>
#include <thread>
#include <vector>

namespace
{

using namespace liststore;

std::string FreePages(CFeedStore& store)
{
    return Scalar(store, "PRAGMA freelist_count");
}

void FillAndEmpty(CFeedStore& store, const uString& feed, int count)
{
    for (int i = 0; i < count; ++i)
        InsertItem(store, feed, uString("http://fill.test/") + i, uString(std::string(2000, 'f').c_str()));
    uString error;
    store.DeleteItems(feed, error, nullptr);
    ASSERT_TRUE(error.isEmpty()) << error.c_str();
    // Move the deletes out of the log so that the free pages show in the file.
    Execute(store, "PRAGMA wal_checkpoint(TRUNCATE)");
}

TEST(FeedCompactionTest, CompactsInPlaceWithoutLosingWritesOfAnOpenStore)
{
    ListFolder folder;
    CFeedStore writer(folder.Folder());
    InsertChannel(writer, "http://keep.test/", "k", 0, 0);
    InsertItem(writer, "http://keep.test/", "http://keep.test/before", "before");
    FillAndEmpty(writer, "http://gone.test/", 300);
    const auto sizeBefore = std::filesystem::file_size(folder.Path());
    ASSERT_NE(FreePages(writer), "0");

    testsupport::RecordingDownloadQueue queue;
    queue.busy = true;
    CompactFeedDatabase(folder.Folder(), "default.mdb", &queue);
    EXPECT_NE(FreePages(writer), "0") << "left alone while downloads are being started";

    queue.busy = false;
    CompactFeedDatabase(folder.Folder(), "default.mdb", &queue);
    EXPECT_EQ(FreePages(writer), "0");
    EXPECT_LT(std::filesystem::file_size(folder.Path()), sizeBefore);

    // The writer's connection stays valid: what it writes now lands in the list.
    InsertItem(writer, "http://keep.test/", "http://keep.test/after", "after");
    writer.SetDatabase("other.mdb");

    CFeedStore reader(folder.Folder());
    EXPECT_EQ(CountWhere(reader, "item", "feed", "http://keep.test/"), "2");
    EXPECT_EQ(Scalar(reader, "PRAGMA integrity_check"), "ok");
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path("")))
        EXPECT_EQ(entry.path().filename().string().rfind("temp", 0), std::string::npos) << entry.path();
}

TEST(FeedCompactionTest, ConcurrentStoresAndCompactionLoseNothing)
{
    ListFolder folder;
    constexpr int kWriters = 4;
    constexpr int kItemsEach = 40;
    std::atomic<int> readFailures{0};
    std::atomic<bool> writing{true};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back(
            [&folder, w]
            {
                CFeedStore store(folder.Folder());
                const uString feed = uString("http://w.test/") + w;
                for (int i = 0; i < kItemsEach; ++i)
                    InsertItem(store, feed, feed + "/" + i, "t");
            });
    std::thread reader(
        [&]
        {
            CFeedStore store(folder.Folder());
            while (writing)
            {
                store.CountUnread("http://w.test/0");
                CItemRecord item;
                item.link = "http://w.test/0/1";
                store.LoadEnclosure(item);
                if (store.errorCode != 0)
                    ++readFailures;
            }
        });
    for (int round = 0; round < 5; ++round)
        CompactFeedDatabase(folder.Folder(), "default.mdb", nullptr);
    for (std::thread& writer : writers)
        writer.join();
    writing = false;
    reader.join();

    EXPECT_EQ(readFailures, 0);
    CFeedStore check(folder.Folder());
    EXPECT_EQ(Scalar(check, "select count(*) from item"), std::to_string(kWriters * kItemsEach));
    EXPECT_EQ(Scalar(check, "PRAGMA integrity_check"), "ok");
}

} // namespace
