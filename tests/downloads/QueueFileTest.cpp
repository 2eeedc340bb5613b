// download.xml: what is written, how statuses come back after a restart, and
// that the file survives failed and interrupted saves.
#include "TaskTestFixture.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

using downloadtest::S;
using downloadtest::TaskTest;
using downloadtest::U;
using testsupport::ReadFileBytes;

class QueueFileTest : public TaskTest
{
protected:
    std::string QueuePath() const { return Data("subscription/download.xml"); }
    void WriteQueue(const std::string& items)
    {
        m_home.write("Documents/Kestrova/subscription/download.xml",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<download>" + items + "</download>");
    }
    static std::string Element(const CTransferItem& record, int status, const std::string& extra)
    {
        return "<item label=\"News\" ds=\"" + S(record.ds) + "\" feed=\"" + S(record.feed) + "\" item=\"" +
               S(record.item) + "\" link=\"" + S(record.link) + "\" type=\"" + std::to_string(record.type) +
               "\" file=\"1\" status=\"" + std::to_string(status) + "\" " + extra + "/>";
    }
};

TEST_F(QueueFileTest, EveryStatusRoundTripsInOrder)
{
    std::vector<CTransferItem> records;
    for (int n = 0; n < 10; ++n)
        records.push_back(
            Enclosure("/f" + std::to_string(n) + ".mp3", n % 3, "Chan \"" + std::to_string(n) + "\" & <co>"));
    {
        CDownloadManager manager(m_environment, nullptr);
        for (int n = 9; n >= 0; --n)
        {
            CTransferItem record = records[n];
            record.status = n;
            record.retry = n == CTransferItem::kFailed ? 3 : 5;
            if (n % 2)
                record.localfile.setPath(Data("somewhere/f" + std::to_string(n)).c_str());
            manager.AddItem(record);
        }
    } // saved by the destructor

    const std::string text = ReadFileBytes(QueuePath());
    EXPECT_NE(text.find("<item label=\"Chan &quot;9&quot; &amp; &lt;co&gt;\" ds=\"news.mdb\" feed=\"" +
                        std::string(kFeed) + "\" item=\"" + S(records[9].item) + "\" link=\"" +
                        S(records[9].link) + "\" type=\"0\" file=\"0\" status=\"9\" localfile=\"" +
                        Data("somewhere/f9") + "\"/>"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("type=\"0\" file=\"0\" retry=\"3\" status=\"6\"/>"), std::string::npos) << text;
    EXPECT_EQ(text.find("retry=\"5\""), std::string::npos);
    EXPECT_NE(text.find("status=\"8\"/>"), std::string::npos); // no empty localfile attribute

    CDownloadManager reloaded(m_environment, nullptr);
    const std::vector<CTransferItem> items = reloaded.GetItems();
    ASSERT_EQ(items.size(), 10u);
    const int expected[] = {9, 8, 7, 6, 5, 4, 0, 0, 0, 0}; // nothing is running after a restart
    for (int i = 0; i < 10; ++i)
    {
        const int n = 9 - i;
        SCOPED_TRACE(n);
        EXPECT_EQ(items[i].id, records[n].id);
        EXPECT_EQ(items[i].label, records[n].label);
        EXPECT_EQ(items[i].file, records[n].file);
        EXPECT_EQ(items[i].status, expected[i]);
        EXPECT_EQ(items[i].retry, n == CTransferItem::kFailed ? 3 : 0);
        EXPECT_EQ(S(items[i].localfile.getPath()),
                  n % 2 ? Data("somewhere/f" + std::to_string(n)) : std::string());
    }
}

TEST_F(QueueFileTest, RestartRulesForTorrentsAndGoneItems)
{
    const CTransferItem running = Enclosure("/1.torrent", 1, "News", CTransferItem::kTypeTorrent);
    const CTransferItem queued = Enclosure("/2.torrent", 1, "News", CTransferItem::kTypeTorrent);
    const CTransferItem empty = Enclosure("/3.torrent", 1, "News", CTransferItem::kTypeTorrent);
    const CTransferItem filed = Enclosure("/4.mp3", 1);
    const CTransferItem gone(0, 1, U("News"), U(kList), U(kFeed), U("http://site.test/gone"),
                             U("http://h/5.mp3"));
    const CTransferItem failed = Enclosure("/6.mp3", 1);
    const std::string torrentFile = m_home.write("Documents/Kestrova/torrent/a.torrent", "d4:infoe");
    const std::string emptyFile = m_home.write("Documents/Kestrova/torrent/empty.torrent", "");
    CFeedStore store(m_preference->GetSubscriptionDir().getPath());
    store.SetDatabase(kList);
    store.SetEnclosureFile(filed.item, U("My Music/News/show.mp3"), 3, nullptr);
    m_home.write("Documents/Kestrova/library/My Music/News/show.mp3", "mp3");
    testsupport::TempDir otherLibrary;
    m_preference->SetLibraryDir(uFile(otherLibrary.path().c_str()));

    WriteQueue(Element(running, 2, "localfile=\"" + torrentFile + "\"") +
               Element(queued, 1, "localfile=\"" + torrentFile + "\"") +
               Element(empty, 3, "localfile=\"" + emptyFile + "\"") + Element(running, 2, "") +
               Element(filed, 4, "") + Element(gone, 2, "") + Element(failed, 6, "retry=\"17\""));

    CDownloadManager manager(m_environment, nullptr);
    const std::vector<CTransferItem> items = manager.GetItems();
    std::vector<int> statuses;
    for (const CTransferItem& item : items)
        statuses.push_back(item.status);
    // A running torrent is handed to the engine again; the second entry of an identity is dropped.
    EXPECT_EQ(statuses,
              (std::vector<int>{CTransferItem::kDownloaded, CTransferItem::kNew, CTransferItem::kNew,
                                CTransferItem::kComplete, CTransferItem::kOutdated, CTransferItem::kFailed}));
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(S(items[3].localfile.getPath()), Data("library/My Music/News/show.mp3"));
    EXPECT_EQ(items[5].retry, 17);

    // The configured library wins over the one of start-up.
    otherLibrary.write("My Music/News/show.mp3", "mp3");
    CDownloadManager again(m_environment, nullptr);
    EXPECT_EQ(S(again.GetItems()[3].localfile.getPath()), otherLibrary.file("My Music/News/show.mp3"));
}

TEST_F(QueueFileTest, AFailedSaveKeepsTheOldFileAndAMalformedOneGivesAnEmptyQueue)
{
    WriteQueue("<item label=\"x\" </download");
    EXPECT_TRUE(CDownloadManager(m_environment, nullptr).GetItems().empty());

    CDownloadManager manager(m_environment, nullptr);
    manager.AddItem(Enclosure("/1.mp3", 1));
    ASSERT_TRUE(manager.SaveQueue());
    const std::string before = ReadFileBytes(QueuePath());
    manager.AddItem(Enclosure("/2.mp3", 1));
    // A folder where the temporary file goes makes the save fail (root may
    // write anywhere, so permissions cannot).
    const std::string temporary = Data("subscription/download.tmp");
    ASSERT_EQ(::mkdir(temporary.c_str(), 0700), 0);
    EXPECT_FALSE(manager.SaveQueue());
    EXPECT_EQ(ReadFileBytes(QueuePath()), before);
    ::rmdir(temporary.c_str());
}

TEST_F(QueueFileTest, AKillDuringSavesLeavesALoadableFile)
{
    {
        CDownloadManager manager(m_environment, nullptr);
        for (int n = 0; n < 100; ++n)
            manager.AddItem(Enclosure("/" + std::to_string(n) + ".mp3", 1));
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        CDownloadManager manager(m_environment, nullptr);
        for (;;)
            manager.SaveQueue();
    }
    // Let the child save a few times, then kill it wherever it is.
    const std::string temporary = Data("subscription/download.tmp");
    downloadtest::WaitUntil([&] { return testsupport::FileExists(temporary); });
    ::usleep(20000);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    CDownloadManager reloaded(m_environment, nullptr);
    EXPECT_EQ(reloaded.GetItems().size(), 100u);
}

} // namespace
