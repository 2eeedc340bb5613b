#include "FrameFixture.h"
#include "feeds/RefreshHost.h"
#include "feeds/TaskTracker.h"
#include "common/Messages.h"
#include "mainwindow/XStatusBar.h"
#include "support/LocalHttpServer.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace
{
std::string Rss(const std::string& title, const std::string& link)
{
    return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + title + "</title><link>" + link +
           "</link><description>d</description><item><title>" + title + " item</title><link>" + link +
           "/1</link><description>text</description></item></channel></rss>";
}

// Subscribes a list database to feeds that are due at once.
void Subscribe(const std::string& database, const std::vector<std::string>& feeds)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
    for (const std::string& feed : feeds)
    {
        std::string sql = "INSERT INTO channel (feed, title, ttl, lastupdate) VALUES ('" + feed +
                          "', 'x', 0, '2000-01-01 00:00:00')";
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    }
    sqlite3_close(db);
}

// Holds a request until released (or the test ends).
class Gate
{
public:
    void Wait()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_arrived = true;
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::seconds(60), [&] { return m_open; });
    }
    void Open()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_open = true;
        m_changed.notify_all();
    }
    bool Arrived()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_arrived;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_arrived = false;
};

class RefreshCycleTest : public FrameFixture
{
protected:
    void SetUp() override
    {
        m_server.route("/a.xml",
                       [this](const testsupport::HttpRequest&)
                       {
                           m_gate.Wait();
                           return testsupport::TextResponse(200, Rss("A", m_server.url("/a")), "text/xml");
                       });
        m_server.serveContent("/b.xml", Rss("B", m_server.url("/b")), "text/xml");
        m_server.serveContent("/c.xml", Rss("C", m_server.url("/c")), "text/xml");
        // One update task at a time: the worker waits for the stalled one.
        Configure(
            [](CPreference& preference)
            {
                CPreference::DownloadSection download = preference.GetDownloadSection();
                download.nMaxScanningThreads = 1;
                preference.SetDownloadSection(download);
            });
        std::string folder = CPreference::GetInstance()->GetSubscriptionDir().getPath().c_str();
        std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE, folder + "/default.mdb",
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE, folder + "/user1.mdb");
        Subscribe(folder + "/default.mdb", {m_server.url("/a.xml"), m_server.url("/b.xml")});
        Subscribe(folder + "/user1.mdb", {m_server.url("/c.xml")});
        m_queueFile = folder + "/download.xml";
    }
    void TearDown() override
    {
        m_gate.Open();
        FrameFixture::TearDown();
        m_server.stop();
    }

    // The frame with the two lists and a record of its messages.
    CMainFrame& StartFrame(CMainFrame::Options options = NoEngine())
    {
        CMainFrame& frame = *ShowFrame(wxSize(1000, 700), options);
        frame.SetListCollector(
            [this](int mode)
            {
                ++m_collected;
                if (mode == CMainFrame::kCollectLabels)
                    return std::vector<uString>{"Default", "Mine"};
                return std::vector<uString>{"default.mdb", "user1.mdb"};
            });
        frame.SetMessageObserver(
            [this](const CFrameMessage& message) {
                m_messages.push_back({message.message, message.text ? message.text->c_str() : ""});
            });
        return frame;
    }

    std::vector<std::string> TextsOf(std::uint32_t message) const
    {
        std::vector<std::string> texts;
        for (const auto& [number, text] : m_messages)
            if (number == message)
                texts.push_back(text);
        return texts;
    }

    testsupport::LocalHttpServer m_server;
    Gate m_gate;
    std::string m_queueFile;
    int m_collected = 0;
    std::vector<std::pair<std::uint32_t, std::string>> m_messages;
};
} // namespace

TEST_F(RefreshCycleTest, RefreshAllUpdatesEveryListOnceAndEndsReady)
{
    CMainFrame& frame = StartFrame();
    EXPECT_FALSE(testsupport::FileExists(m_queueFile)) << "the start-up Refresh All writes no queue file";

    frame.RefreshAll();
    EXPECT_TRUE(testsupport::FileExists(m_queueFile)) << "every later one does";
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_gate.Arrived(); }, 30000));
    EXPECT_TRUE(frame.GetRefreshHost()->IsRefreshRunning());
    EXPECT_FALSE(frame.CanRefreshNow());

    // A second Refresh All while the worker runs does nothing at all.
    int collected = m_collected;
    std::filesystem::remove(m_queueFile);
    frame.RefreshAll();
    EXPECT_EQ(m_collected, collected);
    EXPECT_FALSE(testsupport::FileExists(m_queueFile));

    m_gate.Open();
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            return TextsOf(WM_USER_FEEDUPDATED).size() == 2 && !frame.GetRefreshHost()->IsRefreshRunning() &&
                   frame.GetRefreshHost()->GetTaskTracker()->RunningTasks() == 0 &&
                   !TextsOf(WM_APP_UPDATEDONE).empty();
        },
        60000));
    guitest::RunEventsFor(300);

    EXPECT_EQ(TextsOf(WM_USER_FEEDUPDATED), (std::vector<std::string>{"default.mdb", "user1.mdb"}));
    std::vector<std::string> statuses = TextsOf(WM_APP_STATUSTEXT);
    auto has = [&](const std::string& text)
    { return std::find(statuses.begin(), statuses.end(), text) != statuses.end(); };
    EXPECT_TRUE(has("Compacting database default.mdb")) << testing::PrintToString(statuses);
    EXPECT_TRUE(has("Compacting database user1.mdb"));
    EXPECT_TRUE(has("Checking Feed " + m_server.url("/c.xml")));
    EXPECT_EQ(frame.GetStatusBarEx()->GetStatusText(0), "Ready");
    EXPECT_TRUE(frame.CanRefreshNow());
    EXPECT_EQ(m_server.requestsFor("/a.xml").size(), 1u);
    EXPECT_EQ(m_server.requestsFor("/c.xml").size(), 1u);
    EXPECT_TRUE(guitest::TakeScreenshot("main-frame-after-refresh").IsOk());
}

TEST_F(RefreshCycleTest, CloseWhileAFetchIsStalledAbortsItAndShutsDownInOrder)
{
    CMainFrame::Options options = NoEngine();
    options.closeWaitMs = 30000;
    CMainFrame& frame = StartFrame(options);
    frame.RefreshAll();
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_gate.Arrived(); }, 30000));

    // The gate stays shut: only the close's abort can end the fetch.
    std::filesystem::remove(m_queueFile);
    std::string configuration = CPreference::GetInstance()->GetDataDir().getPath().c_str();
    configuration += "/config.xml";
    std::filesystem::remove(configuration);
    std::shared_ptr<CTaskTracker> tracker = frame.GetRefreshHost()->GetTaskTracker();
    CloseFrame();
    ASSERT_FALSE(m_frame);
    EXPECT_TRUE(tracker->IsStopping());
    EXPECT_EQ(tracker->RunningTasks(), 0u) << "the stalled task ended before the close went on";
    EXPECT_TRUE(testsupport::FileExists(m_queueFile));
    EXPECT_TRUE(testsupport::FileExists(configuration));
    EXPECT_TRUE(m_server.requestsFor("/c.xml").empty()) << "no new fetch started after the close";
}
