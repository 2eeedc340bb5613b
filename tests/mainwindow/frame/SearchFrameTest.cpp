// Searching on the real main frame: the search bar, the search dialog, news
// watches and the Edit menu's Copy, with feeds served on 127.0.0.1.
#include "SubscriptionFrameFixture.h"
#include "dialogs/FeedSearchDlg.h"
#include "feeds/FeedSearchCriteria.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/MainToolBar.h"
#include "mainwindow/WebBrowserFrame.h"

#include <wx/datectrl.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

using namespace subscription;
using namespace subscriptiontest;

namespace
{
constexpr int kFindDialog = 32792;
constexpr int kFindInBar = 32793;
constexpr int kRefreshNow = 32776;

class SearchFrameTest : public SubscriptionFrameTest
{
protected:
    // "Kestrel daily" (3 items) in the first list, "Kestrel weekly" (2) in the second.
    void StartWithTwoLists()
    {
        Start();
        ASSERT_TRUE(m_frame->AddSubscription(Find("First", kList), m_daily.Url(), uString(), false, false));
        ASSERT_TRUE(m_frame->AddSubscription(Find("Second", kList), m_weekly.Url(), uString(), false, false));
    }
    std::vector<std::string> Titles() const
    {
        std::vector<std::string> titles;
        CKestrovaView* list = m_frame->GetItemListView();
        for (int row = 0; row < list->GetRowCount(); ++row)
            titles.push_back(list->GetRowText(row, CKestrovaView::kTitle).c_str());
        return titles;
    }
    void Execute(const char* database, const std::string& sql)
    {
        CFeedStore store;
        store.SetDatabase(uString(database));
        store.EnsureOpen(false);
        ASSERT_TRUE(store.dataObject.execute(sql.c_str())) << sql;
    }
    void WaitForSearches()
    {
        guitest::RunEventsUntil([&] { return !m_frame->IsSearchBusy(); }, 30000);
    }

    Site m_daily{"Kestrel daily", {235, 125, 20, 255}, 3};
    Site m_weekly{"Kestrel weekly", {40, 90, 220, 255}, 2};
};
} // namespace

TEST_F(SearchFrameTest, TypingInTheSearchBarAndPressingEnterListsTheMatchesOfTheChosenList)
{
    ASSERT_NO_FATAL_FAILURE(StartWithTwoLists());
    CMainToolBar* bar = m_frame->GetSearchToolBar();
    CSmartComboBox* phrase = bar->GetSearchCombo();
    std::vector<CFeedSearchCriteria> sent;
    m_frame->SetMessageObserver(
        [&](const CFrameMessage& message)
        {
            if (message.message == WM_APP_SEARCH)
                sent.push_back(*reinterpret_cast<const CFeedSearchCriteria*>(message.lParam));
        });

    // Both lists, each chosen in the list box, with the keyboard.
    for (const char* list : {"First", "Second"})
    {
        bar->GetListCombo()->SetStringSelection(list);
        phrase->SetFocus();
        guitest::RunEventsUntil([&] { return bar->HasFocus(); });
        wxUIActionSimulator keys;
        keys.Text("story 2");
        guitest::RunEventsUntil([&] { return phrase->GetValue() == "story 2"; });
        keys.Char(WXK_RETURN);
        guitest::RunEventsUntil([&] { return phrase->GetValue().empty(); });
    }
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_STREQ(sent[1].listName.c_str(), "Second");
    EXPECT_STREQ(sent[1].phrase.c_str(), "story 2");
    EXPECT_EQ(sent[1].matchMode, CFeedSearchCriteria::kContains);
    EXPECT_EQ(sent[1].field, CFeedSearchCriteria::kTitleAndDescription);
    // The same choices the search dialog shows under these names.
    ASSERT_GE(sent[1].matchMode, 0);
    ASSERT_GE(sent[1].field, 0);
    EXPECT_EQ(CFeedSearchDlg::kMatchNames[sent[1].matchMode], "Contains");
    EXPECT_EQ(CFeedSearchDlg::kFieldNames[sent[1].field], "Title and Description");
    EXPECT_EQ(Titles(), std::vector<std::string>{"Kestrel weekly story 2"});
    EXPECT_EQ(phrase->GetCount(), 1u) << "one history entry for the phrase";

    bar->GetListCombo()->SetStringSelection("First");
    phrase->ChangeValue("KESTREL");
    Command(kFindInBar);
    EXPECT_EQ(Titles().size(), 3u) << "every item of the first list";
    EXPECT_EQ(sent.size(), 2u) << "Find runs its one search without sending another";
    EXPECT_EQ(phrase->GetString(0), "KESTREL");
    EXPECT_EQ(phrase->GetString(1), "story 2");
    guitest::RunEventsFor(300);
    EXPECT_TRUE(guitest::TakeScreenshot("issue23-search-results").IsOk());

    phrase->ChangeValue("Story 2");
    Command(kFindInBar);
    EXPECT_EQ(phrase->GetCount(), 2u) << "the same phrase in another case replaces its entry";
    EXPECT_EQ(phrase->GetString(0), "Story 2");

    phrase->ChangeValue("nowhere at all");
    Command(kFindInBar);
    EXPECT_EQ(m_prompt->Ids(), std::vector<int>{3022}) << "one search, one message";
    EXPECT_EQ(Titles(), std::vector<std::string>{"Kestrel daily story 2"}) << "the list stays as it was";
}

