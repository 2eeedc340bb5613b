// The frame's operations on single feeds: subscribing, properties,
// unsubscribing, marking read, removing outdated items and moving a feed
// between lists. The subscription's fetch runs on a worker behind a
// progress dialog that can cancel it, with a bounded time-out.
#include "StringTable.h"
#include "common/UserPrompt.h"
#include "dialogs/SubscriptionDlgs.h"
#include "downloads/DownloadManager.h"
#include "feeds/FeedAddress.h"
#include "feeds/FeedStore.h"
#include "mainwindow/FeedLabel.h"
#include "mainwindow/FeedSubscription.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/TreeViewEx.h"

#include <wx/utils.h>

using namespace subscription;

namespace
{
constexpr int kConfirmUnsubscribe = 3013;
constexpr int kAddressRefused = 3058;
constexpr int kAutoArchiveFlag = 1;
constexpr int kAutoDownloadFlag = 2;
constexpr int kRemovingOutdatedText = 3073;
constexpr int kDoneText = 3074;
} // namespace

bool CMainFrame::AddSubscription(const wxTreeItemId& list, const uString& address, const uString& title,
                                 bool autoArchive, bool autoDownload, bool localFile)
{
    // Every road to a subscription passes here: only network addresses are
    // subscribed, except the feed file the user opened.
    const uString url = localFile ? address : feeds::FeedAddress(address);
    if (url.isEmpty())
    {
        ui::ShowPromptDetail(this, kAddressRefused, wxOK | wxICON_WARNING, address);
        return false;
    }
    const CNamedValue* record = m_treeView->GetRecord(list);
    bool isList = record != nullptr && record->value == kList;
    uString database = isList ? record->text : uString();

    wxBusyCursor wait;
    CFeedStore store;
    store.downloadManager = m_downloadManager.get();
    SubscribeOutcome outcome =
        SubscribeFeed(store, database, url, title, autoArchive, autoDownload, localFile);
    if (outcome == SubscribeOutcome::kCancelled)
        return false;
    if (outcome == SubscribeOutcome::kFailed)
    {
        // A fetch from the network has told the user already.
        if (localFile)
            ui::ShowText(this, store.errorText, wxOK | wxICON_INFORMATION);
        return false;
    }
    // A stored feed shows at once, also one with no items yet (a new podcast):
    // hidden, it could be neither seen nor added again.
    if (!isList)
        return true;

    // A list still closed is read first: an item added beside its
    // placeholder would keep its other feeds from ever being read.
    if (m_treeView->IsPlaceholder(m_treeView->GetFirstChildItem(list)))
        m_treeView->Expand(list);
    // The list has one item per feed: an address it holds already is shown,
    // not added a second time.
    wxTreeItemId feed = FindTreeItem(url, m_treeView->GetFirstChildItem(list), kFindByValue, kFeed);
    // A feed without a title goes by its address.
    if (!feed.IsOk())
        feed = m_treeView->AppendNode(list, kFeed, store.channel.title.isEmpty() ? url : store.channel.title,
                                      url);
    m_treeView->Expand(list);

    store.Reset();
    store.LoadChannel(database.isEmpty() ? uString(CConnectionString::kDefaultDatabase) : database, url);
    if (!database.isEmpty())
        RefreshFeedLabel(database, feed);
    ShowChannel(feed, store, url);
    return true;
}

long CMainFrame::OnAddSubscription(const CFrameMessage&)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    wxTreeItemId list = m_treeView->GetRememberedItem();
    CFeedPropertiesDlg dialog(this);
    if (dialog.ShowModal() != wxID_OK)
        return 0;
    if (!AddSubscription(list, dialog.url, dialog.title, dialog.autoArchive, dialog.autoDownload))
        return 0;
    const CNamedValue* record = m_treeView->GetRecord(list);
    if (record != nullptr && record->value == kList && !record->text.isEmpty())
    {
        CFeedStore store;
        store.SetDatabase(record->text);
        store.SetChannelTtl(dialog.url, dialog.interval);
    }
    return 0;
}

void CMainFrame::OnNewSubscription()
{
    std::vector<uString> labels = CollectLists(kCollectLabels);
    if (labels.empty())
        return;
    CNewSubscriptionDlg dialog(labels, this);
    if (dialog.ShowModal() != wxID_OK)
        return;
    wxTreeItemId list =
        FindTreeItem(dialog.listName, m_treeView->GetFirstTopLevelItem(), kFindByLabel, kList);
    if (list.IsOk())
        AddSubscription(list, dialog.url, dialog.title, dialog.autoArchive, dialog.autoDownload);
}

long CMainFrame::OnFeedProperties(const CFrameMessage&)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    wxTreeItemId feed = m_treeView->GetRememberedItem();
    CNamedValue* record = m_treeView->GetRecord(feed);
    if (record == nullptr || record->value != kFeed)
        return 0;
    uString database;
    bool inList = GetFeedList(feed, database);
    CFeedStore store;
    if (inList)
        store.SetDatabase(database);
    uString url = record->text;
    // A feed stored without a title is shown under its address until its first
    // fetch names it: that address left as it was in the dialog is no title.
    bool untitled = false;
    if (inList)
    {
        store.LoadChannel(database, url);
        untitled = store.errorCode == 0 && store.channel.title.isEmpty();
        store.Reset();
    }
    const uString shownTitle = StripUnreadCount(m_treeView->GetLabel(feed));
    CFeedPropertiesDlg dialog(url, shownTitle, store.GetChannelTtl(url),
                              store.TestChannelAttributes(url, kAutoArchiveFlag),
                              store.TestChannelAttributes(url, kAutoDownloadFlag), this);
    if (dialog.ShowModal() != wxID_OK)
        return 0;
    m_treeView->SetLabel(feed, dialog.title);
    m_treeView->Update();
    if (!inList)
        return 0;

    // The item follows the address only when the channel could be moved to
    // it: an address the list holds already stays with its own item.
    const uString title = untitled && dialog.title == shownTitle ? uString() : dialog.title;
    store.UpdateChannelProperties(url, title, dialog.url, dialog.autoArchive, dialog.autoDownload);
    store.SetChannelTtl(url, dialog.interval);
    record->text = url;
    bool updated = store.errorCode == 0;
    store.Reset();
    store.LoadChannel(database, url);
    if (updated && store.errorCode == 0)
        RefreshFeedLabel(database, feed);
    else
        m_treeView->SetImages(feed, kImageWarning, kImageWarning);
    ShowChannel(feed, store, url);
    return 0;
}

