#include "FrameFixture.h"
#include "ModalDriver.h"
#include "common/DesktopShell.h"
#include "common/MenuBuilder.h"
#include "dialogs/FeedDownloadCtrl.h"
#include "dialogs/XListCtrl.h"
#include "downloads/DownloadManager.h"
#include "feeds/ListDatabaseFixture.h"
#include "support/LocalHttpServer.h"

#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>
#include <wx/dcclient.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/uiaction.h>

namespace
{
constexpr std::size_t kBodySize = 200000;

// Holds a response halfway until opened (or the test ends).
class Gate
{
public:
    void Wait()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        ++m_arrived;
        m_changed.wait_for(lock, std::chrono::seconds(60), [&] { return m_open; });
    }
    void Open()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_open = true;
        m_changed.notify_all();
    }
    int Arrived()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_arrived;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false;
    int m_arrived = 0;
};

// The panel with its row menu recorded instead of shown: the enabled state
// of each command, and the command the "user" picks.
class MenuRecordingPanel : public CFeedDownloadCtrl
{
public:
    using CFeedDownloadCtrl::CFeedDownloadCtrl;
    std::map<int, bool> shown;
    int pick = 0;

protected:
    void ShowRowMenu(wxMenu& menu) override
    {
        shown.clear();
        for (int command : {240, 236, 239, 237, 207, 208})
            shown[command] = menu.IsEnabled(ui::MenuCommandId(command));
        if (pick != 0)
            Command(pick);
    }

public:
    void Command(int command)
    {
        wxCommandEvent event(wxEVT_MENU, ui::MenuCommandId(command));
        event.SetEventObject(this);
        ProcessWindowEvent(event);
    }
};

// A frame whose real download manager fetches enclosures of a real list
// database from a server on 127.0.0.1 that holds each body halfway.
class DownloadPanelTest : public FrameFixture
{
protected:
    void SetUp() override
    {
        Configure(
            [](CPreference& preference)
            {
                CPreference::DownloadSection download = preference.GetDownloadSection();
                download.nMinFreeSpace = 1; // test disks can be nearly full
                preference.SetDownloadSection(download);
            });
        m_subscriptionDir = CPreference::GetInstance()->GetSubscriptionDir().getPath().c_str();
        std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE, m_subscriptionDir + "/news.mdb");
        CFeedStore store(uString(m_subscriptionDir.c_str()));
        store.SetDatabase("news.mdb");
        liststore::InsertChannel(store, "http://site.test/feed", "News", 60, 2);
        for (const char* name : {"show", "talk", "song"})
        {
            const std::string path = std::string("/") + name + ".mp3";
            m_content[name] = std::string(kBodySize, name[0]);
            m_server.route(path,
                           [this, name](const testsupport::HttpRequest& request)
                           {
                               if (request.rangeStart())
                                   return testsupport::ContentResponse(request, m_content[name],
                                                                       "audio/mpeg");
                               testsupport::HttpResponse response =
                                   testsupport::ContentResponse(request, m_content[name], "audio/mpeg");
                               response.holdAfter = kBodySize / 2;
                               response.hold = [this, name] { m_gates[name].Wait(); };
                               return response;
                           });
        }
    }
    void TearDown() override
    {
        for (auto& [name, gate] : m_gates)
            gate.Open();
        if (m_panel)
            m_panel->Destroy();
        FrameFixture::TearDown();
        m_server.stop();
    }

    // Queues a New entry for an item of the list whose enclosure is name.mp3.
    CTransferItem Queue(const std::string& name)
    {
        const std::string item = "http://site.test/" + name;
        const std::string link = m_server.url("/" + name + ".mp3");
        CFeedStore store(uString(m_subscriptionDir.c_str()));
        store.SetDatabase("news.mdb");
        liststore::InsertItem(store, "http://site.test/feed", item.c_str(), name.c_str());
        liststore::InsertEnclosure(store, item.c_str(), link.c_str(), "audio/mpeg");
        CTransferItem record(CTransferItem::kTypePlain, CTransferItem::kMediaAudio, "News", "news.mdb",
                             "http://site.test/feed", item.c_str(), link.c_str());
        EXPECT_TRUE(Manager().AddItem(record));
        return record;
    }
    CDownloadManager& Manager() { return *m_frame->GetDownloadManager(); }
    CTransferItem Entry(const CTransferItem& record)
    {
        CTransferItem entry;
        EXPECT_TRUE(Manager().GetItemById(record.id, entry));
        return entry;
    }
    bool WaitFor(const std::function<bool()>& condition) { return guitest::RunEventsUntil(condition, 30000); }
    MenuRecordingPanel& OpenPanel()
    {
        m_panel = new MenuRecordingPanel(&Manager(), m_frame);
        m_panel->Show();
        guitest::RunEventsUntil([&] { return m_panel->IsShownOnScreen(); });
        guitest::RunEventsFor(200);
        return *m_panel;
    }
    void Tick()
    {
        wxTimerEvent tick(m_panel->GetTimer());
        m_panel->ProcessWindowEvent(tick);
        guitest::RunEventsFor(100);
    }
    CXListModel& Rows() { return m_panel->GetList()->GetModel(); }
    std::string Progress(int row)
    {
        return Rows().GetItemText(row, CDownloadPanelModel::kProgressColumn).c_str();
    }
    // Right-clicks a row (or below the rows) as the user would.
    void RightClick(int row)
    {
        CXListCtrl& list = *m_panel->GetList();
        wxRect cell = list.GetSubItemRect(std::max(row, 0), 1);
        if (row < 0)
            cell.y = list.GetRowHeight() * Rows().GetItemCount() + 4;
        guitest::RunEventsFor(wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC) + 100);
        wxUIActionSimulator mouse;
        // From outside the list: a pointer left on the very point would not move.
        mouse.MouseMove(wxPoint(0, 0));
        guitest::RunEventsFor(30);
        mouse.MouseMove(list.GetBody()->ClientToScreen(cell.GetPosition() + wxSize(10, 4)));
        guitest::RunEventsFor(30);
        mouse.MouseClick(wxMOUSE_BTN_RIGHT);
        guitest::RunEventsFor(100);
    }

    // Rests the pointer on a row of the list, as the user would.
    void Hover(int row)
    {
        CXListCtrl& list = *m_panel->GetList();
        wxUIActionSimulator mouse;
        mouse.MouseMove(
            list.GetBody()->ClientToScreen(list.GetSubItemRect(row, 1).GetPosition() + wxSize(10, 4)));
        guitest::RunEventsFor(30);
    }

    testsupport::LocalHttpServer m_server;
    std::map<std::string, std::string> m_content;
    std::map<std::string, Gate> m_gates;
    std::string m_subscriptionDir;
    MenuRecordingPanel* m_panel = nullptr;
    std::shared_ptr<CRecordingShell> m_shell = std::make_shared<CRecordingShell>();
    ui::CScopedShell m_shellInstalled{m_shell};
};
} // namespace

