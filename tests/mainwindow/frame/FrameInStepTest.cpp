// The main window as seen on an ordinary desktop: the page repaints after a
// window that covered it goes, a right-click shows what its menu acts on, the
// tree, title bar and item list name one feed, the sorted column shows its
// direction.
#include "SubscriptionFrameFixture.h"
#include "mainwindow/KestrovaView.h"

#include <algorithm>
#include <wx/dialog.h>
#include <wx/stattext.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

using namespace subscription;
using namespace subscriptiontest;

namespace
{
constexpr int kFeedProperties = 135;

class FrameInStep : public SubscriptionFrameTest
{
protected:
    // Two feeds of one site in the first list, the first one selected.
    void SubscribeTwo()
    {
        m_site.AddFeed("/second.xml", "Second feed", 2);
        CMainFrame& frame = Start();
        ASSERT_TRUE(frame.AddSubscription(Find("First", kList), m_site.Url(), uString(), false, false));
        ASSERT_TRUE(
            frame.AddSubscription(Find("First", kList), m_site.Url("/second.xml"), uString(), false, false));
        m_first = FeedItem(m_site.Url());
        m_second = FeedItem(m_site.Url("/second.xml"));
        ASSERT_TRUE(m_first.IsOk() && m_second.IsOk());
    }
    wxTreeItemId FeedItem(const uString& url)
    {
        return m_frame->FindTreeItem(url, tree->GetFirstTopLevelItem(), CMainFrame::kFindByValue, kFeed);
    }
    // The tree's selection, the title bar and the list agree on the feed.
    void ExpectShown(const wxTreeItemId& feed, const uString& url, const std::string& firstTitle)
    {
        EXPECT_EQ(tree->GetSelection(), feed);
        EXPECT_EQ(m_frame->GetCurrentChannelItem(), feed);
        EXPECT_NE(m_frame->GetTitle().utf8_string().find(url.c_str()), std::string::npos)
            << m_frame->GetTitle();
        CKestrovaView* list = m_frame->GetItemListView();
        std::vector<std::string> titles;
        for (int row = 0; row < list->GetRowCount(); ++row)
            titles.push_back(list->GetRowText(row, CKestrovaView::kTitle).c_str());
        EXPECT_NE(std::find(titles.begin(), titles.end(), firstTitle), titles.end());
    }
    Site m_site{"Main feed", {40, 160, 60, 255}, 3};
    wxTreeItemId m_first, m_second;
};
} // namespace

TEST_F(FrameInStep, TheListTheTreeAndTheTitleNameTheSameFeed)
{
    SubscribeTwo();
    ExpectShown(m_second, m_site.Url("/second.xml"), "Second feed story 1");

    // A right-click on the other feed selects it before its menu opens; the
    // menu is dismissed, and its Properties act on that feed.
    wxRect row;
    ASSERT_TRUE(tree->GetBoundingRect(m_first, row, /*textOnly=*/true));
    // The menu is dismissed with Escape once it is open.
    bool menuOpened = false;
    bool selectedUnderMenu = false;
    tree->Bind(wxEVT_MENU_OPEN,
               [&](wxMenuEvent& event)
               {
                   menuOpened = true;
                   selectedUnderMenu = tree->GetSelection() == m_first;
                   event.Skip();
               });
    wxTimer escape;
    escape.Bind(wxEVT_TIMER,
                [&](wxTimerEvent&)
                {
                    if (menuOpened)
                        wxUIActionSimulator().Char(WXK_ESCAPE);
                });
    escape.Start(200);
    wxUIActionSimulator mouse;
    mouse.MouseMove(tree->ClientToScreen(row.GetPosition() + wxPoint(4, row.height / 2)));
    guitest::RunEventsFor(30);
    mouse.MouseClick(wxMOUSE_BTN_RIGHT);
    guitest::RunEventsUntil([&] { return menuOpened; });
    guitest::RunEventsFor(300);
    escape.Stop();
    ASSERT_TRUE(menuOpened);
    EXPECT_TRUE(selectedUnderMenu) << "the clicked feed is highlighted while its menu is open";
    ExpectShown(m_first, m_site.Url(), "Main feed story 1");

    std::string shownUrl;
    guitest::WhenDialogShown<CFeedPropertiesDlg>(
        [&](CFeedPropertiesDlg& dialog)
        {
            shownUrl = dialog.url.c_str();
            dialog.EndModal(wxID_CANCEL);
        });
    tree->RunCommand(kFeedProperties);
    EXPECT_EQ(shownUrl, m_site.Url().c_str());
}

TEST_F(FrameInStep, AHeaderClickShowsTheSortDirection)
{
    SubscribeTwo();
    CKestrovaView* list = m_frame->GetItemListView();
    wxListEvent click(wxEVT_LIST_COL_CLICK, list->GetId());
    click.m_col = CKestrovaView::kTitle;
    list->GetEventHandler()->ProcessEvent(click);
    EXPECT_EQ(list->GetSortIndicator(), CKestrovaView::kTitle);
    EXPECT_TRUE(list->IsAscendingSortIndicator());
    list->GetEventHandler()->ProcessEvent(click);
    EXPECT_FALSE(list->IsAscendingSortIndicator());
}

// Runs without a window manager, as CI does: that is where a covered page
// stayed grey.
TEST_F(FrameInStep, ThePageRepaintsAfterADialogOverItCloses)
{
    CMainFrame& frame = Start();
    wxWebView* browser = frame.GetBrowser();
    browser->SetPage("<html><body style=\"background:#2a7fd4;margin:0\"><p>Blue</p></body></html>", "");
    ASSERT_FALSE(guitest::WaitForPage(*browser, "Blue").empty());
    const wxRect pane(browser->GetScreenPosition(), browser->GetSize());
    auto colourAt = [&](const wxPoint& probe, const char* name)
    {
        wxImage shot = guitest::TakeScreenshot(name);
        return shot.IsOk() ? guitest::MeanColour(shot, wxRect(probe, wxSize(6, 6))) : wxColour();
    };
    const wxColour blue(0x2a, 0x7f, 0xd4);

    // A modal dialog over the page, closed once it is painted; the probe is
    // the middle of the dialog, wherever the session placed it.
    wxPoint probe;
    wxColour underDialog;
    wxDialog box(&frame, wxID_ANY, "Kestrova", pane.GetPosition() + wxPoint(40, 40), wxSize(300, 120));
    box.SetBackgroundColour(*wxWHITE);
    new wxStaticText(&box, wxID_ANY, "A message over the page");
    wxTimer answer;
    answer.Bind(wxEVT_TIMER,
                [&](wxTimerEvent&)
                {
                    const wxRect covered = box.GetScreenRect();
                    probe = covered.GetPosition() + wxPoint(covered.width / 2, covered.height / 2);
                    underDialog = colourAt(probe, "page-under-dialog");
                    box.EndModal(wxID_OK);
                });
    answer.StartOnce(600);
    box.ShowModal();
    ASSERT_TRUE(pane.Contains(probe)) << "the dialog covered the page";
    EXPECT_NE(underDialog, blue);
    guitest::RunEventsFor(800);
    EXPECT_EQ(colourAt(probe, "page-after-dialog").GetAsString(wxC2S_HTML_SYNTAX).ToStdString(), "#2A7FD4");
}
