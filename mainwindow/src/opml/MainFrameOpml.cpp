// The frame's outline-file commands: Import (from a file the user picks or
// one named on the command line) and Export of a list or a tree branch.
// Imported feeds go into the list the user picks, stored without fetching
// on a worker thread while a progress dialog keeps the window alive (one
// fetch per feed on the window thread would freeze it); the refresh
// fetches them.
#include "StringTable.h"
#include "common/UserPrompt.h"
#include "dialogs/Opml.h"
#include "dialogs/OpmlDialogs.h"
#include "feeds/FeedAddress.h"
#include "feeds/FeedImport.h"
#include "feeds/FeedStore.h"
#include "feeds/Preference.h"
#include "foundation/uFile.h"
#include "mainwindow/FileChooser.h"
#include "mainwindow/ListDatabaseFiles.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/TreeViewEx.h"

#include <atomic>
#include <map>
#include <set>
#include <thread>
#include <wx/modalhook.h>
#include <wx/progdlg.h>
#include <wx/utils.h>

using namespace subscription;

namespace
{
constexpr int kWriteFailed = 3026;
constexpr int kAddressesSkipped = 3058;
constexpr int kImportedText = 3072;
constexpr int kOutlineFilesName = 3100;
constexpr int kAllFilesName = 3101;

uString OutlineFilter()
{
    return ui::FilterOf({{kOutlineFilesName, "*.opml;*.xml"}, {kAllFilesName, "*.*"}});
}

// Stores the feeds on a worker while the window shows how far it got. Cancel
// stops the worker, which then stores nothing. False when nothing was
// stored: `cancelled` tells whether the user chose that.
bool RunImport(wxWindow* parent, const uString& database, const std::vector<feeds::ImportedFeed>& feeds,
               feeds::ImportCounts& counts, bool& cancelled)
{
    std::atomic<std::size_t> done{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    bool stored = false;
    wxProgressDialog progress("Import", "Adding the feeds to the subscription list...",
                              static_cast<int>(std::max<std::size_t>(feeds.size(), 1)), parent,
                              wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME);
    // Among the dialogs a stop of the program ends: one that is stopping
    // refuses it, and nothing is stored.
    if (wxModalDialogHook::CallEnter(&progress) != wxID_NONE)
    {
        cancelled = true;
        return false;
    }
    progress.Bind(wxEVT_CLOSE_WINDOW,
                  [&stop](wxCloseEvent& event)
                  {
                      stop = true;
                      event.Skip();
                  });
    std::thread worker(
        [&]
        {
            CFeedStore store;
            stored = feeds::AddFeedsUnfetched(
                store, database, feeds, counts, [&](std::size_t count) { done = count; }, &stop);
            finished = true;
        });
    // The dialog keeps the window painting also after a cancel, while the
    // worker undoes what it stored.
    while (!finished)
    {
        if (!progress.Update(static_cast<int>(std::min(done.load(), feeds.size()))))
            stop = true;
        wxMilliSleep(20);
    }
    worker.join();
    wxModalDialogHook::CallExit(&progress);
    cancelled = stop;
    return stored;
}
} // namespace

void CMainFrame::OnFileImport()
{
    ui::FileRequest request;
    request.filter = OutlineFilter();
    request.extensions = {uString("opml"), uString()};
    uString path = ui::ChooseFile(this, request);
    if (!path.isEmpty())
        ImportOpmlFile(path);
}

long CMainFrame::OnOpenOpmlFile(const CFrameMessage& message)
{
    if (m_treeView != nullptr && message.text != nullptr && uFile(message.text->c_str()).exists())
        ImportOpmlFile(*message.text);
    return 0;
}

void CMainFrame::ImportOpmlFile(const uString& path)
{
    std::vector<uString> databases = CollectLists(kCollectDatabases);
    std::vector<uString> labels = CollectLists(kCollectLabels);
    if (databases.empty() || labels.size() != databases.size())
        return;
    OPMLImport dialog(labels, path, this);
    if (dialog.ShowModal() != wxID_OK)
        return;
    std::size_t index = static_cast<std::size_t>(dialog.GetSelectedList());
    if (index >= databases.size())
        return;
    wxTreeItemId list =
        FindTreeItem(databases[index], m_treeView->GetFirstTopLevelItem(), kFindByValue, kList);
    if (!list.IsOk())
        return;

    // The dialog gives the checked addresses; the file gives their titles.
    std::map<std::string, const opml::Row*> rows;
    for (const opml::Row& row : dialog.GetDocument().rows)
        rows.emplace(row.link.c_str(), &row);
    std::vector<feeds::ImportedFeed> feeds;
    std::vector<uString> skipped;
    for (const uString& link : dialog.checkedLinks)
    {
        uString address = feeds::FeedAddress(link);
        if (address.isEmpty())
        {
            skipped.push_back(link);
            continue;
        }
        auto row = rows.find(link.c_str());
        if (row != rows.end())
            feeds.push_back({address, row->second->title, row->second->description});
        else
            feeds.push_back({address, uString(), uString()});
    }
    if (!skipped.empty())
        ui::ShowPromptDetail(this, kAddressesSkipped, wxOK | wxICON_WARNING, feeds::ListAddresses(skipped));
    ImportIntoList(list, feeds);
}

void CMainFrame::ImportIntoList(const wxTreeItemId& list, const std::vector<feeds::ImportedFeed>& feeds)
{
    const CNamedValue* record = m_treeView->GetRecord(list);
    if (record == nullptr || feeds.empty())
        return;
    uString database = record->text.isEmpty() ? uString(CConnectionString::kDefaultDatabase) : record->text;
    feeds::ImportCounts counts;
    bool cancelled = false;
    if (!RunImport(this, database, feeds, counts, cancelled))
    {
        // A cancel changed nothing and needs no word.
        if (!cancelled)
            ui::ShowPrompt(this, kWriteFailed, wxOK | wxICON_WARNING, ListDatabaseFile(database));
        return;
    }

    // The list shows what its database now holds. Items already shown stay
    // (one of them may be the channel the item list shows): only the new
    // feeds are added to an open list; a closed one reads them as it opens.
    wxTreeItemId first = m_treeView->GetFirstChildItem(list);
    if (!first.IsOk())
        LoadListFeeds(list);
    else if (!m_treeView->IsPlaceholder(first))
    {
        std::set<std::string> shown;
        wxTreeItemIdValue cookie;
        for (wxTreeItemId child = m_treeView->GetFirstChild(list, cookie); child.IsOk();
             child = m_treeView->GetNextChild(list, cookie))
        {
            if (const CNamedValue* feed = m_treeView->GetRecord(child))
                shown.insert(feed->text.c_str());
        }
        for (const feeds::ImportedFeed& feed : feeds)
        {
            if (!shown.insert(feed.url.c_str()).second)
                continue;
            // A feed without a title shows its address until its first fetch names it.
            uString label = feed.title.isEmpty() ? feed.url : feed.title;
            if (!feed.title.isEmpty())
                MakeValidFileName(label);
            m_treeView->AppendNode(list, kFeed, label, feed.url);
        }
    }
    m_treeView->Expand(list);
    for (wxTreeItemId item = m_treeView->GetParentItem(list); item.IsOk();
         item = m_treeView->GetParentItem(item))
        m_treeView->Expand(item);
    uString status;
    status.format(resources::StringText(kImportedText).c_str(), counts.added, counts.known);
    ShowStatusText(wxString::FromUTF8(status.c_str()));
    // The new feeds are due: the refresh workers fetch them, not this thread.
    if (counts.added > 0 && CanRefreshNow())
        RefreshAll();
}

void CMainFrame::OnFileExport()
{
    std::vector<uString> databases = CollectLists(kCollectDatabases);
    std::vector<uString> labels = CollectLists(kCollectLabels);
    if (databases.empty() || labels.size() != databases.size())
        return;
    OPMLExport dialog(labels, uString(), this);
    if (dialog.ShowModal() != wxID_OK)
        return;
    std::size_t index = static_cast<std::size_t>(dialog.GetSelectedList());
    if (index < databases.size())
        ExportListAsOpml(databases[index], labels[index]);
}

namespace
{
std::vector<opml::Feed> ListFeeds(const uString& database)
{
    std::vector<opml::Feed> feeds;
    CFeedStore store;
    std::vector<uString> urls;
    store.GetFeedList(database, urls);
    for (const uString& url : urls)
    {
        store.Reset();
        store.LoadChannel(database, url);
        feeds.push_back({store.channel.title, store.channel.description, url, uString()});
    }
    return feeds;
}
} // namespace

void CMainFrame::ExportListAsOpml(const uString& database, const uString& label)
{
    ui::FileRequest request;
    request.save = true;
    request.filter = OutlineFilter();
    request.defaultName = label + ".opml";
    request.extensions = {uString("opml"), uString("opml")};
    uString path = ui::ChooseFile(this, request);
    if (path.isEmpty())
        return;
    wxBusyCursor wait;
    if (!opml::WriteList(label, ListFeeds(database), path.c_str()))
        ui::ShowPrompt(this, kWriteFailed, wxOK | wxICON_WARNING, path);
}

opml::Node CMainFrame::BranchNode(const wxTreeItemId& item)
{
    opml::Node node;
    const CNamedValue* record = m_treeView->GetRecord(item);
    if (record == nullptr)
    {
        node.kind = kFeed; // writes nothing
        return node;
    }
    node.kind = record->value;
    node.label = m_treeView->GetLabel(item);
    if (node.kind == kList)
    {
        node.hasDatabase = !record->text.isEmpty();
        if (node.hasDatabase)
            node.feeds = ListFeeds(record->text);
    }
    if (node.kind != kChannel && node.kind != kFolder)
        return node;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = m_treeView->GetFirstChild(item, cookie); child.IsOk();
         child = m_treeView->GetNextChild(item, cookie))
        node.children.push_back(BranchNode(child));
    return node;
}

bool CMainFrame::SaveBranchAsOpml(const wxTreeItemId& item, const uString& path)
{
    wxTreeItemId branch = item.IsOk() ? item : m_treeView->GetFirstTopLevelItem();
    uString title = item.IsOk() ? m_treeView->GetLabel(item) : uString(opml::kDefaultTitle);
    wxBusyCursor wait;
    if (!branch.IsOk())
        return opml::WriteBranch(nullptr, title, path.c_str());
    opml::Node node = BranchNode(branch);
    return opml::WriteBranch(&node, title, path.c_str());
}