TEST_F(DownloadPanelTest, FrameCommandOpensThePanelOverTheQueue)
{
    ShowFrame();
    Queue("show");
    Queue("talk");
    std::vector<std::string> files;
    bool torrentButtonShown = true;
    guitest::WhenDialogShown<CFeedDownloadCtrl>(
        [&](CFeedDownloadCtrl& dialog)
        {
            CXListModel& rows = dialog.GetList()->GetModel();
            for (int row = 0; row < rows.GetItemCount(); ++row)
                files.push_back(std::string(rows.GetItemText(row, 1).c_str()) + " " +
                                rows.GetItemText(row, 3).c_str());
            torrentButtonShown = dialog.FindWindow(CFeedDownloadCtrl::kBitTorrentButton)->IsShown();
            EXPECT_EQ(dialog.GetTitle(), "Kestrova Download Manager");
            guitest::Press(dialog, wxID_OK);
        });
    wxCommandEvent command(wxEVT_MENU, ui::MenuCommandId(159));
    m_frame->ProcessWindowEvent(command);
    EXPECT_EQ(files, (std::vector<std::string>{"show.mp3 New", "talk.mp3 New"}));
    EXPECT_FALSE(torrentButtonShown); // no engine
}

// Start, a bar that follows the transfer, stop, start again to completion,
// launch and locate the file, cancel another, and Delete that keeps the
// active row.
TEST_F(DownloadPanelTest, RowsFollowTransfersAndTheMenuActsOnThem)
{
    ShowFrame();
    CTransferItem show = Queue("show");
    MenuRecordingPanel& panel = OpenPanel();
    ASSERT_EQ(Rows().GetItemCount(), 1);

    // A New row: only starting and deleting are offered.
    panel.pick = 239;
    RightClick(0);
    EXPECT_EQ(Rows().GetSelection(), 0);
    EXPECT_EQ(panel.shown,
              (std::map<int, bool>{
                  {240, false}, {236, false}, {239, true}, {237, false}, {207, false}, {208, true}}));
    ASSERT_TRUE(
        WaitFor([&] { return m_gates["show"].Arrived() == 1 && Entry(show).GetLocalFileSize() == 100000; }));
    // The first tick after New makes the bar at 0, the next one fills it.
    Tick();
    const XListCellData* cell = Rows().GetCell(0, CDownloadPanelModel::kProgressColumn);
    ASSERT_TRUE(cell->showProgress);
    EXPECT_EQ(cell->percent, 0);
    Tick();
    EXPECT_EQ(cell->percent, 50);

    // On the screen the bar ends where 50 % says.
    CXListCtrl& list = *panel.GetList();
    wxRect rect = list.GetSubItemRect(0, CDownloadPanelModel::kProgressColumn);
    const XProgressLayout layout =
        LayOutProgress({rect.x, rect.y, rect.GetRight() + 1, rect.GetBottom() + 1}, 50);
    panel.FindWindow(wxID_OK)->SetFocus(); // the row in its own colours, its percent readable
    const wxImage screen = guitest::TakeScreenshot("issue24-download-manager");
    ASSERT_TRUE(screen.IsOk());
    auto pixel = [&](int x)
    {
        const wxPoint at = list.GetBody()->ClientToScreen(wxPoint(x, layout.bar.top + 1));
        return wxColour(screen.GetRed(at.x, at.y), screen.GetGreen(at.x, at.y), screen.GetBlue(at.x, at.y));
    };
    const wxColour highlight = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    EXPECT_EQ(pixel(layout.bar.left + 1), highlight);
    EXPECT_EQ(pixel(layout.bar.right - 1), highlight);
    EXPECT_EQ(pixel(layout.bar.right + 1), wxColour(224, 224, 224));

    // Downloading: stop, not start nor delete.
    panel.pick = 237;
    RightClick(0);
    EXPECT_EQ(panel.shown,
              (std::map<int, bool>{
                  {240, false}, {236, false}, {239, false}, {237, true}, {207, true}, {208, false}}));
    ASSERT_TRUE(WaitFor([&] { return !Manager().HasRunningTask(show); }));
    EXPECT_EQ(Entry(show).status, CTransferItem::kStopped);
    Tick();
    EXPECT_FALSE(cell->showProgress);
    EXPECT_EQ(Progress(0), "Stopped");

    // Started again, it resumes to the end.
    m_gates["show"].Open();
    panel.pick = 239;
    RightClick(0);
    ASSERT_TRUE(WaitFor([&] { return Entry(show).status == CTransferItem::kComplete; }));
    Tick();
    EXPECT_EQ(Progress(0), "Complete");
    panel.pick = 236;
    RightClick(0);
    EXPECT_EQ(panel.shown,
              (std::map<int, bool>{
                  {240, true}, {236, true}, {239, false}, {237, false}, {207, false}, {208, true}}));
    panel.Command(240);
    const std::string library = CPreference::GetInstance()->GetLibraryDir().getPath().c_str();
    const std::vector<CRecordingShell::Request> opened = m_shell->GetRequests();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].verb, CRecordingShell::Request::kOpen);
    EXPECT_EQ(std::string(opened[0].target.c_str()), library + "/My Music/News/show.mp3");
    EXPECT_EQ(testsupport::ReadFileBytes(opened[0].target.c_str()), m_content["show"]);
    EXPECT_EQ(opened[1].verb, CRecordingShell::Request::kExplore);
    EXPECT_EQ(std::string(opened[1].target.c_str()), library + "/My Music/News/");

    // Two more, taken in by Refresh: one cancelled halfway, one left running.
    CTransferItem talk = Queue("talk");
    CTransferItem song = Queue("song");
    guitest::Press(panel, CFeedDownloadCtrl::kRefreshButton);
    ASSERT_EQ(Rows().GetItemCount(), 3);
    Rows().SetSelection(1);
    panel.Command(239);
    Rows().SetSelection(2);
    panel.Command(239);
    ASSERT_TRUE(WaitFor([&] { return m_gates["talk"].Arrived() == 1 && m_gates["song"].Arrived() == 1; }));
    ASSERT_TRUE(WaitFor([&] { return Entry(talk).GetLocalFileSize() > 0; }));
    const std::string partial = Entry(talk).localfile.getPath().c_str();
    Rows().SetSelection(1);
    panel.Command(207);
    ASSERT_TRUE(WaitFor([&] { return !Manager().HasRunningTask(talk); }));
    EXPECT_EQ(Entry(talk).status, CTransferItem::kCancelled);
    EXPECT_FALSE(std::filesystem::exists(partial));
    Tick();
    EXPECT_EQ(Progress(1), "Cancelled");

    // Below the rows: no menu.
    panel.shown.clear();
    RightClick(-1);
    EXPECT_TRUE(panel.shown.empty());

    // Every row checked through the header; Delete keeps the running one.
    wxHeaderCtrlEvent click(wxEVT_HEADER_CLICK, list.GetHeader()->GetId());
    click.SetColumn(0);
    list.GetHeader()->GetEventHandler()->ProcessEvent(click);
    ASSERT_EQ(Rows().CountCheckedItems(0), 3);
    guitest::Press(panel, CFeedDownloadCtrl::kDeleteButton);
    ASSERT_EQ(Rows().GetItemCount(), 1);
    EXPECT_EQ(std::string(Rows().GetItemText(0, 1).c_str()), "song.mp3");
    EXPECT_TRUE(Manager().Contains(song));
    EXPECT_FALSE(Manager().Contains(show));
    EXPECT_FALSE(Manager().Contains(talk));
}

