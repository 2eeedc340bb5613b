// The frame's commands of no one pane and the mended behaviours of the
// window, on the real main frame.
#include "CommandIds.h"
#include "SubscriptionFrameFixture.h"
#include "downloads/DownloadManager.h"
#include "downloads/TransferItem.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/WebBrowserFrame.h"
#include "mainwindow/XStatusBar.h"

#include <filesystem>
#include <functional>
#include <wx/menu.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

using namespace subscription;
using namespace subscriptiontest;

namespace
{
class FrameCommandsTest : public SubscriptionFrameTest
{
protected:
    bool IsEnabled(int command)
    {
        wxMenuItem* item = m_frame->GetMenuBar()->FindItem(ui::MenuCommandId(command));
        if (item == nullptr)
            return false;
        item->GetMenu()->UpdateUI();
        return item->IsEnabled();
    }
    bool IsChecked(int command)
    {
        wxMenuItem* item = m_frame->GetMenuBar()->FindItem(ui::MenuCommandId(command));
        item->GetMenu()->UpdateUI();
        return item->IsChecked();
    }
};
} // namespace

TEST_F(FrameCommandsTest, RenameListOnTheListsMenuEditsItsLabel)
{
    Start();
    wxTreeItemId first = Find("First", kList);
    wxRect rect;
    ASSERT_TRUE(tree->GetBoundingRect(first, rect, /*textOnly=*/true));
    // The list's menu: Add Subscription, Mark All Read, Rename List, ...
    int keysLeft = 1;
    wxTimer chooser;
    chooser.Bind(wxEVT_TIMER,
                 [&](wxTimerEvent&)
                 {
                     if (keysLeft-- <= 0)
                         return;
                     wxUIActionSimulator keys;
                     for (int i = 0; i < 3; ++i)
                         keys.Char(WXK_DOWN);
                     keys.Char(WXK_RETURN);
                 });
    chooser.Start(400);
    wxUIActionSimulator mouse;
    mouse.MouseMove(tree->ClientToScreen(rect.GetPosition() + wxPoint(5, rect.height / 2)));
    guitest::RunEventsFor(50);
    mouse.MouseClick(wxMOUSE_BTN_RIGHT);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return tree->GetEditControl() != nullptr; }))
        << "the label editor opens";
    guitest::RunEventsFor(300);
    chooser.Stop();
    ASSERT_NE(tree->GetEditControl(), nullptr) << "and stays open";
    tree->GetEditControl()->SelectAll();
    wxUIActionSimulator keys;
    keys.Text("Birds");
    keys.Char(WXK_RETURN);
    guitest::RunEventsUntil([&] { return tree->GetEditControl() == nullptr; });
    EXPECT_STREQ(tree->GetLabel(first).c_str(), "Birds");
    EXPECT_NE(m_frame->GetListCombo()->FindString("Birds"), wxNOT_FOUND)
        << "the search bar knows the new name";
}

// A quit while a label is being edited keeps the name typed, as a click
// elsewhere would: Ctrl+Q, File > Exit (which a stop signal runs) and the
// window's close.
TEST_F(FrameCommandsTest, AQuitDuringARenameKeepsTheTypedNameInTheTreeFile)
{
    const std::function<void()> quits[] = {
        [] { wxUIActionSimulator().Char('q', wxMOD_CONTROL); },
        [&] { Command(resources::cmd::kExit); },
        [&] { m_frame->Close(); },
    };
    std::string label = "First";
    for (const std::function<void()>& quit : quits)
    {
        const std::string typed = "Birds " + std::to_string(&quit - quits);
        SCOPED_TRACE(typed);
        Start();
        wxTreeItemId list = Find(label.c_str(), kList);
        ASSERT_NE(tree->EditLabel(list), nullptr);
        guitest::RunEventsUntil([&] { return wxWindow::FindFocus() == tree->GetEditControl(); });
        tree->GetEditControl()->SelectAll();
        wxUIActionSimulator().Text(typed.c_str());
        guitest::RunEventsUntil([&] { return tree->GetEditControl()->GetValue() == typed; });
        quit();
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_frame; }, 120000)) << "the window closed";
        EXPECT_NE(testsupport::ReadFileBytes(Data("config.xml")).find("name=\"" + typed + "\""),
                  std::string::npos);
        CPreference::Release();
        label = typed;
    }
}

TEST_F(FrameCommandsTest, TheStatusBarSaysReadyAgainWhenTheDownloadsHaveEnded)
{
    testsupport::LocalHttpServer server;
    server.serveContent("/show.mp3", std::string(20000, 'a'));
    Start();
    CTransferItem record(CTransferItem::kTypePlain, CTransferItem::kMediaAudio, uString("News"),
                         uString("default.mdb"), uString("http://feed.test/"), uString("http://feed.test/1"),
                         uString(server.url("/show.mp3").c_str()));
    ASSERT_TRUE(m_frame->GetDownloadManager()->AddItem(record));
    std::vector<std::string> shown;
    m_frame->SetMessageObserver(
        [&](const CFrameMessage& message)
        {
            if (message.message == WM_APP_STATUSTEXT && message.text != nullptr)
                shown.push_back(message.text->c_str());
        });
    m_frame->DownloadNow();
    guitest::RunEventsUntil([&] { return !shown.empty() && shown.back() == "Ready"; }, 30000);
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown.front().rfind("Downloading ", 0), 0u);
    EXPECT_EQ(shown.back(), "Ready");
    EXPECT_EQ(m_frame->GetStatusBarEx()->GetStatusText(0), "Ready");
}

