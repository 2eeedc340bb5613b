#include "CommandIds.h"
#include "FakeTrayHost.h"
#include "FrameFixture.h"
#include "IcoFixture.h"
#include "ModalDriver.h"
#include "common/MenuBuilder.h"
#include "common/Messages.h"
#include "downloads/DownloadManager.h"
#include "feeds/RefreshHost.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/OpenDialogs.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/WebBrowserFrame.h"
#include "mainwindow/XStatusBar.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <wx/listctrl.h>
#include <wx/splitter.h>
#include <wx/toolbar.h>
#include <wx/treectrl.h>
#include <wx/webview.h>

namespace
{
std::string StatusText(CMainFrame& frame)
{
    return frame.GetStatusBarEx()->GetStatusText(0).utf8_string();
}

// Where a pane's right (or bottom) edge should be for a 25 % split.
void ExpectQuarterSplit(CMainFrame& frame)
{
    wxSize client = frame.GetClientSize();
    EXPECT_EQ(frame.GetOuterSplitter()->GetSashPosition(), static_cast<int>(0.25 * client.GetWidth()));
    EXPECT_EQ(frame.GetInnerSplitter()->GetSashPosition(), static_cast<int>(0.25 * client.GetHeight()));
    EXPECT_NEAR(frame.GetTreeView()->GetSize().GetWidth(), 0.25 * client.GetWidth(), 2.0);
}

// The order in which files of two folders were completed under their final
// names (written in place or renamed into place).
class FileEvents
{
public:
    FileEvents() { m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC); }
    ~FileEvents() { close(m_fd); }
    void Watch(const std::string& folder, const std::string& label)
    {
        int watch = inotify_add_watch(m_fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
        ASSERT_GE(watch, 0) << folder;
        m_labels.push_back({watch, label});
    }
    std::vector<std::string> Read()
    {
        std::vector<std::string> names;
        alignas(inotify_event) char buffer[8192];
        for (;;)
        {
            ssize_t length = read(m_fd, buffer, sizeof(buffer));
            if (length <= 0)
                return names;
            for (char* at = buffer; at < buffer + length;)
            {
                auto* event = reinterpret_cast<inotify_event*>(at);
                for (auto& [watch, label] : m_labels)
                    if (watch == event->wd && event->len > 0)
                        names.push_back(label + "/" + event->name);
                at += sizeof(inotify_event) + event->len;
            }
        }
    }

private:
    int m_fd = -1;
    std::vector<std::pair<int, std::string>> m_labels;
};

long IndexOf(const std::vector<std::string>& names, const std::string& name)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name)
            return static_cast<long>(i);
    return -1;
}
} // namespace

TEST_F(FrameFixture, ThreePanesKeepTheTreeAtAQuarterOfTheWidthAcrossResizes)
{
    CMainFrame& frame = *ShowFrame(wxSize(1000, 700));
    EXPECT_TRUE(frame.GetTreeView()->IsShownOnScreen());
    EXPECT_TRUE(frame.GetItemListView()->IsShownOnScreen());
    EXPECT_TRUE(frame.GetBrowserFrame()->IsShownOnScreen());
    ASSERT_NE(frame.GetBrowser(), nullptr);
    EXPECT_EQ(frame.GetBrowser()->GetCurrentURL(), "about:blank");
    ExpectQuarterSplit(frame);

    // A sash the user dragged goes back to a quarter on the next resize.
    frame.GetOuterSplitter()->SetSashPosition(600);
    frame.GetInnerSplitter()->SetSashPosition(50);
    frame.SetSize(wxSize(1200, 900));
    guitest::RunEventsUntil([&] { return frame.GetSize() == wxSize(1200, 900); });
    guitest::RunEventsFor(200);
    ExpectQuarterSplit(frame);

    // Both tool bars share the top row, the search bar right of the main one.
    wxRect main = frame.GetMainToolBar()->GetRect();
    wxRect search = frame.GetSearchToolBar()->GetRect();
    EXPECT_EQ(main.y, search.y);
    EXPECT_GE(search.x, main.GetRight());
    EXPECT_LE(main.GetBottom(), frame.GetOuterSplitter()->GetPosition().y);
}