TEST_F(SearchFrameTest, TheListBoxShowsWholeLabelsAndListsMadeLater)
{
    Start();
    wxComboBox* lists = m_frame->GetListCombo();
    tree->SetLabel(Find("First", kList), uString("My Feeds of the week"));
    m_frame->RefillListCombo();
    int needed = lists->GetTextExtent("My Feeds of the week").GetWidth();
    EXPECT_GT(lists->GetSize().GetWidth(), needed + 20) << "the label is not cut off";

    m_frame->SendMessage(WM_APP_NEWLIST, 0, ItemToParam(Find("Podcasts", kFolder)));
    EXPECT_NE(lists->FindString("New List"), wxNOT_FOUND);
    EXPECT_EQ(lists->GetStringSelection(), "My Feeds of the week") << "the choice stays";
    m_frame->SendMessage(WM_APP_REMOVELIST, 0, ItemToParam(Find("New List", kList)));
    EXPECT_EQ(lists->FindString("New List"), wxNOT_FOUND);
}

TEST_F(SearchFrameTest, TheSearchDialogFindsTheItemsCreatedInItsDateRange)
{
    ASSERT_NO_FATAL_FAILURE(StartWithTwoLists());
    Execute("default.mdb", "update item set createdate = '2026-03-01 00:00:00' where title like '% story 1'");
    Execute("default.mdb", "update item set createdate = '2026-03-04 23:59:59' where title like '% story 2'");
    Execute("default.mdb", "update item set createdate = '2026-03-05 00:00:01' where title like '% story 3'");
    guitest::WhenDialogShown<CFeedSearchDlg>(
        [](CFeedSearchDlg& dialog)
        {
            wxDynamicCast(dialog.FindWindow(CFeedSearchDlg::kPhraseEdit), wxTextCtrl)->ChangeValue("kestrel");
            wxDynamicCast(dialog.FindWindow(CFeedSearchDlg::kStartDate), wxDatePickerCtrl)
                ->SetValue(wxDateTime(1, wxDateTime::Mar, 2026));
            wxDynamicCast(dialog.FindWindow(CFeedSearchDlg::kEndDate), wxDatePickerCtrl)
                ->SetValue(wxDateTime(4, wxDateTime::Mar, 2026));
            guitest::Press(dialog, wxID_OK);
        });
    Command(kFindDialog);
    std::vector<std::string> titles = Titles();
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::string>{"Kestrel daily story 1", "Kestrel daily story 2"}));
    EXPECT_TRUE(m_prompt->shown.empty());
}

TEST_F(SearchFrameTest, ANewsWatchCountsItsUnreadMatchesShowsThemAndCountsNewOnes)
{
    ASSERT_NO_FATAL_FAILURE(StartWithTwoLists());
    guitest::WhenDialogShown<CNewsWatchDlg>(
        [](CNewsWatchDlg& dialog)
        {
            wxDynamicCast(dialog.FindWindow(CNewsWatchDlg::kTitleEdit), wxTextCtrl)->ChangeValue("Kestrels");
            wxDynamicCast(dialog.FindWindow(CNewsWatchDlg::kKeywordsEdit), wxTextCtrl)
                ->ChangeValue("kestrel");
            guitest::Press(dialog, wxID_OK);
        });
    m_frame->SendMessage(WM_APP_NEWWATCH, 0, ItemToParam(Find("Second", kList)));
    wxTreeItemId watch = tree->GetLastChild(Find("News", kChannel));
    ASSERT_TRUE(tree->IsKind(watch, kWatch)) << "a list is no place for a watch: the first channel takes it";
    EXPECT_STREQ(tree->GetLabel(watch).c_str(), "Kestrels") << "not searched before it is selected";

    tree->SelectItem(watch);
    WaitForSearches();
    EXPECT_STREQ(tree->GetLabel(watch).c_str(), "Kestrels (5)");
    std::vector<std::string> titles = Titles();
    ASSERT_EQ(titles.size(), 5u);
    EXPECT_EQ(titles.front().rfind("Kestrel daily", 0), 0u) << "the first list's items come first";
    EXPECT_EQ(titles.back().rfind("Kestrel weekly", 0), 0u);
    guitest::RunEventsFor(300);
    EXPECT_TRUE(guitest::TakeScreenshot("issue23-news-watch").IsOk());

    // A refresh brings one more matching item into the second list.
    std::string base = m_weekly.server.url("/site/feed.xml");
    m_weekly.server.serveContent(
        "/feed.xml",
        feedsite::Rss("Kestrel weekly", base, feedsite::Items(base, "Kestrel weekly story", 1, 3)),
        "application/rss+xml");
    Execute("user0.mdb", "update channel set lastupdate = '2000-01-01 00:00:00'");
    Command(kRefreshNow);
    guitest::RunEventsUntil([&] { return tree->GetLabel(watch) == uString("Kestrels (6)"); }, 60000);
    EXPECT_STREQ(tree->GetLabel(watch).c_str(), "Kestrels (6)");

    // Everything read: the count goes.
    Execute("default.mdb", "update item set readstatus = 1");
    Execute("user0.mdb", "update item set readstatus = 1");
    m_frame->SendMessage(WM_APP_REFRESHWATCH, 0, ItemToParam(watch));
    WaitForSearches();
    EXPECT_STREQ(tree->GetLabel(watch).c_str(), "Kestrels");
    EXPECT_EQ(Titles().size(), 6u);
}

