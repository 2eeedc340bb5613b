// The BitTorrent manager panel over the frame's real download manager and
// engine plug-in, downloading from a second engine on 127.0.0.1.
#include "EngineFrameFixture.h"
#include "LoopbackTracker.h"
#include "ModalDriver.h"
#include "ScriptedPrompt.h"
#include "TorrentFiles.h"
#include "common/DesktopShell.h"
#include "common/MenuBuilder.h"
#include "dialogs/TorrentCtrl.h"
#include "dialogs/XListCtrl.h"
#include "downloads/DownloadManager.h"
#include "downloads/TorrentEngineLoader.h"
#include "foundation/uProgramFolder.h"
#include "mainwindow/FileChooser.h"

#include <filesystem>
#include <fstream>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/notebook.h>
#include <wx/uiaction.h>

namespace
{
namespace fs = std::filesystem;
constexpr int kPieceLength = 16384;
constexpr std::uint64_t kFullPieces = 10;
constexpr std::uint64_t kFileSize = kFullPieces * kPieceLength + 1000;

// Answers the file dialog with a prepared path.
class ScriptedChooser : public ui::CFileChooser
{
public:
    uString Choose(wxWindow*, const ui::FileRequest&) override { return answer; }
    uString answer;
};

class TorrentPanelTest : public EngineFrameFixture
{
protected:
    void TearDown() override
    {
        ui::CFileChooser::Install(nullptr);
        if (m_panel)
            m_panel->Destroy();
        EngineFrameFixture::TearDown();
        m_seed.reset();
    }
    CTorrentCtrl& OpenPanel()
    {
        m_panel = new CTorrentCtrl(m_frame->GetDownloadManager(), m_frame);
        m_panel->Show();
        guitest::RunEventsUntil([&] { return m_panel->IsShownOnScreen(); });
        return *m_panel;
    }
    void Tick()
    {
        m_panel->Tick();
        guitest::RunEventsFor(50);
    }
    std::string Cell(int row, int column)
    {
        return m_panel->GetList()->GetModel().GetItemText(row, column).c_str();
    }
    std::string Detail(int row, int column)
    {
        wxListCtrl& list = *m_panel->GetDetailList();
        return row < list.GetItemCount() ? list.GetItemText(row, column).utf8_str().data() : "";
    }
    void SelectTab(int page)
    {
        m_panel->GetTabs()->SetSelection(static_cast<size_t>(page));
        guitest::RunEventsFor(50);
    }

    testsupport::ScopedEnv m_listenAddress{"VESSIMAR_LISTEN_ADDRESS", "127.0.0.1"};
    torrenttest::LoopbackTracker m_tracker;
    testsupport::TempDir m_dir;
    std::unique_ptr<CTorrentEngine> m_seed;
    CTorrentCtrl* m_panel = nullptr;
    std::shared_ptr<CRecordingShell> m_shell = std::make_shared<CRecordingShell>();
    ui::CScopedShell m_shellInstalled{m_shell};
};
} // namespace