TEST_F(FrameFixture, RefreshRatesAreRepairedAndBoundedAtCreationAndOnNewSettings)
{
    auto setRate = [](int rate)
    {
        CPreference::GeneralSection general = CPreference::GetInstance()->GetGeneralSection();
        general.nRefreshRate = rate;
        CPreference::GetInstance()->SetGeneralSection(general);
    };
    setRate(0);
    Configure(
        [](CPreference& preference)
        {
            CPreference::DownloadSection download = preference.GetDownloadSection();
            download.nMaxScanningThreads = 9;
            preference.SetDownloadSection(download);
        });
    CMainFrame& frame = *MakeFrame();
    const wxTimer& timer = frame.GetTimer(CMainFrame::kRefreshTimer);
    EXPECT_TRUE(timer.IsRunning());
    EXPECT_EQ(timer.GetInterval(), 300000);
    EXPECT_EQ(CPreference::GetInstance()->GetGeneralSection().nRefreshRate, 5);
    EXPECT_EQ(frame.GetRefreshHost()->GetUpdateSemaphore()->getInitialCount(), 2);
    // No engine loaded: the Tools menu has no BitTorrent Manager.
    EXPECT_EQ(frame.GetMenuBar()->GetMenu(3)->FindItem(ui::MenuCommandId(243)), nullptr);

    const struct
    {
        int rate;
        int interval;
        int stored;
    } cases[] = {{-3, 300000, 5}, {2000000, 35791 * 60000, 2000000}, {30, 30 * 60000, 30}};
    for (const auto& c : cases)
    {
        setRate(c.rate);
        frame.SendMessage(WM_APP_SETTINGSCHANGED);
        EXPECT_EQ(timer.GetInterval(), c.interval) << c.rate;
        EXPECT_EQ(CPreference::GetInstance()->GetGeneralSection().nRefreshRate, c.stored) << c.rate;
        EXPECT_TRUE(timer.IsRunning());
    }
}

TEST_F(FrameFixture, TheDownloadStarterReArmsTimerTwoThroughTheUserInterfaceThread)
{
    auto setInterval = [](int minutes)
    {
        CPreference::DownloadSection download = CPreference::GetInstance()->GetDownloadSection();
        download.bIntervalScheduler = true;
        download.nSchedulerInterval = minutes;
        download.nMinFreeSpace = 0;
        CPreference::GetInstance()->SetDownloadSection(download);
    };
    setInterval(7);
    CMainFrame& frame = *MakeFrame();
    guitest::RunEventsUntil([&] { return !frame.GetDownloadManager()->IsBusy(); });
    guitest::RunEventsFor(100);
    EXPECT_EQ(frame.GetTimer(CMainFrame::kSchedulerTimer).GetInterval(), 7 * 60000);

    // Starting a timer off the user-interface thread would fail a wx assertion.
    setInterval(9);
    frame.DownloadNow();
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&] { return frame.GetTimer(CMainFrame::kSchedulerTimer).GetInterval() == 9 * 60000; }));
    EXPECT_TRUE(frame.GetTimer(CMainFrame::kSchedulerTimer).IsRunning());
}

