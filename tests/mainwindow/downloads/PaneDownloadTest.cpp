// Links in the browser pane to the program's own documents: a .torrent, a
// feed or an outline goes to the program, as the desktop would hand it over.
#include "EngineFrameFixture.h"
#include "LoopbackTracker.h"
#include "ModalDriver.h"
#include "TorrentFiles.h"
#include "common/Messages.h"
#include "dialogs/TorrentCtrl.h"
#include "dialogs/XListCtrl.h"
#include "downloads/DownloadManager.h"
#include "mainwindow/WebBrowserFrame.h"
#include "support/LocalHttpServer.h"

#include <chrono>
#include <filesystem>
#include <future>
#include <vector>
#include <wx/webview.h>

namespace
{
namespace fs = std::filesystem;
using testsupport::HttpResponse;

class PaneDownloadTest : public EngineFrameFixture
{
protected:
    // Shows a page whose one link fills the pane, and clicks it.
    void ClickLinkTo(const std::string& path)
    {
        m_server.serveContent("/page.html",
                              "<html><body style='margin:0'><a href='" + path +
                                  "' style='display:block;width:100%;height:600px'>the document</a>"
                                  "</body></html>",
                              "text/html");
        m_frame->GetBrowserFrame()->Navigate(uString(m_server.url("/page.html").c_str()));
        wxWebView& view = *m_frame->GetBrowser();
        ASSERT_FALSE(guitest::WaitForPage(view, "the document").empty());
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return !view.IsBusy(); }, 15000));
        guitest::ClickAt(view.GetScreenPosition() + wxPoint(view.GetSize().x / 2, 40));
    }

    static std::string TempFolder() { return CPreference::GetInstance()->GetTempDir().getPath().c_str(); }
    static int FilesEndingIn(const std::string& ending)
    {
        int count = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(TempFolder()))
            count += entry.path().extension() == ending ? 1 : 0;
        return count;
    }
    void ObserveOpenings()
    {
        m_frame->SetMessageObserver(
            [this](const CFrameMessage& message)
            {
                if (message.message == WM_APP_OPENOPMLFILE || message.message == WM_APP_OPENRSSFILE ||
                    message.message == WM_APP_OPENTORRENTFILE)
                    m_opened.emplace_back(message.message,
                                          message.text != nullptr ? message.text->c_str() : "");
            });
    }
    void TearDown() override
    {
        if (m_frame)
            m_frame->SetMessageObserver(nullptr);
        EngineFrameFixture::TearDown();
    }

    testsupport::ScopedEnv m_listenAddress{"VESSIMAR_LISTEN_ADDRESS", "127.0.0.1"};
    torrenttest::LoopbackTracker m_tracker;
    testsupport::LocalHttpServer m_server;
    std::vector<std::pair<std::uint32_t, std::string>> m_opened;
};
} // namespace

TEST_F(PaneDownloadTest, ClickingATorrentLinkOpensTheBitTorrentPanelWithTheTorrent)
{
    const torrenttest::MadeTorrent made =
        torrenttest::MakeSingleFileTorrent("talk.mp3", "a talk", m_tracker.announceUrl(), 16384);
    m_server.serveContent("/get/show.torrent", made.bytes, "application/x-bittorrent");
    ShowFrame(wxSize(1000, 700), WithEngine());
    ASSERT_NE(m_frame->GetDownloadManager()->GetEngine(), nullptr);

    std::vector<std::string> rows;
    bool shown = false;
    guitest::WhenDialogShownWithin<CTorrentCtrl>(30000,
                                                 [&](CTorrentCtrl& panel)
                                                 {
                                                     shown = true;
                                                     CXListModel& list = panel.GetList()->GetModel();
                                                     for (int row = 0; row < list.GetItemCount(); ++row)
                                                         rows.push_back(list.GetItemText(row, 0).c_str());
                                                     guitest::Press(panel, wxID_OK);
                                                 });
    ClickLinkTo("/get/show.torrent");
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return shown; }, 35000)) << "no BitTorrent panel";
    EXPECT_EQ(rows, std::vector<std::string>{"talk.mp3"});
    // The engine holds it, and it is kept in the torrent folder as a file
    // opened from the desktop is.
    const std::string kept = std::string(CPreference::GetInstance()->GetTorrentDir().getPath().c_str()) +
                             "/" + made.infoKey + ".torrent";
    EXPECT_EQ(testsupport::ReadFileBytes(kept), made.bytes);
    EXPECT_EQ(m_server.requestsFor("/get/show.torrent").size(), 1u);
}

// An attachment named .opml and a file at a .rss address, both of a general
// type: each is posted, with a file in the temp folder holding what the
// server sent.
TEST_F(PaneDownloadTest, FeedsAndOutlinesGoToTheirMessagesWithTheWholeFile)
{
    const std::string outline = "<?xml version=\"1.0\"?><opml version=\"1.0\"><body/></opml>";
    HttpResponse attachment;
    attachment.header("Content-Type", "application/octet-stream")
        .header("Content-Disposition", "attachment; filename=\"subscriptions.opml\"");
    attachment.body = outline;
    m_server.serve("/export", attachment);
    const std::string feed = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel/></rss>";
    m_server.serveContent("/files/news.rss", feed, "application/octet-stream");
    ShowFrame();

    ObserveOpenings();

    ClickLinkTo("/export");
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_opened.size() == 1; }, 20000));
    EXPECT_EQ(m_opened[0].first, WM_APP_OPENOPMLFILE);
    // Under a name of the program's, never the server's.
    EXPECT_EQ(fs::path(m_opened[0].second).parent_path(), fs::path(TempFolder()));
    EXPECT_EQ(fs::path(m_opened[0].second).extension(), ".opml");
    EXPECT_EQ(fs::path(m_opened[0].second).filename().string().find("subscriptions"), std::string::npos);
    EXPECT_EQ(testsupport::ReadFileBytes(m_opened[0].second), outline);

    ClickLinkTo("/files/news.rss");
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_opened.size() == 2; }, 20000));
    EXPECT_EQ(m_opened[1].first, WM_APP_OPENRSSFILE);
    EXPECT_EQ(fs::path(m_opened[1].second).parent_path(), fs::path(TempFolder()));
    EXPECT_NE(m_opened[1].second, m_opened[0].second);
    EXPECT_EQ(testsupport::ReadFileBytes(m_opened[1].second), feed);
}

// A download cut short is no document: nothing is opened and its file goes.
TEST_F(PaneDownloadTest, ACutDownloadIsNeitherOpenedNorKept)
{
    std::promise<void> gate;
    std::shared_future<void> released = gate.get_future().share();
    HttpResponse cut = testsupport::TextResponse(200, std::string(4000, 'x'), "application/octet-stream");
    cut.holdAfter = 1000; // past what the engine reads to sniff the type
    cut.hold = [released] { released.wait_for(std::chrono::seconds(30)); };
    cut.breakAfter = 2000;
    m_server.serve("/list.opml", cut);
    ShowFrame();
    ObserveOpenings();

    ClickLinkTo("/list.opml");
    // Its file is made once the answer starts...
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return FilesEndingIn(".opml") == 1; }, 20000));
    gate.set_value();
    // ...and removed when the connection breaks.
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return FilesEndingIn(".opml") == 0; }, 20000));
    guitest::RunEventsFor(300);
    EXPECT_TRUE(m_opened.empty());
}
