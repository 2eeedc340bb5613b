// The frame's outline-file commands: Import (from a file the user picks or
// one named on the command line) and Export of a list or a tree branch.
// Imported feeds are stored without fetching, on a worker thread, while a
// progress dialog keeps the window alive; the refresh fetches them.
#include "dialogs/Opml.h"
#include "dialogs/OpmlDialogs.h"
#include "feeds/FeedImport.h"
#include "feeds/FeedStore.h"
#include "feeds/Preference.h"
#include "foundation/uFile.h"
#include "mainwindow/FileChooser.h"
#include "mainwindow/ListDatabaseFiles.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/TreeViewEx.h"
#include "common/UserPrompt.h"

#include <atomic>
#include <set>
#include <thread>
#include <wx/progdlg.h>
#include <wx/utils.h>

using namespace subscription;

namespace
{
constexpr int kWriteFailed = 3026;
const char* const kOutlineFilter =
    "Subscription Outline Files (*.opml; *.xml)|*.opml;*.xml|All Files (*.*)|*.*";

// One list database and the feeds it is to receive.
struct ImportJob
{
    uString database;
    std::vector<feeds::ImportedFeed> feeds;
    std::size_t processed = 0; // the first feeds looked at; a cancel leaves the rest out
};

std::vector<feeds::ImportedFeed> ToImported(const std::vector<opml::Feed>& feeds)
{
    std::vector<feeds::ImportedFeed> imported;
    imported.reserve(feeds.size());
    for (const opml::Feed& feed : feeds)
        imported.push_back({feed.url, feed.title, feed.description});
    return imported;
}

// Stores the jobs on a worker while the window shows how far it got; Cancel
// stops after the batch in hand. Returns what was stored.
feeds::ImportCounts RunImportJobs(wxWindow* parent, std::vector<ImportJob>& jobs, std::size_t total)
{
    feeds::ImportCounts counts;
    std::atomic<std::size_t> done{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    std::thread worker(
        [&]
        {
            std::size_t before = 0;
            for (ImportJob& job : jobs)
            {
                if (stop)
                    break;
                CFeedStore store;
                feeds::AddFeedsUnfetched(
                    store, job.database, job.feeds, counts,
                    [&](std::size_t stored)
                    {
                        job.processed = stored;
                        done = before + stored;
                    },
                    &stop);
                before += job.feeds.size();
                done = before;
            }
            finished = true;
        });
    {
        wxProgressDialog progress("Import", "Adding the feeds to the subscription lists...",
                                  static_cast<int>(std::max<std::size_t>(total, 1)), parent,
                                  wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME);
        while (!finished)
        {
            if (!progress.Update(static_cast<int>(std::min(done.load(), total))))
                stop = true;
            wxMilliSleep(20);
        }
    }
    worker.join();
    return counts;
}
} // namespace

void CMainFrame::OnFileImport()
{
    ui::FileRequest request;
    request.filter = kOutlineFilter;
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
    std::set<std::string> chosen;
    for (const uString& link : dialog.checkedLinks)
        chosen.insert(link.c_str());
    ImportIntoList(list, opml::PlanImport(dialog.GetDocument().outlines, chosen));
}

void CMainFrame::ImportIntoList(const wxTreeItemId& list, const opml::ImportPlan& plan)
{
    const CNamedValue* record = m_treeView->GetRecord(list);
    if (record == nullptr || plan.FeedCount() == 0)
        return;
    std::vector<ImportJob> jobs;
    std::vector<wxTreeItemId> lists;
    jobs.push_back({record->text.isEmpty() ? uString(CConnectionString::kDefaultDatabase) : record->text,
                    ToImported(plan.feeds)});
    lists.push_back(list);

    // The file's groups go beside the chosen list: lists with a database of
    // their own, folders holding them.
    uString folder = m_preference->GetSubscriptionDir().getPath();
    uFile templateFile(m_preference->GetProgramDir().c_str(), "template", "default.mdb");
    std::function<void(const wxTreeItemId&, const opml::Node&)> place =
        [&](const wxTreeItemId& parent, const opml::Node& node)
    {
        if (node.kind == kList)
        {
            uString name = CreateListDatabase(folder, templateFile.getPath());
            if (name.isEmpty())
                return;
            wxTreeItemId item = m_treeView->AppendNode(parent, kList, node.label, name);
            m_subscriptionLists.push_back(name);
            jobs.push_back({name, ToImported(node.feeds)});
            lists.push_back(item);
            return;
        }
        wxTreeItemId item = m_treeView->AppendNode(parent, kFolder, node.label, uString());
        for (const opml::Node& child : node.children)
            place(item, child);
        m_treeView->Expand(item);
    };
    wxTreeItemId parent = m_treeView->GetParentItem(list);
    for (const opml::Node& group : plan.groups)
        place(parent, group);

    feeds::ImportCounts counts = RunImportJobs(this, jobs, plan.FeedCount());

    // Each list shows what its database now holds. Items already shown stay
    // (one of them may be the channel the item list shows): only the new
    // feeds are added to an open list.
    for (std::size_t i = 0; i < lists.size(); ++i)
    {
        const wxTreeItemId& item = lists[i];
        wxTreeItemId first = m_treeView->GetFirstChildItem(item);
        if (!first.IsOk())
            LoadListFeeds(item);
        else if (!m_treeView->IsPlaceholder(first))
        {
            std::set<std::string> shown;
            wxTreeItemIdValue cookie;
            for (wxTreeItemId child = m_treeView->GetFirstChild(item, cookie); child.IsOk();
                 child = m_treeView->GetNextChild(item, cookie))
            {
                if (const CNamedValue* feed = m_treeView->GetRecord(child))
                    shown.insert(feed->text.c_str());
            }
            for (std::size_t k = 0; k < jobs[i].processed; ++k)
            {
                const feeds::ImportedFeed& feed = jobs[i].feeds[k];
                if (!shown.insert(feed.url.c_str()).second)
                    continue;
                uString label = feed.title;
                MakeValidFileName(label);
                m_treeView->AppendNode(item, kFeed, label, feed.url);
            }
        }
        // A closed list reads its feeds as it opens.
        m_treeView->Expand(item);
    }
    for (wxTreeItemId item = m_treeView->GetParentItem(list); item.IsOk();
         item = m_treeView->GetParentItem(item))
        m_treeView->Expand(item);
    uString status;
    status.format("Imported %zu feeds (%zu already subscribed)", counts.added, counts.known);
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
    request.filter = kOutlineFilter;
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