TEST_F(SearchFrameTest, EditCopyCopiesTheTextSelectedInTheItemPage)
{
    ASSERT_NO_FATAL_FAILURE(StartWithTwoLists());
    tree->SelectItem(tree->GetFirstChildItem(Find("First", kList)));
    ASSERT_EQ(Titles().size(), 3u);
    m_frame->SendMessage(WM_APP_SHOWSELECTEDITEM);
    m_frame->GetItemListView()->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    m_frame->SendMessage(WM_APP_SHOWSELECTEDITEM);
    ASSERT_FALSE(guitest::WaitForPage(*m_frame->GetBrowser(), Titles()[0]).empty());
    ASSERT_TRUE(SetClipboardText(uString("before")));
    m_frame->GetBrowser()->SetFocus();
    guitest::RunEventsUntil([&] { return m_frame->FocusedPane() == CMainFrame::kPaneBrowser; });
    m_frame->GetBrowser()->SelectAll();
    guitest::RunEventsUntil([&] { return m_frame->GetBrowser()->HasSelection(); });
    Command(57634); // Edit > Copy
    guitest::RunEventsUntil([&] { return GetClipboardText() != uString("before"); });
    EXPECT_NE(std::string(GetClipboardText().c_str()).find(Titles()[0]), std::string::npos)
        << GetClipboardText().c_str();
}

TEST_F(SearchFrameTest, EditCommandsActOnTheSearchBoxAndTheKeysStillReachOtherTextFields)
{
    Start();
    CSmartComboBox* phrase = m_frame->GetSearchToolBar()->GetSearchCombo();
    phrase->SetFocus();
    guitest::RunEventsUntil([&] { return m_frame->GetSearchToolBar()->HasFocus(); });
    phrase->ChangeValue("alpha beta");
    phrase->SetSelection(0, 5);
    Command(57634); // Copy
    EXPECT_STREQ(GetClipboardText().c_str(), "alpha");
    phrase->SetSelection(5, 10);
    Command(57635); // Cut
    EXPECT_EQ(phrase->GetValue(), "alpha");
    EXPECT_STREQ(GetClipboardText().c_str(), " beta");
    phrase->SetSelection(0, 0);
    ASSERT_TRUE(SetClipboardText(uString("gamma ")));
    Command(57637); // Paste
    EXPECT_EQ(phrase->GetValue(), "gamma alpha") << "the clipboard goes in at the caret";
    phrase->SetSelection(3, 3);
    Command(57635);
    EXPECT_EQ(phrase->GetValue(), "gamma alpha") << "nothing selected, nothing cut";

    // The history keeps the newest 50 phrases.
    for (int i = 0; i <= CSmartComboBox::kHistoryLimit; ++i)
        phrase->AddToHistory(wxString::Format("phrase %d", i));
    EXPECT_EQ(phrase->GetCount(), 50u);
    EXPECT_EQ(phrase->GetString(0), "phrase 50");
    EXPECT_EQ(phrase->FindString("phrase 0"), wxNOT_FOUND);
    EXPECT_EQ(phrase->AddToHistory(wxString()), -1);

    // Ctrl+V in the tree's label editor pastes there.
    wxTreeItemId first = Find("First", kList);
    tree->SetFocus();
    ASSERT_NE(tree->EditLabel(first), nullptr);
    guitest::RunEventsUntil([&] { return wxWindow::FindFocus() == tree->GetEditControl(); });
    tree->GetEditControl()->SetSelection(-1, -1);
    ASSERT_TRUE(SetClipboardText(uString("Pasted list")));
    wxUIActionSimulator keys;
    keys.Char('V', wxMOD_CONTROL);
    guitest::RunEventsUntil([&] { return tree->GetEditControl()->GetValue() == "Pasted list"; });
    EXPECT_EQ(tree->GetEditControl()->GetValue(), "Pasted list");
    keys.Char(WXK_RETURN);
    guitest::RunEventsUntil([&] { return tree->GetEditControl() == nullptr; });
    EXPECT_STREQ(tree->GetLabel(first).c_str(), "Pasted list");
}