TEST_F(FrameFixture, WorkerTextsReachTheStatusBarAndTheIndicatorFollowsItsOwnMessages)
{
    CMainFrame& frame = *ShowFrame();
    EXPECT_EQ(StatusText(frame), "Ready");

    // Posted from another thread, with the sender's string gone at once.
    std::thread worker(
        [handle = frame.GetWindowHandle()]
        {
            uString text("Checking Feed http://127.0.0.1/a");
            EXPECT_TRUE(PostMessage(handle, WM_APP_STATUSTEXT, 0, text));
            text = "changed after posting";
        });
    worker.join();
    guitest::RunEventsUntil([&] { return StatusText(frame) != "Ready"; });
    EXPECT_EQ(StatusText(frame), "Checking Feed http://127.0.0.1/a");
    EXPECT_EQ(frame.SendMessage(WM_APP_STATUSTEXT, 0, std::intptr_t{0}), 0) << "no text: nothing";
    EXPECT_EQ(StatusText(frame), "Checking Feed http://127.0.0.1/a");

    frame.SendMessage(WM_APP_SETSTATUS, 0, uString("http://127.0.0.1/page"));
    EXPECT_EQ(StatusText(frame), "http://127.0.0.1/page");
    frame.SendMessage(WM_APP_UPDATEDONE);
    EXPECT_EQ(StatusText(frame), "Ready");
    frame.SendMessage(WM_APP_SETSTATUS, 0, uString("http://127.0.0.1/page"));
    EXPECT_EQ(StatusText(frame), "Ready") << "a repeated status text is not shown again";

    frame.SendMessage(WM_APP_SETSTATUS, 3);
    EXPECT_EQ(frame.GetStatusBarEx()->GetIndicator(), XStatusBar::kFeedsFound);
    frame.SendMessage(WM_APP_SETSTATUS, static_cast<std::uintptr_t>(-1));
    EXPECT_EQ(frame.GetStatusBarEx()->GetIndicator(), XStatusBar::kNoFeeds);
    frame.SendMessage(WM_APP_SETSTATUS, 0, uString("another page"));
    EXPECT_EQ(frame.GetStatusBarEx()->GetIndicator(), XStatusBar::kNoFeeds) << "texts leave the indicator";
    // A link's address ends, or another covers it: a text shown meanwhile
    // stays, and comes back from under the next address.
    frame.SendMessage(WM_APP_STATUSTEXT, 0, uString("Saved /home/me/pack.zip"));
    frame.SendMessage(WM_APP_SETSTATUS, 0, uString());
    EXPECT_EQ(StatusText(frame), "Saved /home/me/pack.zip");
    frame.SendMessage(WM_APP_SETSTATUS, 0, uString("http://127.0.0.1/other"));
    EXPECT_EQ(StatusText(frame), "http://127.0.0.1/other");
    frame.SendMessage(WM_APP_SETSTATUS, 0, uString());
    EXPECT_EQ(StatusText(frame), "Saved /home/me/pack.zip");
    frame.SendMessage(WM_APP_SETSTATUS, 0);
    EXPECT_EQ(frame.GetStatusBarEx()->GetIndicator(), XStatusBar::kIndicatorIdle);
}

TEST_F(FrameFixture, AnUpdatePassWorthOfPostedTextsEndsOnItsLastTextWithoutAPaintPerText)
{
    CMainFrame& frame = *ShowFrame();
    XStatusBar& bar = *frame.GetStatusBarEx();
    guitest::RunEventsFor(300);
    int paints = 0;
    wxString painted;
    bar.Bind(wxEVT_PAINT,
             [&](wxPaintEvent& event)
             {
                 ++paints;
                 painted = bar.GetStatusText(0);
                 event.Skip();
             });

    constexpr int kTexts = 10000;
    const std::string last = "Checking Feed http://127.0.0.1/feed/" + std::to_string(kTexts - 1);
    std::thread pass(
        [handle = frame.GetWindowHandle()]
        {
            for (int i = 0; i < kTexts; ++i)
                PostMessage(handle, WM_APP_STATUSTEXT, 0,
                            uString(("Checking Feed http://127.0.0.1/feed/" + std::to_string(i)).c_str()));
        });
    pass.join();
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return painted.utf8_string() == last; }));
    EXPECT_EQ(StatusText(frame), last);
    // The bar paints a few times a second however long the burst took; a
    // paint per text would be ten thousand.
    EXPECT_LT(paints, kTexts / 50);
}

TEST_F(FrameFixture, MinimisingWithoutANotificationAreaLeavesTheWindowReachable)
{
    CMainFrame& frame = *ShowFrame();
    ASSERT_FALSE(wxTaskBarIcon::IsAvailable()) << "the bare X server has no tray";
    frame.OnMinimised();
    EXPECT_TRUE(frame.IsShown());
    EXPECT_FALSE(frame.IsHiddenInTray());
    EXPECT_FALSE(frame.GetTrayIcon()->IsShown());
}

TEST_F(FrameFixture, MinimisingIntoTheTrayHidesTheWindowAndRestoringBringsItBack)
{
    FakeTrayHost tray;
    ASSERT_TRUE(tray.IsRunning());
    CMainFrame& frame = *ShowFrame();
    frame.SendMessage(WM_APP_STATUSTEXT, 0, uString("before"));

    frame.OnMinimised();
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            tray.Pump();
            return !frame.IsShown();
        }))
        << "hidden once the tray holds the icon";
    EXPECT_TRUE(frame.IsHiddenInTray());
    EXPECT_TRUE(frame.GetTrayIcon()->IsShown());
    EXPECT_TRUE(frame.GetRefreshHost()->IsHiddenInTray());
    frame.SendMessage(WM_APP_STATUSTEXT, 0, uString("while hidden"));
    EXPECT_EQ(StatusText(frame), "before") << "status texts wait while the window is hidden";

    // The tray's double-click and the notifier's click send this.
    frame.SendMessage(WM_APP_RESTOREWINDOW);
    EXPECT_TRUE(frame.IsShown());
    EXPECT_FALSE(frame.IsHiddenInTray());
    EXPECT_FALSE(frame.GetTrayIcon()->IsShown());
    EXPECT_FALSE(frame.GetRefreshHost()->IsHiddenInTray());
}

