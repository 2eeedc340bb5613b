// The frame's searches: the Find dialog, the search bar's requests, and the
// news watches (saved searches in the tree that count their unread matches).
#include "dialogs/FeedSearchDlg.h"
#include "dialogs/SubscriptionDlgs.h"
#include "feeds/FeedStore.h"
#include "mainwindow/FeedLabel.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/MainToolBar.h"
#include "common/SearchRequests.h"
#include "mainwindow/SearchWorker.h"
#include "mainwindow/TreeViewEx.h"

#include <memory>
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

// The watch's search runs on the search worker: over many lists it takes
// longer than the window may stand still. The list is filled when the
// results arrive, unless something else filled it meanwhile.
bool CMainFrame::RefreshWatch(const wxTreeItemId& watch)
{
    const CNamedValue* record = m_treeView != nullptr ? m_treeView->GetRecord(watch) : nullptr;
    if (record == nullptr || record->value != kWatch || record->text.isEmpty() || !m_searchWorker)
        return false;
    const uString keywords = record->text;
    std::vector<uString> databases = CollectLists(kCollectDatabases);
    const unsigned generation = ++m_listGeneration;
    void* id = watch.GetID();
    // One key for every watch shown: only the last one asked for is wanted.
    m_searchWorker->Post(&m_listGeneration,
                         [this, databases, keywords, generation, id]() -> std::function<void()>
                         {
                             // The search worker's thread.
                             auto store = std::make_shared<CFeedStore>();
                             bool found = search::SearchWatchLists(*store, databases, keywords);
                             int unread = search::CountWatchUnread(databases, keywords);
                             return [this, store, found, unread, id, keywords, generation]
                             {
                                 wxTreeItemId watchItem(id);
                                 if (!IsLiveWatch(watchItem, keywords))
                                     return;
                                 SetWatchCount(watchItem, unread);
                                 if (found && generation == m_listGeneration)
                                 {
                                     FillItemList(*store);
                                     // The list shows no one feed's items now.
                                     m_currentChannelItem = wxTreeItemId();
                                 }
                             };
                         });
    return true;
}

void CMainFrame::UpdateWatchCount(const wxTreeItemId& watch)
{
    const CNamedValue* record = m_treeView != nullptr ? m_treeView->GetRecord(watch) : nullptr;
    if (record == nullptr || record->value != kWatch || record->text.isEmpty() || !m_searchWorker)
        return;
    const uString keywords = record->text;
    std::vector<uString> databases = CollectLists(kCollectDatabases);
    void* id = watch.GetID();
    m_searchWorker->Post(id,
                         [this, databases, keywords, id]() -> std::function<void()>
                         {
                             // The search worker's thread.
                             int unread = search::CountWatchUnread(databases, keywords);
                             return [this, unread, id, keywords]
                             {
                                 if (IsLiveWatch(wxTreeItemId(id), keywords))
                                     SetWatchCount(wxTreeItemId(id), unread);
                             };
                         });
}

void CMainFrame::SetWatchCount(const wxTreeItemId& watch, int unread)
{
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

bool CMainFrame::IsLiveWatch(const wxTreeItemId& watch, const uString& keywords) const
{
    // The item may have gone while the search ran: only an item still in the
    // tree is looked at.
    if (m_treeView == nullptr)
        return false;
    std::vector<wxTreeItemId> pending{m_treeView->GetRootItem()};
    while (!pending.empty())
    {
        wxTreeItemId item = pending.back();
        pending.pop_back();
        if (item == watch)
        {
            const CNamedValue* record = m_treeView->GetRecord(item);
            return record != nullptr && record->value == kWatch && record->text == keywords;
        }
        wxTreeItemIdValue cookie;
        for (wxTreeItemId child = m_treeView->GetFirstChild(item, cookie); child.IsOk();
             child = m_treeView->GetNextChild(item, cookie))
            pending.push_back(child);
    }
    return false;
}

bool CMainFrame::IsSearchBusy() const
{
    return m_searchWorker && m_searchWorker->IsBusy();
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
