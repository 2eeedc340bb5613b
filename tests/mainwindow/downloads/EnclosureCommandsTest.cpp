// The item list's row commands and the library commands in the real main
// window, on a podcast feed served from 127.0.0.1: downloads land in the
// library, the playlist goes to the desktop's opener (a recording one here),
// deleting an item takes only what no other item needs, and a stalled
// download is cancelled with its partial file.
#include "SubscriptionFrameFixture.h"
#include "common/DesktopShell.h"
#include "downloads/DownloadManager.h"
#include "feeds/LibraryFiles.h"
#include "mainwindow/HtmlCtrlPolicy.h"
#include "mainwindow/ItemKind.h"
#include "mainwindow/ItemPage.h"
#include "mainwindow/KestrovaView.h"
#include "support/HttpMessage.h"

#include <sys/stat.h>
#include <wx/settings.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

using namespace subscription;
using namespace subscriptiontest;

namespace
{
constexpr int kPlayPodcasts = 32812;
constexpr int kLibraryFolder = 160;
constexpr int kMyMusic = 161;
constexpr int kCannotOpen = 3094;

std::string Episode()
{
    std::string bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += static_cast<char>('a' + i % 26);
    return bytes;
}

class EnclosureCommands : public SubscriptionFrameTest
{
protected:
    EnclosureCommands()
    {
        const std::string root = site.server.url("");
        auto item = [&](const std::string& name, const std::string& media)
        {
            return "<item><title>" + name + "</title><link>" + root + "/story/" + name +
                   "</link><description>The " + name + " story</description><enclosure url=\"" + root +
                   media + "\" length=\"3000\" type=\"audio/mpeg\"/></item>\n";
        };
        // Two episodes with one file name and the same bytes: the library
        // keeps one file, which both items name.
        site.server.serveContent("/podcast.xml",
                                 "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Podcast "
                                 "Show</title><link>" +
                                     root + "/</link><description>d</description>\n" +
                                     item("Alpha", "/one/episode.mp3") + item("Bravo", "/two/episode.mp3") +
                                     item("Stalled", "/slow/stalled.mp3") + "</channel></rss>\n",
                                 "application/rss+xml");
        for (const char* story : {"/story/Alpha", "/story/Bravo", "/story/Stalled"})
            site.server.serveContent(story, "<html><body>story</body></html>", "text/html");
        site.server.serveContent("/one/episode.mp3", Episode(), "audio/mpeg");
        site.server.serveContent("/two/episode.mp3", Episode(), "audio/mpeg");
        // A few bytes, then nothing until the server stops.
        testsupport::HttpResponse slow;
        slow.body = Episode();
        slow.dripBytes = 500;
        slow.dripMs = 600000;
        slow.header("Content-Type", "audio/mpeg");
        site.server.serve("/slow/stalled.mp3", slow);
    }

    CMainFrame& Subscribed()
    {
        CMainFrame& frame = Start();
        const uString url = site.Url("/podcast.xml");
        EXPECT_TRUE(frame.AddSubscription(Find("First", kList), url, uString(), false, false));
        feed = frame.FindTreeItem(url, tree->GetFirstTopLevelItem(), CMainFrame::kFindByValue, kFeed);
        tree->SelectItem(feed);
        guitest::RunEventsFor(50);
        return frame;
    }
    CKestrovaView* List() { return m_frame->GetItemListView(); }
    int Row(const std::string& title)
    {
        for (int row = 0; row < List()->GetRowCount(); ++row)
            if (List()->GetRowText(row, CKestrovaView::kTitle).c_str() == title)
                return row;
        return -1;
    }
    // Right-clicks the row, closes its menu and gives the list the command,
    // as choosing the entry does.
    void RowCommand(const std::string& title, int command)
    {
        const int row = Row(title);
        ASSERT_GE(row, 0) << title;
        wxRect rect;
        List()->GetItemRect(row, rect);
        wxTimer escape;
        escape.Bind(wxEVT_TIMER, [](wxTimerEvent&) { wxUIActionSimulator().Char(WXK_ESCAPE); });
        escape.Start(300);
        guitest::RunEventsFor(wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC) + 100);
        wxUIActionSimulator mouse;
        mouse.MouseMove(List()->ClientToScreen(wxPoint(rect.x + 80, rect.y + rect.height / 2)));
        guitest::RunEventsFor(30);
        mouse.MouseClick(wxMOUSE_BTN_RIGHT);
        guitest::RunEventsFor(200);
        escape.Stop();
        ASSERT_EQ(List()->GetRightClickedRow(), row);
        wxCommandEvent event(wxEVT_MENU, command);
        List()->GetEventHandler()->ProcessEvent(event);
    }
    std::string Music(const std::string& name) const
    {
        return CPreference::GetInstance()->GetMusicDir().getPath().c_str() + std::string("/Podcast Show/") +
               name;
    }
    std::string LocalFile(const char* item)
    {
        CFeedStore store;
        uString file;
        store.GetEnclosureFile(uString("default.mdb"), uString((site.server.url("/story/") + item).c_str()),
                               file);
        return file.c_str();
    }
    CDownloadManager& Manager() { return *m_frame->GetDownloadManager(); }
    // The command given with the desktop's own opener, found in the folder
    // on PATH (a stand-in that fails, or none): the box that names the target.
    std::string SaidAfter(int command, const std::string& pathFolder)
    {
        testsupport::ScopedEnv path("PATH", pathFolder);
        ui::CScopedShell desktop(std::make_shared<CDesktopShell>());
        m_prompt->shown.clear();
        Command(command);
        guitest::RunEventsUntil([&] { return !m_prompt->shown.empty(); }, 30000);
        return m_prompt->shown.empty() || m_prompt->shown[0].stringId != kCannotOpen
                   ? std::string()
                   : m_prompt->shown[0].text;
    }

