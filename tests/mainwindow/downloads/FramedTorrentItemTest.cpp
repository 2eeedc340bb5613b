// A feed item whose text frames a torrent, read in the real main window with
// the real BitTorrent engine: reading it hands nothing to the program, and
// nothing of the pane's is left in the temp folder, during the run or after.
#include "EngineFrameFixture.h"
#include "LoopbackTracker.h"
#include "PaneDownloadSupport.h"
#include "SubscriptionFrameFixture.h"
#include "TorrentFiles.h"
#include "common/Messages.h"
#include "dialogs/OpmlDialogs.h"
#include "dialogs/TorrentCtrl.h"
#include "downloads/DownloadManager.h"
#include "downloads/TorrentEngine.h"

#include <vector>
#include <wx/timer.h>
#include <wx/webview.h>

namespace
{
class FramedTorrentItemTest : public subscriptiontest::SubscriptionFrameTest
{
protected:
    FramedTorrentItemTest() { Configure(enginetest::ListenOnFreePorts); }
    void TearDown() override
    {
        m_panels.Stop();
        if (m_frame)
            m_frame->SetMessageObserver(nullptr);
        SubscriptionFrameTest::TearDown();
    }
    // One item: a frame that loads the torrent, and a link over the whole
    // pane to an outline.
    std::string Feed() const
    {
        const std::string text =
            "<p>the framed item</p><iframe src=\"" + m_server.url("/x") +
            "\" width=\"40\" height=\"40\"></iframe><a href=\"" + m_server.url("/clicked") +
            "\" style=\"position:fixed;left:0;top:0;width:100%;height:100%\">the outline</a>";
        return "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Framed news</title><link>" +
               m_server.url("/") + "</link><description>d</description>\n<item><title>Framed</title><link>" +
               m_server.url("/story/framed") + "</link><description><![CDATA[" + text +
               "]]></description></item>\n</channel></rss>\n";
    }

    testsupport::ScopedEnv m_listenAddress{"VESSIMAR_LISTEN_ADDRESS", "127.0.0.1"};
    torrenttest::LoopbackTracker m_tracker;
    testsupport::LocalHttpServer m_server;
    CTorrentPanelWatch m_panels;
};
} // namespace

TEST_F(FramedTorrentItemTest, ReadingTheItemAddsNoTorrentAndLeavesNoCopy)
{
    const torrenttest::MadeTorrent made =
        torrenttest::MakeSingleFileTorrent("talk.mp3", "a talk", m_tracker.announceUrl(), 16384);
    m_server.serve("/x", Attachment("application/x-bittorrent", "x.torrent", made.bytes));
    m_server.serve("/clicked", Attachment("text/x-opml", "clicked.opml",
                                          "<?xml version=\"1.0\"?><opml version=\"1.0\"><body/></opml>"));
    m_server.serveContent("/feed.xml", Feed(), "application/rss+xml");
    CMainFrame& frame = Start(enginetest::WithEngine());
    CTorrentEngine* engine = frame.GetDownloadManager()->GetEngine();
    ASSERT_NE(engine, nullptr);
    const uString url(m_server.url("/feed.xml").c_str());
    ASSERT_TRUE(frame.AddSubscription(Find("First", subscription::kList), url, uString(), false, false));
    std::vector<std::uint32_t> opened;
    frame.SetMessageObserver(
        [&](const CFrameMessage& message)
        {
            if (message.message == WM_APP_OPENTORRENTFILE || message.message == WM_APP_OPENOPMLFILE ||
                message.message == WM_APP_OPENRSSFILE)
                opened.push_back(message.message);
        });

    tree->SelectItem(
        frame.FindTreeItem(url, tree->GetFirstTopLevelItem(), CMainFrame::kFindByValue, subscription::kFeed));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return frame.GetItemListView()->GetRowCount() == 1; }));
    ClickRow(0);
    wxWebView& view = *frame.GetBrowser();
    ASSERT_FALSE(guitest::WaitForPage(view, "the framed item").empty());
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_server.requestsFor("/x").empty(); }, 20000));

    // The user's own click comes after: once its outline is open, the
    // framed torrent would have been handed over before it.
    bool importAsked = false;
    guitest::WhenDialogShownWithin<OPMLImport>(30000,
                                               [&](OPMLImport& dialog)
                                               {
                                                   importAsked = true;
                                                   guitest::Press(dialog, wxID_CANCEL);
                                               });
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !view.IsBusy(); }, 15000));
    guitest::ClickAt(view.GetScreenPosition() + wxPoint(view.GetSize().x / 2, view.GetSize().y / 2));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return importAsked; }, 30000)) << "the clicked outline";

    EXPECT_EQ(opened, std::vector<std::uint32_t>{WM_APP_OPENOPMLFILE});
    std::vector<CTorrentStatus> torrents;
    engine->ListTorrents(torrents);
    EXPECT_TRUE(torrents.empty());
    EXPECT_EQ(m_tracker.announces(), 0u);
    EXPECT_EQ(m_panels.Shown(), 0);
    // The outline's copy goes once its import is over; the torrent left none.
    EXPECT_TRUE(guitest::RunEventsUntil([] { return PaneFiles() == 0; }, 5000));

    // As File > Exit closes it.
    CloseFrame();
    ASSERT_EQ(m_frame.get(), nullptr);
    EXPECT_EQ(PaneFiles(), 0);
}
