// The frame's operations on subscription lists: loading a list's feeds into
// the tree, opening, creating and removing lists, and searching one list.
#include "common/UserPrompt.h"
#include "feeds/FeedSearchCriteria.h"
#include "feeds/FeedStore.h"
#include "feeds/Preference.h"
#include "foundation/uTranslation.h"
#include "mainwindow/FeedLabel.h"
#include "mainwindow/ListDatabaseFiles.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/TreeViewEx.h"

#include <algorithm>
#include <wx/utils.h>

using namespace subscription;

namespace
{
constexpr int kDatabaseMissing = 3012;
constexpr int kConfirmRemove = 3016;
constexpr int kNamedDatabaseMissing = 3019;
constexpr int kListLabelEmpty = 3020;
constexpr int kPhraseEmpty = 3021;
constexpr int kNothingFound = 3022;
const char* const kNewListLabel = "New List";

uString DatabaseOf(const CNamedValue& list)
{
    return list.text.isEmpty() ? uString(CConnectionString::kDefaultDatabase) : list.text;
}

bool NamesDatabaseBelow(const CTreeViewEx& tree, const wxTreeItemId& parent, const wxTreeItemId& except,
                        const uString& database)
{
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = tree.GetFirstChild(parent, cookie); item.IsOk();
         item = tree.GetNextChild(parent, cookie))
    {
        const CNamedValue* record = tree.GetRecord(item);
        if (item != except && record != nullptr && record->value == kList && DatabaseOf(*record) == database)
            return true;
        if (NamesDatabaseBelow(tree, item, except, database))
            return true;
    }
    return false;
}
} // namespace

bool CMainFrame::IsListDatabaseShared(const wxTreeItemId& list) const
{
    const CNamedValue* record = m_treeView->GetRecord(list);
    return record != nullptr &&
           NamesDatabaseBelow(*m_treeView, m_treeView->GetRootItem(), list, DatabaseOf(*record));
}

uString CMainFrame::ListDatabaseFile(const uString& database) const
{
    return ListDatabasePath(m_preference->GetSubscriptionDir().getPath(), database);
}

bool CMainFrame::LoadListFeeds(const wxTreeItemId& list)
{
    if (!list.IsOk() || m_treeView == nullptr)
        return false;
    const CNamedValue* record = m_treeView->GetRecord(list);
    if (record == nullptr || record->value != kList)
        return true;
    uString database = DatabaseOf(*record);
    if (!IsListDatabaseUsable(ListDatabaseFile(database)))
    {
        m_treeView->SetImages(list, kImageWarning, kImageWarning);
        return true;
    }

    // One connection and one statement for the whole list: an imported list
    // may hold a hundred thousand feeds, and it opens on the window's thread.
    CFeedStore store;
    store.SetDatabase(database);
    std::vector<CChannelCount> channels;
    store.ListChannelsByTitle(channels); // a failed read has told the user
    const uFile icons = m_preference->GetIconsDir();
    for (const CChannelCount& channel : channels)
    {
        // A feed imported without a title shows its address until its first fetch names it.
        const uString& title = channel.title.isEmpty() ? channel.feed : channel.title;
        wxTreeItemId feed =
            m_treeView->AppendNode(list, kFeed, FeedLabel(title, channel.unread), channel.feed);
        if (channel.iconFile.isEmpty())
            continue;
        uFile icon(icons.getPath().c_str(), channel.iconFile.c_str());
        if (!icon.isFile())
            continue;
        int index = GetIconIndex(channel.iconFile);
        if (index < kTreeImageCount && AddIcon(icon.getPath()))
            index = GetIconIndex(channel.iconFile);
        if (index >= kTreeImageCount)
            m_treeView->SetImages(feed, index, index);
    }
    return true;
}

long CMainFrame::OnTreeExpanding(const CFrameMessage& message)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    wxTreeItemId list = ParamToItem(message.lParam);
    const CNamedValue* record = m_treeView->GetRecord(list);
    if (record == nullptr || record->value != kList || record->text.isEmpty() ||
        m_treeView->GetFirstChildItem(list).IsOk())
        return 0;
    wxBusyCursor wait;
    if (!IsListDatabaseUsable(ListDatabaseFile(record->text)))
    {
        ui::ShowPrompt(this, kDatabaseMissing, wxOK | wxICON_INFORMATION);
        m_treeView->SetImages(list, kImageWarning, kImageWarning);
        return 0;
    }
    LoadListFeeds(list);
    m_treeView->Expand(list);
    return 0;
}