TEST_F(FrameCommandsTest, FocusKeysAndCtrlTabGoRoundThePanes)
{
    Start();
    Command(32822); // F5
    guitest::RunEventsUntil([&] { return m_frame->FocusedPane() == CMainFrame::kPaneTree; });
    std::vector<int> panes;
    for (int i = 0; i < 3; ++i)
    {
        Command(32826); // Ctrl+Tab
        guitest::RunEventsFor(100);
        panes.push_back(m_frame->FocusedPane());
    }
    EXPECT_EQ(panes,
              (std::vector<int>{CMainFrame::kPaneList, CMainFrame::kPaneBrowser, CMainFrame::kPaneTree}));
    Command(32827); // Ctrl+Shift+Tab
    guitest::RunEventsFor(100);
    EXPECT_EQ(m_frame->FocusedPane(), CMainFrame::kPaneBrowser);
    Command(32824); // F7
    guitest::RunEventsUntil([&]
                            { return wxWindow::FindFocus() == m_frame->GetBrowserFrame()->GetAddressBox(); });
    EXPECT_EQ(wxWindow::FindFocus(), m_frame->GetBrowserFrame()->GetAddressBox());
}

TEST_F(FrameCommandsTest, TheViewMenuTogglesTheBarsWithCheckMarksAndHelpShowsTheFaq)
{
    Start();
    EXPECT_TRUE(IsChecked(59392));
    Command(59392);
    EXPECT_FALSE(m_frame->GetMainToolBar()->IsShown());
    EXPECT_FALSE(m_frame->GetSearchToolBar()->IsShown());
    EXPECT_FALSE(IsChecked(59392));
    Command(59392);
    EXPECT_TRUE(m_frame->GetSearchToolBar()->IsShown());
    Command(59393);
    EXPECT_FALSE(m_frame->GetStatusBarEx()->IsShown());
    EXPECT_FALSE(IsChecked(59393));
    Command(252);
    EXPECT_FALSE(m_frame->GetBrowserFrame()->AreBarsShown());
    EXPECT_FALSE(IsChecked(252));

    EXPECT_FALSE(IsEnabled(154)) << "no home page address is configured";
    EXPECT_FALSE(IsEnabled(57643)) << "Undo has no handler";
    EXPECT_FALSE(IsEnabled(32793)) << "Find needs a phrase";
    Command(223);
    EXPECT_FALSE(guitest::WaitForPage(*m_frame->GetBrowser(), "frequently asked questions").empty());
}

TEST_F(FrameCommandsTest, CompactListCompactsAListsDatabaseAndNothingElse)
{
    Start();
    {
        CFeedStore store;
        store.SetDatabase(uString("user0.mdb"));
        store.EnsureOpen(false);
        std::string padding(2000, 'x');
        for (int i = 0; i < 500; ++i)
        {
            std::string sql = "insert into item (title, link, description) values ('t', 'http://c.test/" +
                              std::to_string(i) + "', '" + padding + "')";
            ASSERT_TRUE(store.dataObject.execute(sql.c_str()));
        }
        ASSERT_TRUE(store.dataObject.execute("delete from item"));
    }
    auto size = [&] { return std::filesystem::file_size(Data("user0.mdb")); };
    const auto full = size();
    m_frame->SendMessage(WM_APP_COMPACTLIST, 0, ItemToParam(Find("Podcasts", kFolder)));
    m_frame->SendMessage(WM_APP_COMPACTLIST, 0, 0);
    EXPECT_EQ(size(), full) << "a folder has no database";
    m_frame->SendMessage(WM_APP_COMPACTLIST, 0, ItemToParam(Find("Second", kList)));
    EXPECT_LT(size(), full / 4);
    EXPECT_TRUE(m_prompt->shown.empty());
}

TEST_F(FrameCommandsTest, PaneKeysWorkEvenWhileThePageHasTheFocus)
{
    Start();
    m_frame->GetBrowser()->SetFocus();
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_frame->FocusedPane() == CMainFrame::kPaneBrowser; }));
    wxUIActionSimulator keys;
    keys.Char(WXK_TAB, wxMOD_CONTROL);
    guitest::RunEventsUntil([&] { return m_frame->FocusedPane() == CMainFrame::kPaneTree; });
    EXPECT_EQ(m_frame->FocusedPane(), CMainFrame::kPaneTree) << "Ctrl+Tab from the page";
    keys.Char(WXK_F8);
    guitest::RunEventsUntil([&] { return m_frame->FocusedPane() == CMainFrame::kPaneBrowser; });
    EXPECT_EQ(m_frame->FocusedPane(), CMainFrame::kPaneBrowser) << "F8";
    keys.Char(WXK_F6);
    guitest::RunEventsUntil([&] { return m_frame->FocusedPane() == CMainFrame::kPaneList; });
    EXPECT_EQ(m_frame->FocusedPane(), CMainFrame::kPaneList) << "F6 from the page";
}
