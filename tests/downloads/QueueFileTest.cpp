// download.xml: what is written, how statuses come back after a restart, and
// that the file survives failed and interrupted saves.
#include "DownloadTestSupport.h"
#include "downloads/DownloadManager.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

using downloadtest::S;
using downloadtest::TestEnvironment;
using downloadtest::U;
using testsupport::ReadFileBytes;

CTransferItem Record(int n, int type = CTransferItem::kTypePlain)
{
    return CTransferItem(type, n % 3, U("Chan \"" + std::to_string(n) + "\" & <co>"), U("list.mdb"),
                         U("http://site/feed"), U("http://site/item" + std::to_string(n)),
                         U("http://h/f" + std::to_string(n) + (type ? ".torrent" : ".mp3")));
}

class QueueFileTest : public ::testing::Test
{
protected:
    std::string QueuePath() const { return m_environment.path("data/subscription/download.xml"); }
    void WriteQueue(const std::string& items)
    {
        m_environment.dir().write("data/subscription/download.xml",
                                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<download>" + items +
                                      "</download>");
    }

    TestEnvironment m_environment;
};

TEST_F(QueueFileTest, EveryStatusRoundTripsInOrder)
{
    for (int n = 0; n < 10; ++n)
        m_environment.AddEnclosure("list.mdb", "http://site/item" + std::to_string(n));
    {
        CDownloadManager manager(m_environment, nullptr, nullptr);
        for (int n = 9; n >= 0; --n)
        {
            CTransferItem record = Record(n);
            record.status = n;
            record.retry = n == CTransferItem::kFailed ? 3 : 5;
            if (n % 2)
                record.localfile.setPath(m_environment.path("somewhere/f" + std::to_string(n)).c_str());
            manager.AddItem(record);
        }
    } // saved by the destructor

    const std::string text = ReadFileBytes(QueuePath());
    EXPECT_NE(
        text.find("label=\"Chan &quot;9&quot; &amp; &lt;co&gt;\" ds=\"list.mdb\" feed=\"http://site/feed\" "
                  "item=\"http://site/item9\" link=\"http://h/f9.mp3\" type=\"0\" file=\"0\" status=\"9\" "
                  "localfile=\""),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("type=\"0\" file=\"0\" retry=\"3\" status=\"6\"/>"), std::string::npos) << text;
    EXPECT_EQ(text.find("retry=\"5\""), std::string::npos);
    EXPECT_NE(text.find("status=\"8\"/>"), std::string::npos); // no empty localfile attribute

    CDownloadManager reloaded(m_environment, nullptr, nullptr);
    const std::vector<CTransferItem> items = reloaded.GetItems();
    ASSERT_EQ(items.size(), 10u);
    const int expected[] = {9, 8, 7, 6, 5, 4, 0, 0, 0, 0}; // nothing is running after a restart
    for (int i = 0; i < 10; ++i)
    {
        const int n = 9 - i;
        SCOPED_TRACE(n);
        const CTransferItem original = Record(n);
        EXPECT_EQ(items[i].id, original.id);
        EXPECT_EQ(items[i].label, original.label);
        EXPECT_EQ(items[i].file, original.file);
        EXPECT_EQ(items[i].status, expected[i]);
        EXPECT_EQ(items[i].retry, n == CTransferItem::kFailed ? 3 : 0);
        EXPECT_EQ(S(items[i].localfile.getPath()),
                  n % 2 ? m_environment.path("somewhere/f" + std::to_string(n)) : std::string());
    }
}