long CMainFrame::OnOpenList(const CFrameMessage& message)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    wxTreeItemId list = ParamToItem(message.lParam);
    const CNamedValue* record = m_treeView->GetRecord(list);
    if (record == nullptr || record->value != kList)
        return 0;
    wxTreeItemId first = m_treeView->GetFirstChildItem(list);
    if (first.IsOk() && !m_treeView->IsPlaceholder(first))
    {
        m_treeView->Expand(list);
        return 0;
    }
    if (first.IsOk())
        m_treeView->DeleteItemQuietly(first);
    uString database = DatabaseOf(*record);
    if (!uFile(ListDatabaseFile(database).c_str()).exists())
    {
        ui::ShowPrompt(this, kNamedDatabaseMissing, wxOK | wxICON_INFORMATION, database);
        return 0;
    }
    LoadListFeeds(list);
    m_treeView->Expand(list);
    return 0;
}

uString CMainFrame::CreateList(const wxTreeItemId& target)
{
    if (!m_treeView->IsKind(target, kChannel) && !m_treeView->IsKind(target, kFolder))
        return uString();
    uFile templateFile(m_preference->GetProgramDir().c_str(), "template", "default.mdb");
    uString name = CreateListDatabase(m_preference->GetSubscriptionDir().getPath(), templateFile.getPath());
    if (name.isEmpty())
        return name;
    wxTreeItemId list =
        m_treeView->AppendNode(target, kList, uString(std::string(uTr(kNewListLabel)).c_str()), name);
    m_treeView->AppendPlaceholder(list);
    return name;
}

long CMainFrame::OnNewList(const CFrameMessage& message)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    uString name = CreateList(ParamToItem(message.lParam));
    if (!name.isEmpty())
        m_subscriptionLists.push_back(name);
    RefillListCombo();
    return 0;
}

void CMainFrame::OnFileNewList()
{
    wxTreeItemId target = m_treeView->GetRememberedItem();
    if (!m_treeView->IsKind(target, kChannel) && !m_treeView->IsKind(target, kFolder))
        target = m_treeView->GetFirstTopLevelItem();
    if (target.IsOk())
        CreateList(target);
    RefillListCombo();
}

long CMainFrame::OnRemoveList(const CFrameMessage& message)
{
    if (m_treeView == nullptr) // the window is closing
        return 0;
    wxTreeItemId list = ParamToItem(message.lParam);
    const CNamedValue* record = m_treeView->GetRecord(list);
    if (record == nullptr || record->value != kList)
        return 0;
    if (ui::ShowPrompt(this, kConfirmRemove, wxYES_NO | wxICON_QUESTION, m_treeView->GetLabel(list)) != wxYES)
        return 0;
    // A copied list item names the same database as its original: the file
    // and its name in the list vector stay while another item holds them.
    if (!IsListDatabaseShared(list))
    {
        // A file that cannot be deleted leaves the list as it is.
        if (!RemoveListDatabase(ListDatabaseFile(DatabaseOf(*record))))
            return 0;
        std::erase(m_subscriptionLists, record->text);
    }
    m_treeView->FreeTreeItemData(list);
    m_treeView->DeleteItemQuietly(list);
    RefillListCombo();
    return 0;
}

bool CMainFrame::SearchList(CFeedStore& store, const CFeedSearchCriteria& criteria, int mode)
{
    wxTreeItemId list = FindTreeItem(criteria.listName, m_treeView->GetFirstTopLevelItem(), mode, kList);
    const CNamedValue* record = m_treeView->GetRecord(list);
    if (record == nullptr)
        return false;
    CFeedSearchCriteria request = criteria;
    request.listName = DatabaseOf(*record);
    store.SetDatabase(request.listName);
    return store.OpenSearch(request) > 0 && store.LoadSearchResults(request, /*clearFirst=*/false);
}

bool CMainFrame::SearchDatabases(const CFeedSearchCriteria& request)
{
    if (request.listName.isEmpty())
    {
        ui::ShowPrompt(this, kListLabelEmpty, wxOK);
        return false;
    }
    if (request.phrase.isEmpty())
    {
        ui::ShowPrompt(this, kPhraseEmpty, wxOK);
        return false;
    }
    CFeedStore store;
    if (!SearchList(store, request, kFindByLabel))
    {
        ui::ShowPrompt(this, kNothingFound, wxOK, request.phrase);
        return false;
    }
    FillItemList(store);
    return true;
}