TEST_F(FrameFixture, ASiteIconIsAddedOnceAfterTheTwentyImagesOfTheStrip)
{
    CMainFrame& frame = *MakeFrame();
    EXPECT_EQ(frame.GetImageList()->GetImageCount(), CMainFrame::kTreeImageCount);

    icofixture::BitmapPlan plan;
    plan.bitCount = 24;
    plan.colour = [](int x, int) {
        return icofixture::Rgba{static_cast<std::uint8_t>(x * 16), 40, 200, 255};
    };
    icofixture::Bytes bytes = icofixture::IconFile({icofixture::BitmapEntry(plan)});
    std::string path = m_home.file("icons/0a1b.ico");
    {
        std::filesystem::create_directories(m_home.file("icons"));
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    EXPECT_TRUE(frame.AddIcon(path.c_str()));
    EXPECT_EQ(frame.GetIconIndex(path.c_str()), 20);
    EXPECT_FALSE(frame.AddIcon(path.c_str())) << "a mapped icon is not added again";
    EXPECT_EQ(frame.GetImageList()->GetImageCount(), 21);
    EXPECT_FALSE(frame.AddIcon(m_home.file("icons/missing.ico").c_str()));
    std::string broken = m_home.file("icons/broken.ico");
    std::ofstream(broken) << "not an icon";
    EXPECT_FALSE(frame.AddIcon(broken.c_str()));
    EXPECT_EQ(frame.GetImageList()->GetImageCount(), 21);
}

// The close writes the download queue, then the credentials, then the
// settings with the window's rectangle.
TEST_F(FrameFixture, CloseWritesTheDownloadQueueBeforeTheConfiguration)
{
    CMainFrame& frame = *ShowFrame();
    std::string dataDir = CPreference::GetInstance()->GetDataDir().getPath().c_str();
    std::string subscriptionDir = CPreference::GetInstance()->GetSubscriptionDir().getPath().c_str();
    uWindowHandle handle = frame.GetWindowHandle();
    FileEvents events;
    events.Watch(dataDir, "data");
    events.Watch(subscriptionDir, "subscription");
    frame.SetSize(wxRect(60, 50, 900, 640));
    guitest::RunEventsFor(200);

    CloseFrame();
    ASSERT_FALSE(m_frame) << "the frame was deleted";
    std::vector<std::string> written = events.Read();
    long queue = IndexOf(written, "subscription/download.xml");
    long credentials = IndexOf(written, "data/auth.xml");
    long configuration = IndexOf(written, "data/config.xml");
    ASSERT_GE(queue, 0);
    ASSERT_GE(configuration, 0);
    EXPECT_LT(queue, credentials);
    EXPECT_LT(credentials, configuration);
    EXPECT_FALSE(PostMessage(handle, WM_APP_STATUSTEXT, 0, uString("late"))) << "the handle is gone";

    // The rectangle the window had is what the next start finds.
    int left, top, width, height;
    CPreference::GetInstance()->GetWindowRect(left, top, width, height);
    EXPECT_EQ(width, 900);
    EXPECT_EQ(height, 640);

    // File > Exit while a question waits ends the question first (no later
    // step of it runs) and then closes the same way.
    CPreference::Release();
    ShowFrame()->SetSize(wxRect(60, 50, 800, 600));
    COpenDialogs openDialogs;
    wxDialog question(nullptr, wxID_ANY, "a question");
    bool stillAsked = false;
    auto exit = [&](wxDialog&)
    {
        wxCommandEvent command(wxEVT_MENU, ui::MenuCommandId(resources::cmd::kExit));
        m_frame->GetEventHandler()->ProcessEvent(command);
    };
    EXPECT_EQ(guitest::RunModal(question, {exit, [&](wxDialog&) { stillAsked = true; }}), wxID_CANCEL);
    EXPECT_FALSE(stillAsked) << "the Exit ended the question";
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_frame; }, 120000)) << "the frame closed";
    CPreference::GetInstance()->GetWindowRect(left, top, width, height);
    EXPECT_EQ(width, 800);
}
