// The frame's operations on the subscription tree: finding items, unread
// counts in feed labels, new channels and folders, renaming and deleting.
#include "common/UserPrompt.h"
#include "dialogs/SubscriptionDlgs.h"
#include "downloads/DownloadManager.h"
#include "feeds/FeedStore.h"
#include "foundation/uTranslation.h"
#include "mainwindow/FeedLabel.h"
#include "mainwindow/FeedSubscription.h"
#include "mainwindow/ListDatabaseFiles.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/TreeViewEx.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

using namespace subscription;

namespace
{
constexpr int kConfirmUnsubscribeFeed = 3014;
constexpr int kConfirmDeleteDatabase = 3015;
constexpr int kConfirmRemove = 3016;
constexpr int kCannotRemove = 3017;

// The feed's label with its unread count. The title is the one the list
// database holds, as a list read at start shows it: the first fetch after an
// outline import stores the feed's own title over the outline's, and a
// rename is stored before it shows. Without a stored title (none yet, or
// none read) the label keeps its title. True when the label changed.
bool SetFeedLabel(CTreeViewEx* tree, const wxTreeItemId& feed, const uString& storedTitle, int unread)
{
    const uString label = tree->GetLabel(feed);
    const uString title = storedTitle.isEmpty() ? StripUnreadCount(label) : storedTitle;
    const uString relabelled = FeedLabel(title, unread);
    if (relabelled == label)
        return false;
    tree->SetLabel(feed, relabelled);
    return true;
}
} // namespace

wxTreeItemId CMainFrame::FindTreeItem(const uString& text, const wxTreeItemId& start, int mode,
                                      uint16_t kind) const
{
    for (wxTreeItemId item = start; item.IsOk(); item = m_treeView->GetNextSibling(item))
    {
        const CNamedValue* record = m_treeView->GetRecord(item);
        if (record != nullptr && record->value == kind)
        {
            uString compared = mode == kFindByValue ? record->text : m_treeView->GetLabel(item);
            if (compared.equalsNoCase(text))
                return item;
        }
        wxTreeItemId below = FindTreeItem(text, m_treeView->GetFirstChildItem(item), mode, kind);
        if (below.IsOk())
            return below;
    }
    return wxTreeItemId();
}

bool CMainFrame::GetFeedList(const wxTreeItemId& feed, uString& database) const
{
    wxTreeItemId list = m_treeView->GetParentItem(feed);
    const CNamedValue* record = m_treeView->GetRecord(list);
    if (record == nullptr || record->value != kList || record->text.isEmpty())
        return false;
    database = record->text;
    return true;
}

void CMainFrame::RefreshFeedLabel(const uString& database, const wxTreeItemId& feed)
{
    const CNamedValue* record = m_treeView->GetRecord(feed);
    if (record == nullptr || record->value != kFeed || record->text.isEmpty())
        return;
    const uString url = record->text;
    CFeedStore store;
    store.SetDatabase(database);
    int unread = store.CountUnread(url);
    if (store.errorCode != 0)
    {
        m_treeView->SetImages(feed, kImageWarning, kImageWarning);
        unread = 0;
    }
    // Only the title: the feed's items are not needed for its label.
    if (SetFeedLabel(m_treeView, feed, store.GetChannelTitle(url), unread))
        FollowRelabelledFeed(feed);
}

void CMainFrame::FollowRelabelledFeed(const wxTreeItemId& feed)
{
    // The window title names the shown feed by its label.
    if (feed == m_treeView->GetSelection())
        UpdateFrameTitle(feed);
}