    Site site{"Unused", {40, 160, 60, 255}, 1};
    std::shared_ptr<CRecordingShell> shell = std::make_shared<CRecordingShell>();
    ui::CScopedShell installed{shell};
    wxTreeItemId feed;
};
} // namespace

TEST_F(EnclosureCommands, DownloadNowFilesTheEpisodeAndPlayHandsThePlaylistToTheOpener)
{
    Subscribed();
    ASSERT_EQ(List()->GetRowCount(), 3);
    ASSERT_EQ(List()->GetRow(Row("Alpha"))->image, itemkind::kImageAudio);

    // Later, twice: one queue entry, nothing fetched yet.
    RowCommand("Alpha", CKestrovaView::kDownloadLater);
    RowCommand("Alpha", CKestrovaView::kDownloadLater);
    ASSERT_EQ(Manager().GetItems().size(), 1u);
    EXPECT_EQ(Manager().GetItems()[0].status, CTransferItem::kNew);
    EXPECT_TRUE(site.server.requestsFor("/one/episode.mp3").empty());

    RowCommand("Alpha", CKestrovaView::kDownloadNow);
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&] { return LocalFile("Alpha") == "My Music/Podcast Show/episode.mp3"; }, 30000));
    EXPECT_EQ(testsupport::ReadFileBytes(Music("episode.mp3")), Episode());
    EXPECT_EQ(Manager().GetItems().size(), 1u);

    // The row now shows the downloaded file instead of the remote address.
    List()->SelectRow(Row("Alpha"));
    m_frame->SendMessage(WM_APP_SHOWSELECTEDITEM);
    EXPECT_FALSE(guitest::WaitForPage(*m_frame->GetBrowser(),
                                      htmlctrl::PageFileUrl(uString(Music("episode.mp3").c_str())).c_str())
                     .empty());

    // Downloaded before: Download Now shows its folder and fetches nothing.
    const std::size_t fetches = site.server.requestsFor("/one/episode.mp3").size();
    shell->Clear();
    RowCommand("Alpha", CKestrovaView::kDownloadNow);
    auto requests = shell->GetRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].verb, CRecordingShell::Request::kOpen);
    std::string folder = requests[0].target.c_str();
    EXPECT_EQ(folder.substr(0, folder.find_last_not_of('/') + 1), Music("").substr(0, Music("").size() - 1));
    EXPECT_EQ(site.server.requestsFor("/one/episode.mp3").size(), fetches);

    // Play: the playlist holds the file and goes to the opener.
    shell->Clear();
    Command(kPlayPodcasts);
    const std::string playlist =
        CPreference::GetInstance()->GetLibraryDir().getPath().c_str() + std::string("/Kestrova.m3u");
    requests = shell->GetRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(std::string(requests[0].target.c_str()), playlist);
    EXPECT_EQ(testsupport::ReadFileBytes(playlist), "#EXTM3U\r\n" + Music("episode.mp3") + "\r\n");
    EXPECT_TRUE(m_messages->texts.empty());

    // The desktop has no program for the playlist: said so.
    testsupport::TempDir bin;
    bin.write("xdg-open", "#!/bin/sh\nexit 3\n");
    ASSERT_EQ(::chmod(bin.file("xdg-open").c_str(), 0755), 0);
    EXPECT_EQ(SaidAfter(kPlayPodcasts, bin.path()), playlist + " could not be opened.");
}