// The panel's header is painted by the list's own code (blue captions and
// etched dividers on the screen), and a file name cut by its column shows
// whole in the cell's tool tip.
TEST_F(DownloadPanelTest, HeaderIsOursAndACutFileNameShowsWholeInItsTip)
{
    ShowFrame();
    const std::string name = "the-lighthouse-keepers-weekly-conversation-episode-214-extended-cut";
    Queue(name);
    Queue("talk");
    MenuRecordingPanel& panel = OpenPanel();
    CXListCtrl& list = *panel.GetList();
    CXHeaderCtrl& header = *list.GetHeader();
    ASSERT_EQ(Rows().GetItemCount(), 2);
    panel.FindWindow(wxID_OK)->SetFocus();

    const wxImage screen = guitest::TakeScreenshot("issue35-download-panel");
    ASSERT_TRUE(screen.IsOk());
    const XHeaderLayout layout = header.GetLayout();
    ASSERT_EQ(layout.positions.size(), 5u);
    const XListRect file = layout.positions[CDownloadPanelModel::kFileColumn].rect;
    const int middle = header.GetClientSize().y / 2;
    auto pixel = [&](int x, int y)
    {
        const wxPoint at = header.ClientToScreen(wxPoint(x, y));
        return wxColour(screen.GetRed(at.x, at.y), screen.GetGreen(at.x, at.y), screen.GetBlue(at.x, at.y));
    };
    int blue = 0;
    for (int x = file.left; x < file.right; ++x)
        for (int y = 0; y < header.GetClientSize().y; ++y)
        {
            const wxColour colour = pixel(x, y);
            blue += colour.Blue() > 180 && colour.Red() < 100 && colour.Green() < 100 ? 1 : 0;
        }
    EXPECT_GT(blue, 10);
    EXPECT_EQ(pixel(file.right - 1, middle), wxSystemSettings::GetColour(wxSYS_COLOUR_3DSHADOW));
    EXPECT_EQ(pixel(file.right, middle), wxSystemSettings::GetColour(wxSYS_COLOUR_3DHIGHLIGHT));

    // The tip of the cut name, shown where the mouse rests.
    const std::string shown = Rows().GetItemText(0, CDownloadPanelModel::kFileColumn).c_str();
    ASSERT_EQ(shown, name + ".mp3");
    wxWindow* body = list.GetBody();
    const wxRect cell = list.GetSubItemRect(0, CDownloadPanelModel::kFileColumn);
    {
        wxClientDC dc(body);
        dc.SetFont(list.GetFont());
        ASSERT_GT(dc.GetTextExtent(wxString::FromUTF8(shown)).x, cell.width);
    }
    wxUIActionSimulator mouse;
    mouse.MouseMove(
        body->ClientToScreen(cell.GetPosition() + wxSize(cell.width / 2, list.GetRowHeight() / 2)));
    ASSERT_TRUE(WaitFor([&] { return body->GetToolTipText() == wxString::FromUTF8(shown); }))
        << body->GetToolTipText();
    // Long enough for the toolkit to show it.
    guitest::RunEventsFor(2000);
    guitest::TakeScreenshot("issue35-download-panel-tooltip");
}

// Track selection: resting the pointer on a row selects it, without a click.
TEST_F(DownloadPanelTest, RestingThePointerOnARowSelectsIt)
{
    ShowFrame();
    Queue("show");
    Queue("talk");
    OpenPanel();
    ASSERT_EQ(Rows().GetItemCount(), 2);
    for (int row : {1, 0})
    {
        Hover(row);
        EXPECT_TRUE(guitest::RunEventsUntil([&] { return Rows().GetSelection() == row; }, 5000)) << row;
    }
}