// A <hash>.torrent in the torrent folder comes back paused; started, it
// downloads from the seed, and the rows and pages follow; stop, launch,
// locate and delete act on it.
TEST_F(TorrentPanelTest, ListsAndDrivesATorrentDownloadingFromASeed)
{
    const std::string content = torrenttest::PatternBytes(kFileSize, 3);
    const torrenttest::MadeTorrent made = torrenttest::MakeSingleFileTorrent(
        "episode.mp3", content, m_tracker.announceUrl(), kPieceLength, "show notes");
    ShowFrame(wxSize(1000, 700), WithEngine());
    ASSERT_NE(m_frame->GetDownloadManager()->GetEngine(), nullptr);
    const std::string folder = CPreference::GetInstance()->GetTorrentDir().getPath().c_str();
    fs::create_directories(folder);
    std::ofstream(folder + "/" + made.infoKey + ".torrent", std::ios::binary) << made.bytes;
    std::ofstream(folder + "/keep.txt") << "another torrent's";

    // The seed holds every piece but a damaged last one, so the download
    // stays part-way for the test to read.
    std::string damaged = content;
    damaged.back() ^= 0x55;
    fs::create_directories(m_dir.file("seed"));
    std::ofstream(m_dir.file("seed/episode.mp3"), std::ios::binary) << damaged;
    std::ofstream(m_dir.file("episode.torrent"), std::ios::binary) << made.bytes;
    m_seed.reset(torrent::LoadEngine(GetModuleDirectory(), 0, 0));
    ASSERT_TRUE(m_seed);
    ASSERT_TRUE(m_seed->SetTorrentFolder(uFile(m_dir.file("seed").c_str())));
    ASSERT_TRUE(m_seed->AddTorrent(uFile(m_dir.file("episode.torrent").c_str())));

    // The frame's command opens the panel, which finds the torrent paused;
    // Open Torrent adds the file the user picks.
    const torrenttest::MadeTorrent other =
        torrenttest::MakeSingleFileTorrent("talk.mp3", "talk", m_tracker.announceUrl(), kPieceLength);
    std::ofstream(m_dir.file("talk.torrent"), std::ios::binary) << other.bytes;
    auto chooser = std::make_shared<ScriptedChooser>();
    chooser->answer = m_dir.file("talk.torrent").c_str();
    ui::CFileChooser::Install(chooser);
    std::string title, status, added;
    int rows = 0;
    guitest::WhenDialogShown<CTorrentCtrl>(
        [&](CTorrentCtrl& dialog)
        {
            CXListModel& list = dialog.GetList()->GetModel();
            title = dialog.GetTitle().utf8_str().data();
            rows = list.GetItemCount();
            status = list.GetItemText(0, 9).c_str();
            guitest::Press(dialog, CTorrentCtrl::kOpenTorrentButton);
            added = list.GetItemText(list.GetItemCount() - 1, 0).c_str();
            guitest::Press(dialog, wxID_OK);
        });
    wxCommandEvent command(wxEVT_MENU, ui::MenuCommandId(243));
    m_frame->ProcessWindowEvent(command);
    EXPECT_EQ(title, "Kestrova BitTorrent Manager");
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(status, "Paused");
    EXPECT_EQ(added, "talk.mp3");

    CTorrentCtrl& panel = OpenPanel();
    ASSERT_EQ(panel.GetList()->GetModel().GetItemCount(), 2);
    EXPECT_EQ(Cell(0, 0), "episode.mp3");
    EXPECT_EQ(Cell(0, 9), "Paused");
    // Track selection: resting the pointer on a row selects it, without a click.
    {
        CXListCtrl& list = *panel.GetList();
        wxUIActionSimulator mouse;
        mouse.MouseMove(wxPoint(0, 0)); // from outside the list
        guitest::RunEventsFor(30);
        mouse.MouseMove(
            list.GetBody()->ClientToScreen(list.GetSubItemRect(1, 0).GetPosition() + wxSize(10, 4)));
        EXPECT_TRUE(guitest::RunEventsUntil([&] { return list.GetModel().GetSelection() == 1; }, 5000));
    }
    panel.ClickRow(0);
    SelectTab(CTorrentDetailPages::kFiles);
    EXPECT_EQ(Detail(0, 0), "episode.mp3");
    EXPECT_EQ(Detail(0, 1), std::to_string(kFileSize));
    EXPECT_EQ(Detail(0, 2), "0.00%");
    SelectTab(CTorrentDetailPages::kTrackers);
    EXPECT_EQ(Detail(0, 0), m_tracker.announceUrl());

    // A paused row offers every command; Start resumes it.
    std::unique_ptr<wxMenu> menu = panel.BuildRowMenu(0);
    ASSERT_TRUE(menu);
    for (int item : {240, 236, 239, 237, 207, 208})
        EXPECT_TRUE(menu->IsEnabled(ui::MenuCommandId(item))) << item;
    panel.Command(239);
    const std::uint64_t partial = kFullPieces * kPieceLength;
    const std::string partialText = [&]
    {
        uString text;
        text.format("%.2f%%", static_cast<double>(partial) / kFileSize * 100);
        return std::string(text.c_str());
    }();
    SelectTab(CTorrentDetailPages::kFiles);
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            Tick();
            return Detail(0, 2) == partialText && Cell(0, 6) == "0/1";
        },
        30000))
        << Detail(0, 2) << " " << Cell(0, 6);
    EXPECT_EQ(Cell(0, 9), "Downloading");
    EXPECT_EQ(Cell(0, 2), partialText.substr(0, partialText.size() - 1));

    SelectTab(CTorrentDetailPages::kSummary);
    Tick();
    EXPECT_EQ(Detail(2, 1), made.infoKey);
    EXPECT_EQ(Detail(5, 1), "show notes");
    EXPECT_EQ(Detail(8, 1), partialText);
    panel.FindWindow(wxID_OK)->SetFocus();
    guitest::TakeScreenshot("issue25-torrent-manager");

    panel.Command(236);
    panel.Command(240);
    const std::vector<CRecordingShell::Request> opened = m_shell->GetRequests();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].verb, CRecordingShell::Request::kOpen);
    EXPECT_EQ(std::string(opened[0].target.c_str()), folder + "/episode.mp3");
    EXPECT_EQ(opened[1].verb, CRecordingShell::Request::kExplore);
    EXPECT_EQ(std::string(opened[1].target.c_str()), folder);

    // Another torrent whose data takes that name is not added; the user is told the name.
    const auto prompt = guitest::ScriptedPrompt::Install();
    const torrenttest::MadeTorrent rival =
        torrenttest::MakeSingleFileTorrent("episode.mp3", "rival", m_tracker.announceUrl(), kPieceLength);
    std::ofstream(m_dir.file("rival.torrent"), std::ios::binary) << rival.bytes;
    EXPECT_FALSE(m_frame->AddTorrentFile(m_dir.file("rival.torrent").c_str()));
    ASSERT_EQ(prompt->Ids(), std::vector<int>{3110});
    EXPECT_NE(prompt->shown[0].text.find("episode.mp3"), std::string::npos);

    panel.Command(237);
    Tick();
    EXPECT_EQ(Cell(0, 9), "Paused");

    // Delete takes the torrent, its .torrent and its data, and nothing else.
    panel.Command(208);
    ASSERT_EQ(panel.GetList()->GetModel().GetItemCount(), 1);
    EXPECT_EQ(Cell(0, 0), "talk.mp3");
    EXPECT_FALSE(fs::exists(folder + "/episode.mp3"));
    EXPECT_FALSE(fs::exists(folder + "/" + made.infoKey + ".torrent"));
    EXPECT_TRUE(fs::exists(folder + "/keep.txt"));
    std::vector<CTorrentStatus> held;
    ASSERT_TRUE(m_frame->GetDownloadManager()->GetEngine()->ListTorrents(held));
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(std::string(held[0].name.c_str()), other.infoKey);
}

TEST_F(TorrentPanelTest, WithoutAnEngineTheCommandIsAbsentAndThePanelEmpty)
{
    ShowFrame();
    EXPECT_EQ(m_frame->GetMenuBar()->FindItem(ui::MenuCommandId(243)), nullptr);
    CTorrentCtrl& panel = OpenPanel();
    Tick();
    EXPECT_EQ(panel.GetList()->GetModel().GetItemCount(), 0);
    EXPECT_EQ(panel.GetList()->GetModel().GetColumns(), 11);
    EXPECT_EQ(panel.GetDetailList()->GetItemCount(), 15); // the Summary's labels, no values
    EXPECT_EQ(Detail(0, 1), "");
}