bool CMainFrame::RefreshListLabels(const wxTreeItemId& list)
{
    const CNamedValue* record = m_treeView->GetRecord(list);
    if (record == nullptr || record->value != kList || record->text.isEmpty() ||
        !m_treeView->IsExpanded(list))
        return false;
    // One connection and one statement for the whole list: a list of
    // thousands of feeds is relabelled after every refresh.
    CFeedStore store;
    store.SetDatabase(record->text);
    std::vector<CChannelCount> channels;
    const bool counted = store.ListUnreadCounts(channels);
    std::unordered_map<std::string, const CChannelCount*> byFeed;
    byFeed.reserve(channels.size());
    for (const CChannelCount& channel : channels)
        byFeed.emplace(channel.feed.c_str(), &channel);

    wxTreeItemIdValue cookie;
    for (wxTreeItemId feed = m_treeView->GetFirstChild(list, cookie); feed.IsOk();
         feed = m_treeView->GetNextChild(list, cookie))
    {
        const CNamedValue* feedRecord = m_treeView->GetRecord(feed);
        if (feedRecord == nullptr || feedRecord->value != kFeed || feedRecord->text.isEmpty())
            continue;
        if (!counted)
        {
            m_treeView->SetImages(feed, kImageWarning, kImageWarning);
            SetFeedLabel(m_treeView, feed, uString(), 0);
            continue;
        }
        // A feed the list no longer holds has nothing unread.
        auto found = byFeed.find(feedRecord->text.c_str());
        const bool relabelled = found == byFeed.end() ? SetFeedLabel(m_treeView, feed, uString(), 0)
                                                      : SetFeedLabel(m_treeView, feed, found->second->title,
                                                                     found->second->unread);
        if (relabelled)
            FollowRelabelledFeed(feed);
    }
    return true;
}

long CMainFrame::OnFeedUpdated(const CFrameMessage& message)
{
    if (m_treeView == nullptr || m_closeComing) // the window is closing
        return 0;
    if (message.text == nullptr)
        return 0;
    RefreshListLabels(FindTreeItem(*message.text, m_treeView->GetFirstTopLevelItem(), kFindByValue, kList));
    return 0;
}

void CMainFrame::NewChannel()
{
    // Named in the interface language when made; the name is the user's after that.
    const std::string base(uTr("New Channel"));
    uString name = NumberedName(base.c_str(), 0);
    wxTreeItemId start = m_treeView->GetFirstTopLevelItem();
    for (int n = 1; start.IsOk(); ++n)
    {
        wxTreeItemId found = FindTreeItem(name, start, kFindByLabel, kChannel);
        if (!found.IsOk())
            break;
        name = NumberedName(base.c_str(), n);
        start = found;
    }
    m_treeView->AppendNode(wxTreeItemId(), kChannel, name, uString());
}

void CMainFrame::NewFolder()
{
    wxTreeItemId target = m_treeView->GetRememberedItem();
    if (!m_treeView->IsKind(target, kChannel) && !m_treeView->IsKind(target, kFolder))
        target = m_treeView->GetFirstTopLevelItem();
    if (!target.IsOk())
        return;
    const std::string base(uTr("New Folder"));
    uString name = NumberedName(base.c_str(), 0);
    for (int n = 1; FindTreeItem(name, target, kFindByLabel, kFolder).IsOk(); ++n)
        name = NumberedName(base.c_str(), n);
    m_treeView->AppendNode(target, kFolder, name, uString());
    m_treeView->Expand(target);
}

long CMainFrame::OnTreeLabelEdited(const CFrameMessage&)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    wxTreeItemId feed = m_treeView->GetRememberedItem();
    const CNamedValue* record = m_treeView->GetRecord(feed);
    if (record != nullptr && record->value == kList)
        RefillListCombo(); // the search bar names lists by label
    if (record == nullptr || record->value != kFeed)
        return 0;
    uString database;
    if (!GetFeedList(feed, database))
    {
        m_treeView->SetImages(feed, kImageWarning, kImageWarning);
        return 0;
    }
    CFeedStore store;
    store.SetDatabase(database);
    uString url = record->text;
    bool autoArchive = store.TestChannelAttributes(url, 1);
    bool autoDownload = store.TestChannelAttributes(url, 2);
    store.UpdateChannelProperties(url, StripUnreadCount(m_treeView->GetLabel(feed)), url, autoArchive,
                                  autoDownload);
    if (store.errorCode == 0)
        RefreshFeedLabel(database, feed);
    return 0;
}

void CMainFrame::ConnectTreeView()
{
    // The item the item list shows may go with a branch the tree deletes.
    m_treeView->Bind(wxEVT_TREE_DELETE_ITEM,
                     [this](wxTreeEvent& event)
                     {
                         if (event.GetItem() == m_currentChannelItem)
                             m_currentChannelItem = wxTreeItemId();
                         event.Skip();
                     });
}