TEST_F(QueueFileTest, RestartRulesForTorrentsAndGoneItems)
{
    const CTransferItem kept = Record(1, CTransferItem::kTypeTorrent);
    const std::string torrentFile = m_environment.dir().write("data/torrent/a.torrent", "d4:infoe");
    m_environment.dir().write("data/torrent/empty.torrent", "");
    m_environment.AddEnclosure("list.mdb", "http://site/item1");
    m_environment.AddEnclosure("list.mdb", "http://site/item2");
    m_environment.AddEnclosure("list.mdb", "http://site/item3");
    m_environment.AddEnclosure("list.mdb", "http://site/item4", "My Music/News/show.mp3");
    m_environment.dir().write("data/default-library/My Music/News/show.mp3", "mp3");
    auto item = [](int n, int type, int status, const std::string& extra)
    {
        return "<item label=\"News\" ds=\"list.mdb\" feed=\"http://site/feed\" item=\"http://site/item" +
               std::to_string(n) + "\" link=\"http://h/f" + std::to_string(n) + (type ? ".torrent" : ".mp3") +
               "\" type=\"" + std::to_string(type) + "\" file=\"1\" status=\"" + std::to_string(status) +
               "\" " + extra + "/>";
    };
    WriteQueue(item(1, 1, 2, "localfile=\"" + torrentFile + "\"") + // running torrent
               item(2, 1, 1, "localfile=\"" + torrentFile + "\"") + // queued: fetch again
               item(3, 1, 3, "localfile=\"" + m_environment.path("data/torrent/empty.torrent") + "\"") +
               item(1, 1, 2, "") + // duplicate entry
               item(4, 0, 4, "") + // file found in the library
               item(5, 0, 2, "") + // item gone from the store
               item(6, 0, 6, "retry=\"17\""));

    CDownloadManager manager(m_environment, nullptr, nullptr);
    const std::vector<CTransferItem> items = manager.GetItems();
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].id, kept.id);
    EXPECT_EQ(items[0].status, CTransferItem::kDownloaded);
    EXPECT_EQ(items[1].status, CTransferItem::kNew);
    EXPECT_EQ(items[2].status, CTransferItem::kNew);
    EXPECT_EQ(items[3].status, CTransferItem::kComplete);
    EXPECT_EQ(S(items[3].localfile.getPath()),
              m_environment.path("data/default-library/My Music/News/show.mp3"));
    EXPECT_EQ(items[4].status, CTransferItem::kOutdated);
    EXPECT_EQ(items[5].status, CTransferItem::kFailed);
    EXPECT_EQ(items[5].retry, 17);

    // The configured library wins over the one of start-up.
    m_environment.dir().write("data/library/My Music/News/show.mp3", "mp3");
    CDownloadManager again(m_environment, nullptr, nullptr);
    EXPECT_EQ(S(again.GetItems()[3].localfile.getPath()),
              m_environment.path("data/library/My Music/News/show.mp3"));
}

TEST_F(QueueFileTest, AMalformedFileGivesAnEmptyQueue)
{
    m_environment.dir().write("data/subscription/download.xml", "<download><item label=\"x\" </download");
    CDownloadManager manager(m_environment, nullptr, nullptr);
    EXPECT_TRUE(manager.GetItems().empty());
}

TEST_F(QueueFileTest, AFailedSaveKeepsTheOldFile)
{
    CDownloadManager manager(m_environment, nullptr, nullptr);
    manager.AddItem(Record(1));
    ASSERT_TRUE(manager.SaveQueue());
    const std::string before = ReadFileBytes(QueuePath());
    manager.AddItem(Record(2));
    // A folder where the temporary file goes makes the save fail (root may
    // write anywhere, so permissions cannot).
    ASSERT_EQ(::mkdir(m_environment.path("data/subscription/download.tmp").c_str(), 0700), 0);
    EXPECT_FALSE(manager.SaveQueue());
    EXPECT_EQ(ReadFileBytes(QueuePath()), before);
    ::rmdir(m_environment.path("data/subscription/download.tmp").c_str());
}

TEST_F(QueueFileTest, AKillDuringSavesLeavesALoadableFile)
{
    {
        CDownloadManager manager(m_environment, nullptr, nullptr);
        for (int n = 0; n < 200; ++n)
            manager.AddItem(Record(n));
    }
    for (int n = 0; n < 200; ++n)
        m_environment.AddEnclosure("list.mdb", "http://site/item" + std::to_string(n));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        CDownloadManager manager(m_environment, nullptr, nullptr);
        for (;;)
            manager.SaveQueue();
    }
    // Let the child save a few times, then kill it wherever it is.
    const std::string temporary = m_environment.path("data/subscription/download.tmp");
    downloadtest::WaitUntil([&] { return testsupport::FileExists(temporary); });
    ::usleep(20000);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    CDownloadManager reloaded(m_environment, nullptr, nullptr);
    EXPECT_EQ(reloaded.GetItems().size(), 200u);
}

} // namespace