long CMainFrame::OnUnsubscribe(const CFrameMessage&)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    wxTreeItemId feed = m_treeView->GetRememberedItem();
    if (ui::ShowPrompt(this, kConfirmUnsubscribe, wxOK | wxCANCEL | wxICON_STOP) != wxOK)
        return 0;
    const CNamedValue* record = m_treeView->GetRecord(feed);
    if (record != nullptr && record->value == kFeed && !record->text.isEmpty())
    {
        const CNamedValue* list = m_treeView->GetRecord(m_treeView->GetParentItem(feed));
        CFeedStore store;
        store.downloadManager = m_downloadManager.get();
        uString error;
        DeleteFeedRows(store, list != nullptr ? list->text : uString(), record->text, error);
        m_treeView->FreeTreeItemData(feed);
        m_treeView->DeleteItemQuietly(feed);
    }

    wxTreeItemId selected = m_treeView->GetSelection();
    uString database;
    const CNamedValue* shown = m_treeView->GetRecord(selected);
    if (shown == nullptr || !GetFeedList(selected, database))
    {
        if (!selected.IsOk())
            ClearShownChannel();
        return 0;
    }
    CFeedStore store;
    store.LoadChannel(database, shown->text);
    ShowChannel(selected, store, shown->text);
    return 0;
}

long CMainFrame::OnMarkAllRead(const CFrameMessage& message)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    wxTreeItemId item = ParamToItem(message.lParam);
    const CNamedValue* record = m_treeView->GetRecord(item);
    if (record == nullptr)
        return 0;
    if (record->value == kList)
    {
        CFeedStore store;
        store.SetDatabase(record->text);
        wxTreeItemIdValue cookie;
        for (wxTreeItemId feed = m_treeView->GetFirstChild(item, cookie); feed.IsOk();
             feed = m_treeView->GetNextChild(item, cookie))
        {
            if (const CNamedValue* feedRecord = m_treeView->GetRecord(feed))
                store.MarkFeedRead(feedRecord->text);
        }
        RefreshListLabels(item);
        return 0;
    }
    uString database;
    if (record->value != kFeed || !GetFeedList(item, database))
        return 0;
    CFeedStore store;
    store.SetDatabase(database);
    store.MarkFeedRead(record->text);
    store.Reset();
    store.LoadChannel(database, record->text);
    RefreshFeedLabel(database, item);
    if (item == m_treeView->GetSelection())
        FillItemList(store);
    return 0;
}

long CMainFrame::OnRemoveOutdated(const CFrameMessage& message)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    wxTreeItemId feed = ParamToItem(message.lParam);
    const CNamedValue* record = m_treeView->GetRecord(feed);
    uString database;
    if (record == nullptr || record->value != kFeed || !GetFeedList(feed, database))
        return 0;
    wxBusyCursor wait;
    CFeedStore store;
    store.downloadManager = m_downloadManager.get();
    if (!store.RefreshFeed(record->text, database, /*showMessages=*/true))
        return 0;
    RefreshFeedLabel(database, feed);
    if (feed == m_treeView->GetSelection())
        FillItemList(store);
    return 0;
}

void CMainFrame::OnRemoveAllOutdated()
{
    m_subscriptionLists = CollectLists(kCollectDatabases);
    if (m_subscriptionLists.empty())
        return;
    wxBusyCursor wait;
    for (const uString& database : m_subscriptionLists)
    {
        uString text;
        text.format(resources::StringText(kRemovingOutdatedText).c_str(), database.c_str());
        ShowStatusText(wxString::FromUTF8(text.c_str()));
        CFeedStore store;
        store.downloadManager = m_downloadManager.get();
        store.RefreshAllFeeds(database, /*showMessages=*/true);
    }
    ShowStatusText(wxString::FromUTF8(std::string(resources::FindString(kDoneText))));
}

long CMainFrame::OnMoveFeed(const CFrameMessage& message)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    auto* request = reinterpret_cast<CTreeDropRequest*>(message.lParam);
    if (request == nullptr)
        return 0;
    wxTreeItemId target = ParamToItem(static_cast<std::intptr_t>(message.wParam));
    // The source keeps the feed until the target has it: a failed fetch
    // must not lose the feed and its items.
    // A feed file the user opened moves with its list's address as it is.
    const bool localFile = !feeds::LocalFeedPath(request->url).isEmpty();
    if (!AddSubscription(target, request->url, uString(), false, false, localFile))
        return 0;
    if (!request->sourceDatabase.isEmpty())
    {
        CFeedStore store;
        store.downloadManager = m_downloadManager.get();
        uString error;
        DeleteFeedRows(store, request->sourceDatabase, request->url, error);
    }
    request->moved = true;
    return 1;
}