long CMainFrame::OnNewChannelMessage(const CFrameMessage&)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    NewChannel();
    return 0;
}

long CMainFrame::OnNewFolderMessage(const CFrameMessage&)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    NewFolder();
    return 0;
}

void CMainFrame::ClearShownChannel()
{
    FreeListRows();
    m_currentChannelItem = wxTreeItemId();
}

void CMainFrame::OnEditDelete()
{
    // Only while the tree has the focus: elsewhere Delete belongs to that pane.
    wxWindow* focus = wxWindow::FindFocus();
    if (focus == nullptr || (focus != m_treeView && focus->GetParent() != m_treeView))
        return;
    wxTreeItemId item = m_treeView->GetSelection();
    const CNamedValue* record = m_treeView->GetRecord(item);
    if (record == nullptr)
        return;
    uString label = m_treeView->GetLabel(item);
    switch (record->value)
    {
    case kFeed:
    {
        if (record->text.isEmpty() ||
            ui::ShowPrompt(this, kConfirmUnsubscribeFeed, wxYES_NO | wxICON_QUESTION, label) != wxYES)
            return;
        // All of the feed's rows go, as for Unsubscribe: the channel row alone
        // would leave its items behind for good, and its queued downloads
        // would still fetch media for a feed that is gone.
        wxTreeItemId list = m_treeView->GetParentItem(item);
        const CNamedValue* listRecord = m_treeView->GetRecord(list);
        if (listRecord != nullptr && listRecord->value == kList)
        {
            CFeedStore store;
            store.downloadManager = m_downloadManager.get();
            uString error;
            DeleteFeedRows(store, listRecord->text, record->text, error);
        }
        m_treeView->FreeTreeItemData(item);
        m_treeView->DeleteItemQuietly(item);
        ClearShownChannel();
        break;
    }
    case kList:
    {
        if (ui::ShowPrompt(this, kConfirmDeleteDatabase, wxYES_NO | wxICON_QUESTION, label) != wxYES)
            return;
        if (m_currentChannelItem.IsOk() && m_treeView->GetParentItem(m_currentChannelItem) == item)
            ClearShownChannel();
        // The database stays for another item that names it (a copied list).
        if (!IsListDatabaseShared(item))
        {
            std::erase(m_subscriptionLists, record->text);
            uString path = ListDatabaseFile(record->text.isEmpty() ? uString("default.mdb") : record->text);
            if (uFile(path.c_str()).exists())
                RemoveListDatabase(path);
        }
        m_treeView->FreeTreeItemData(item);
        m_treeView->DeleteItemQuietly(item);
        break;
    }
    case kChannel:
    case kFolder:
        if (item == m_treeView->GetFirstTopLevelItem())
        {
            ui::ShowPrompt(this, kCannotRemove, wxOK | wxICON_INFORMATION, label);
            return;
        }
        if (ui::ShowPrompt(this, kConfirmRemove, wxYES_NO | wxICON_QUESTION, label) != wxYES)
            return;
        RescueLists(item);
        m_treeView->DeleteItemQuietly(item);
        break;
    default: // a watch
        break;
    }
}

void CMainFrame::RescueLists(const wxTreeItemId& item)
{
    m_treeView->ReleaseItemRecords(item, /*reinsert=*/true);
}

long CMainFrame::OnWatchProperties(const CFrameMessage& message)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    wxTreeItemId watch = ParamToItem(message.lParam);
    CNamedValue* record = m_treeView->GetRecord(watch);
    if (record == nullptr || record->value != kWatch)
        return 0;
    // The title without the count of unread matches, which is no part of it.
    CNewsWatchDlg dialog(StripUnreadCount(m_treeView->GetLabel(watch)), record->text, this);
    if (dialog.ShowModal() != wxID_OK)
        return 0;
    m_treeView->SetLabel(watch, dialog.title);
    record->text = dialog.keywords;
    m_treeView->NotifyChanged();
    // The count goes with the title: counted anew for the keywords now set.
    UpdateWatchCount(watch);
    return 0;
}
