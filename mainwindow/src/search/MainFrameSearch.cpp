// The frame's searches: the Find dialog, the search bar's requests, and the
// news watches (saved searches in the tree that count their unread matches).
#include "dialogs/FeedSearchDlg.h"
#include "dialogs/SubscriptionDlgs.h"
#include "feeds/FeedStore.h"
#include "mainwindow/FeedLabel.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/MainToolBar.h"
#include "mainwindow/SearchRequests.h"
#include "mainwindow/TreeViewEx.h"

#include <wx/utils.h>

using namespace subscription;

void CMainFrame::OnFind()
{
    std::vector<uString> databases = CollectLists(kCollectDatabases);
    std::vector<uString> labels = CollectLists(kCollectLabels);
    if (databases.empty() || labels.empty())
        return;
    CFeedSearchDlg dialog(labels, this);
    if (dialog.ShowModal() != wxID_OK)
        return;
    SearchDatabases(dialog.criteria);
}

void CMainFrame::OnFindInBar()
{
    // The request is only filled here: this command runs the one search.
    if (m_searchToolBar != nullptr)
        SearchDatabases(m_searchToolBar->GetSearchRequest());
}

bool CMainFrame::HasSearchText() const
{
    return m_searchToolBar != nullptr && m_searchToolBar->HasSearchText();
}

long CMainFrame::OnSearchMessage(const CFrameMessage& message)
{
    const auto* request = reinterpret_cast<const CFeedSearchCriteria*>(message.lParam);
    if (request != nullptr)
        SearchDatabases(*request);
    return 0;
}

void CMainFrame::RefillListCombo()
{
    if (m_searchToolBar != nullptr)
        m_searchToolBar->RefillListCombo(CollectLists(kCollectLabels));
}

long CMainFrame::OnNewWatch(const CFrameMessage& message)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    wxTreeItemId parent = ParamToItem(message.lParam);
    if (!m_treeView->IsKind(parent, kChannel) && !m_treeView->IsKind(parent, kFolder))
        parent = m_treeView->GetFirstTopLevelItem();
    if (!parent.IsOk())
        return 0;
    CNewsWatchDlg dialog(this);
    if (dialog.ShowModal() != wxID_OK)
        return 0;
    // Not searched until it is selected or refreshed.
    m_treeView->AppendNode(parent, kWatch, dialog.title, dialog.keywords);
    return 0;
}

long CMainFrame::OnRefreshWatch(const CFrameMessage& message)
{
    if (m_treeView != nullptr)
        RefreshWatch(ParamToItem(message.lParam));
    return 0;
}

bool CMainFrame::RefreshWatch(const wxTreeItemId& watch)
{
    const CNamedValue* record = m_treeView != nullptr ? m_treeView->GetRecord(watch) : nullptr;
    if (record == nullptr || record->value != kWatch || record->text.isEmpty())
        return false;
    const uString keywords = record->text;
    wxBusyCursor wait;
    CFeedStore store;
    bool found = search::SearchWatchLists(store, CollectLists(kCollectDatabases), keywords);
    UpdateWatchCount(watch);
    if (found)
    {
        FillItemList(store);
        // The list shows no one feed's items now.
        m_currentChannelItem = wxTreeItemId();
    }
    return found;
}

void CMainFrame::UpdateWatchCount(const wxTreeItemId& watch)
{
    const CNamedValue* record = m_treeView != nullptr ? m_treeView->GetRecord(watch) : nullptr;
    if (record == nullptr || record->value != kWatch || record->text.isEmpty())
        return;
    int unread = search::CountWatchUnread(CollectLists(kCollectDatabases), record->text);
    uString label = StripUnreadCount(m_treeView->GetLabel(watch));
    if (unread > 0)
    {
        uString count;
        count.format(" (%d)", unread);
        label += count;
    }
    if (label != m_treeView->GetLabel(watch))
        m_treeView->SetLabel(watch, label);
}

void CMainFrame::UpdateWatchCounts(const wxTreeItemId& start)
{
    for (wxTreeItemId item = start; item.IsOk(); item = m_treeView->GetNextSibling(item))
    {
        if (m_treeView->IsKind(item, kWatch))
            UpdateWatchCount(item);
        else if (!m_treeView->IsKind(item, kList)) // a list's children are its feeds
            UpdateWatchCounts(m_treeView->GetFirstChildItem(item));
    }
}