TEST_F(EnclosureCommands, DeleteThisItemHidesTheRowAndKeepsMediaAnotherItemStillNames)
{
    Subscribed();
    RowCommand("Alpha", CKestrovaView::kDownloadNow);
    RowCommand("Bravo", CKestrovaView::kDownloadNow);
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&] { return !LocalFile("Alpha").empty() && !LocalFile("Bravo").empty(); }, 30000));
    ASSERT_EQ(LocalFile("Alpha"), LocalFile("Bravo")) << "one file stands for both downloads";

    RowCommand("Alpha", CKestrovaView::kDeleteItem);
    EXPECT_EQ(Row("Alpha"), -1);
    EXPECT_EQ(List()->GetRowCount(), 2);
    EXPECT_EQ(testsupport::ReadFileBytes(Music("episode.mp3")), Episode()) << "Bravo still names it";
    EXPECT_EQ(LocalFile("Bravo"), "My Music/Podcast Show/episode.mp3");

    // Gone for good: showing the feed again, or refreshing it, lists the others only.
    m_frame->SendMessage(WM_APP_REFRESHFEED);
    EXPECT_EQ(Row("Alpha"), -1);
    EXPECT_NE(Row("Bravo"), -1);
    EXPECT_NE(Row("Stalled"), -1);

    // The last item that names the file takes it along.
    RowCommand("Bravo", CKestrovaView::kDeleteItem);
    EXPECT_FALSE(testsupport::FileExists(Music("episode.mp3")));
    EXPECT_EQ(List()->GetRowCount(), 1);
}

TEST_F(EnclosureCommands, DeletingAStalledDownloadCancelsItAndRemovesItsPartialFile)
{
    Subscribed();
    RowCommand("Stalled", CKestrovaView::kDownloadNow);
    uFile partial;
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            for (const CTransferItem& record : Manager().GetItems())
                if (record.localfile.isFile() && record.localfile.getSize() >= 500)
                    partial = record.localfile;
            return !partial.getPath().isEmpty();
        },
        30000));
    ASSERT_TRUE(Manager().HasRunningTask(Manager().GetItems()[0]));

    RowCommand("Stalled", CKestrovaView::kDeleteItem);
    EXPECT_EQ(Row("Stalled"), -1);
    EXPECT_TRUE(Manager().GetItems().empty()) << "a cancelled entry would be fetched again";
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return !partial.exists(); }, 30000))
        << partial.getPath().c_str();
    // Download Now later finds nothing of it to start.
    Manager().WaitForTasks();
    EXPECT_FALSE(partial.exists());
}

TEST_F(EnclosureCommands, ArchiveKeepsTheItemAndTheLibraryFoldersOpenInTheFileManager)
{
    Subscribed();
    RowCommand("Bravo", CKestrovaView::kArchiveItem);
    EXPECT_EQ(List()->GetRow(Row("Bravo"))->image, itemkind::kImageAudioKept);
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            return testsupport::FileExists(
                CPreference::GetInstance()->GetArchiveDir().getPath().c_str() +
                std::string("/Podcast Show/") +
                feeds::Md5Hex(uString((site.server.url("/story/Bravo")).c_str())).c_str() + ".html");
        },
        30000));
    // Archiving a kept item saves its page again.
    const std::size_t fetched = site.server.requestsFor("/story/Bravo").size();
    RowCommand("Bravo", CKestrovaView::kArchiveItem);
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&] { return site.server.requestsFor("/story/Bravo").size() > fetched; }, 30000));
    EXPECT_EQ(List()->GetRow(Row("Bravo"))->image, itemkind::kImageAudioKept);

    // My Music missing: made, then shown.
    const std::string music =
        CPreference::GetInstance()->GetLibraryDir().getPath().c_str() + std::string("/My Music");
    std::filesystem::remove_all(music);
    shell->Clear();
    Command(kMyMusic);
    EXPECT_TRUE(std::filesystem::is_directory(music));
    auto requests = shell->GetRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].verb, CRecordingShell::Request::kExplore);
    EXPECT_EQ(std::string(requests[0].target.c_str()), music);

    // An opener that fails, and none at all: the folder is named in a box.
    testsupport::TempDir bin;
    bin.write("fails/xdg-open", "#!/bin/sh\nexit 4\n");
    ASSERT_EQ(::chmod(bin.file("fails/xdg-open").c_str(), 0755), 0);
    EXPECT_EQ(SaidAfter(kMyMusic, bin.file("fails")), music + " could not be opened.");
    const std::string library = CPreference::GetInstance()->GetLibraryDir().getPath().c_str();
    EXPECT_EQ(SaidAfter(kLibraryFolder, bin.file("none")), library + " could not be opened.");
}
