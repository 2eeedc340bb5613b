// The subscription tree's file, read once while the window is built and
// written after each change to the tree and when the window closes, and the
// lists collected from the tree.
#include "StringTable.h"
#include "common/UserPrompt.h"
#include "feeds/Preference.h"
#include "foundation/uTranslation.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/SubscriptionTreeFile.h"
#include "mainwindow/TreeViewEx.h"

#include <cstdio>

using namespace subscription;

namespace
{
constexpr int kTreeFileUnreadable = 3011;
constexpr int kTreeFileNotWritten = 3026;

constexpr int kFirstListName = 3103;

// True when a list of the seed's was given its name in the interface language.
bool NameSeededLists(std::vector<TreeNode>& nodes)
{
    const uString english(std::string(resources::OriginalString(kFirstListName)).c_str());
    const uString translated = resources::StringText(kFirstListName);
    bool named = false;
    for (TreeNode& node : nodes)
    {
        if (node.kind == kList && node.label == english && translated != english)
        {
            node.label = translated;
            named = true;
        }
        named = NameSeededLists(node.children) || named;
    }
    return named;
}

void CollectListsBelow(const CTreeViewEx& tree, const wxTreeItemId& parent, int mode,
                       std::vector<uString>& lists)
{
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = tree.GetFirstChild(parent, cookie); item.IsOk();
         item = tree.GetNextChild(parent, cookie))
    {
        const CNamedValue* record = tree.GetRecord(item);
        if (record != nullptr && record->value == kList && !record->text.isEmpty())
            lists.push_back(mode == CMainFrame::kCollectLabels ? tree.GetLabel(item) : record->text);
        CollectListsBelow(tree, item, mode, lists);
    }
}
} // namespace

void CMainFrame::LoadTree()
{
    std::vector<TreeNode> roots;
    uString setAside;
    if (ReadTreeFile(m_subscriptionTreeFile, roots, setAside) == TreeFileStatus::kUnreadable)
    {
        if (!setAside.isEmpty())
            std::fprintf(stderr, "The unreadable subscription tree was kept as %s\n", setAside.c_str());
        ui::ShowPrompt(this, kTreeFileUnreadable, wxOK);
    }
    // The seed's first list is named in the interface language when it is
    // made; from then on the name is the user's, as stored.
    const bool named = m_preference->IsSubscriptionTreeSeeded() && NameSeededLists(roots);
    for (const TreeNode& node : roots)
        ReadTreeNode(node, wxTreeItemId());
    m_subscriptionLists = CollectLists(kCollectDatabases);

    // A change kept only in the window would be lost to a crash or a kill:
    // from now on each one is written at once.
    m_writtenTree = m_treeView->CollectNodes();
    if (named)
        WriteTree();
    m_treeView->SetChangeHandler([this] { ScheduleTreeWrite(); });
}

void CMainFrame::ReadTreeNode(const TreeNode& node, const wxTreeItemId& parent)
{
    wxTreeItemId item = m_treeView->AppendNode(parent, node.kind, node.label, node.value);
    if (node.kind == kList)
    {
        // An open list is read from its database now; a closed one waits
        // behind its placeholder until it is opened.
        if (node.expanded)
        {
            if (LoadListFeeds(item))
                m_treeView->Expand(item);
        }
        else
        {
            m_treeView->AppendPlaceholder(item);
        }
    }
    for (const TreeNode& child : node.children)
        ReadTreeNode(child, item);
    if ((node.kind == kChannel || node.kind == kFolder) && node.expanded)
        m_treeView->Expand(item);
}

void CMainFrame::WriteTree()
{
    if (m_treeView == nullptr)
        return;
    std::vector<TreeNode> nodes = m_treeView->CollectNodes();
    // The file that holds the tree stays as it was rather than become one
    // the next start refuses, which would lose the whole tree.
    if (!FitsTreeFile(nodes))
    {
        uString reason(
            std::string(uTr("The subscription tree is nested too deep to be saved. Move folders up a level."))
                .c_str());
        ui::ShowText(
            this, ui::FormatString(kTreeFileNotWritten, m_subscriptionTreeFile.getPath()) + "\n\n" + reason,
            wxOK | wxICON_WARNING);
        return;
    }
    WriteTreeFile(m_subscriptionTreeFile, nodes);
}

void CMainFrame::ScheduleTreeWrite()
{
    // One write for an operation, however many items it touched: a dropped
    // folder is copied item by item.
    if (m_treeWriteScheduled)
        return;
    m_treeWriteScheduled = true;
    CallAfter(
        [this]
        {
            m_treeWriteScheduled = false;
            WriteTreeIfChanged();
        });
}

void CMainFrame::WriteTreeIfChanged()
{
    if (m_treeView == nullptr) // the window is closing: the close writes the tree
        return;
    std::vector<TreeNode> nodes = m_treeView->CollectNodes();
    // Most changes are unread counts in feed labels, which the file does not keep.
    if (nodes == m_writtenTree)
        return;
    // Tried once for each arrangement, also when it is refused: a refresh
    // that changes counts must not try (and warn) again and again.
    m_writtenTree = std::move(nodes);
    WriteTree();
}

void CMainFrame::FreeTreeItemData()
{
    if (m_treeView != nullptr)
        m_treeView->FreeTreeItemData(m_treeView->GetRootItem());
}

std::vector<uString> CMainFrame::CollectLists(int mode)
{
    if (m_listCollector)
        return m_listCollector(mode);
    std::vector<uString> lists;
    if (m_treeView != nullptr)
        CollectListsBelow(*m_treeView, m_treeView->GetRootItem(), mode, lists);
    return lists;
}
