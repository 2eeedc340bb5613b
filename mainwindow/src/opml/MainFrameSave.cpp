// The frame's operations that turn what is shown into files and addresses
// into subscriptions: Save, a local feed file, the feeds of a page, an
// address to subscribe to (from the feed directory or a page) and a source
// view. Downloads run on a worker behind a progress dialog that can cancel
// them, with a bounded time-out; a cancelled command changes nothing.
#include "CommandIds.h"
#include "StringTable.h"
#include "common/FetchProgress.h"
#include "common/UserPrompt.h"
#include "dialogs/FeedBrowserDlg.h"
#include "dialogs/OpmlDialogs.h"
#include "dialogs/RssExport.h"
#include "downloads/TransferRowData.h"
#include "feeds/FeedAddress.h"
#include "feeds/FeedDiscovery.h"
#include "feeds/FeedDocType.h"
#include "feeds/FeedStore.h"
#include "feeds/LibraryFiles.h"
#include "feeds/Preference.h"
#include "feeds/WebFetch.h"
#include "foundation/uFile.h"
#include "foundation/uHtmlParser.h"
#include "mainwindow/FeedSubscription.h"
#include "mainwindow/FileChooser.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/TreeViewEx.h"
#include "mainwindow/WebBrowserFrame.h"

#include <algorithm>
#include <wx/utils.h>

using namespace subscription;

namespace
{
constexpr int kWriteFailed = 3026;
constexpr int kDownloadFailed = 3009;
constexpr int kOnlyOutlines = 3023;
constexpr int kWebPage = 3024;
constexpr int kUnknownFormat = 3025;
constexpr int kNoFeedsInPage = 3027;
constexpr int kRssFileCaption = 3035;
constexpr int kAddressRefused = 3058;
constexpr int kProbeTimeoutSeconds = 5;
constexpr int kSourceTimeoutSeconds = 60;
// A redirect document may point at itself or at another that points back.
constexpr int kMaxRedirects = 10;

// A downloaded document in the temp folder, deleted when it goes.
class TempDownload
{
public:
    explicit TempDownload(const uString& url)
    {
        uFile folder = CPreference::GetInstance()->GetTempDir();
        folder.ensureDirectory();
        m_file = uFile(folder.getPath().c_str(), feeds::Md5Hex(url).c_str());
    }
    ~TempDownload() { m_file.remove(); }
    TempDownload(const TempDownload&) = delete;
    TempDownload& operator=(const TempDownload&) = delete;

    ui::FetchEnd Fetch(wxWindow* parent, const uString& caption, const uString& url, int timeout)
    {
        m_file.remove(); // never resume an earlier document
        const uFile target = m_file;
        return ui::RunFetch(parent, caption, url,
                            [&](const std::atomic<bool>& abort)
                            {
                                return FetchUrlToFile(url, target, timeout, nullptr, /*login=*/true,
                                                      /*prompt=*/true, nullptr, &abort);
                            });
    }
    bool Read(uString& text) const
    {
        uFile file(m_file.getPath().c_str(), uFile::kModeRead);
        bool read = file.open() && file.readAll(text);
        file.close();
        return read;
    }
    const uFile& File() const { return m_file; }

private:
    uFile m_file;
};

uString UrlOf(const CFrameMessage& message)
{
    if (message.text != nullptr)
        return *message.text;
    const auto* url = reinterpret_cast<const uString*>(message.lParam);
    return url != nullptr ? *url : uString();
}
} // namespace

void CMainFrame::OnFileSave()
{
    if (m_treeView == nullptr || m_browserFrame == nullptr)
        return;
    // A pane that cannot give its source leaves Save with nothing to do.
    m_browserFrame->GetHtmlCtrl()->GetDocumentSource(
        [this, open = StillOpen()](bool found, const uString& source)
        {
            if (found && open())
                SaveShown(source);
        });
}

void CMainFrame::SaveShown(const uString& source)
{
    bool hasPage = !source.isEmpty();
    bool hasItems = m_itemListView != nullptr && m_itemListView->GetRowCount() > 0;
    wxTreeItemId selected = m_treeView->GetSelection();
    const CNamedValue* record = m_treeView->GetRecord(selected);
    bool branch = record != nullptr && record->value != kFeed && record->value != kWatch;
    rssexport::SaveChoices choices = rssexport::OfferedChoices(hasPage, hasItems, branch);
    if (choices.filter.isEmpty())
        return;

    ui::FileRequest request;
    request.save = true;
    request.filter = choices.filter;
    request.extensions = choices.extensions;
    int filter = -1;
    uString path = ui::ChooseFile(this, request, &filter);
    if (path.isEmpty())
        return;
    bool written = true;
    // A name whose extension names nothing offered gets what the chosen
    // filter showed, under the name the dialog asked about.
    switch (rssexport::ActionForSave(path, choices, filter))
    {
    case rssexport::SaveAction::kPage:
        written = uFile(path.c_str()).replaceContents(source.c_str(), source.getLength());
        break;
    case rssexport::SaveAction::kRss:
        written = SaveItemsAsRss(path);
        break;
    case rssexport::SaveAction::kOpml:
        written = SaveBranchAsOpml(selected, path);
        break;
    case rssexport::SaveAction::kNothing:
        break;
    }
    if (!written)
        ui::ShowPrompt(this, kWriteFailed, wxOK | wxICON_WARNING, path);
}

bool CMainFrame::SaveItemsAsRss(const uString& path)
{
    std::vector<CItemRecord> items;
    wxBusyCursor wait;
    for (int row = 0; m_itemListView != nullptr && row < m_itemListView->GetRowCount(); ++row)
    {
        const CTransferRowData* data = m_itemListView->GetRowData(row);
        if (data == nullptr || data->ds.isEmpty() || data->item.isEmpty())
            continue;
        CFeedStore store;
        store.SetDatabase(data->ds);
        CItemRecord item;
        item.link = data->item;
        store.LoadItemText(item);
        store.LoadEnclosure(item);
        items.push_back(std::move(item));
    }
    return rssexport::WriteItems(items, path.c_str());
}

long CMainFrame::OnOpenRssFile(const CFrameMessage& message)
{
    if (m_treeView == nullptr || message.text == nullptr)
        return 0;
    std::vector<uString> databases = CollectLists(kCollectDatabases);
    std::vector<uString> labels = CollectLists(kCollectLabels);
    if (databases.empty() || labels.size() != databases.size())
        return 0;
    OPMLExport dialog(labels, ui::FormatString(kRssFileCaption), this);
    if (dialog.ShowModal() != wxID_OK)
        return 0;
    std::size_t index = static_cast<std::size_t>(dialog.GetSelectedList());
    wxTreeItemId list =
        index < databases.size()
            ? FindTreeItem(databases[index], m_treeView->GetFirstTopLevelItem(), kFindByValue, kList)
            : wxTreeItemId();
    if (list.IsOk())
        AddSubscription(list, uString("file://") + *message.text, uString(), false, false,
                        /*localFile=*/true);
    return 0;
}

void CMainFrame::SubscribeFeedsOfPage(const uString& url, const uString& text)
{
    // The page's own feed links, before the pane may show another page.
    const std::list<CFeedLink> headLinks = m_browserFrame->GetHtmlCtrl()->GetFeedLinks();
    std::vector<uString> links;
    std::vector<uString> titles;
    std::vector<uString> descriptions;
    bool accepted = false;
    // The probe and the candidates' texts come from the network: on the
    // worker, which fills the three lists and `accepted` only.
    ui::FetchEnd end = ui::RunFetch(
        this, uString(std::string(resources::CommandTip(resources::cmd::kLookForFeeds)).c_str()), url,
        [&](const std::atomic<bool>& abort)
        {
            CFeedProbe probe(url);
            probe.SetAbortFlag(&abort);
            probe.CollectLinks(text);
            probe.Run();
            accepted = !probe.GetAccepted().empty();
            for (const uString& candidate : probe.GetAccepted())
            {
                uString body;
                if (abort)
                    break;
                if (!FetchUrlToString(candidate, body, kProbeTimeoutSeconds, nullptr, true, true, &abort) ||
                    body.isEmpty())
                    continue;
                uHtmlParser parser;
                auto* handler = new CFeedProbeHandler();
                parser.setHandler(handler);
                parser.parseBuffer(body.c_str(), body.getLength());
                links.push_back(candidate);
                titles.push_back(handler->GetTitle());
                descriptions.push_back(handler->GetDescription());
            }
            return true;
        });
    if (end == ui::FetchEnd::kCancelled)
        return;
    if (!accepted && headLinks.empty())
    {
        ui::ShowPrompt(this, kNoFeedsInPage, wxOK | wxICON_INFORMATION);
        return;
    }
    for (const CFeedLink& link : headLinks)
    {
        if (std::find(links.begin(), links.end(), link.link) != links.end())
            continue;
        links.push_back(link.link);
        titles.push_back(link.title);
        descriptions.emplace_back();
    }
    if (links.empty())
        return;
    std::vector<uString> databases = CollectLists(kCollectDatabases);
    std::vector<uString> labels = CollectLists(kCollectLabels);
    if (databases.empty() || labels.size() != databases.size())
        return;
    OPMLImport dialog(labels, links, titles, descriptions, this);
    if (dialog.ShowModal() != wxID_OK)
        return;
    std::size_t index = static_cast<std::size_t>(dialog.GetSelectedList());
    wxTreeItemId list =
        index < databases.size()
            ? FindTreeItem(databases[index], m_treeView->GetFirstTopLevelItem(), kFindByValue, kList)
            : wxTreeItemId();
    if (!list.IsOk())
        return;
    // A page may name any address as its feed: only network ones are subscribed.
    std::vector<uString> skipped;
    for (const uString& link : dialog.checkedLinks)
    {
        if (feeds::FeedAddress(link).isEmpty())
            skipped.push_back(link);
    }
    if (!skipped.empty())
        ui::ShowPromptDetail(this, kAddressRefused, wxOK | wxICON_WARNING, feeds::ListAddresses(skipped));
    for (const uString& link : dialog.checkedLinks)
    {
        if (!feeds::FeedAddress(link).isEmpty())
            AddSubscription(list, link, uString(), false, false);
    }
}

long CMainFrame::OnSubscribeUrl(const CFrameMessage& message)
{
    uString url = UrlOf(message);
    if (m_treeView == nullptr || url.isEmpty())
        return 0;
    // The directory offers what its document names; a local file or a
    // script is not a feed.
    uString address = feeds::FeedAddress(url);
    if (address.isEmpty())
        ui::ShowPromptDetail(this, kAddressRefused, wxOK | wxICON_WARNING, url);
    else
        SubscribeUrl(address, 0);
    return 0;
}

bool CMainFrame::SubscribeUrl(const uString& url, int hops)
{
    if (hops > kMaxRedirects)
    {
        ui::ShowPrompt(this, kDownloadFailed, wxOK | wxICON_WARNING, url);
        return false;
    }
    TempDownload download(url);
    ui::FetchEnd end = download.Fetch(this, uString("Subscribe"), url, WindowFetchTimeout());
    if (end == ui::FetchEnd::kCancelled)
        return false;
    if (end == ui::FetchEnd::kFailed)
    {
        ui::ShowPrompt(this, kDownloadFailed, wxOK | wxICON_WARNING, url);
        return false;
    }
    CFeedDocType kind(download.File(), url);
    if (kind.IsRedirect())
        return SubscribeUrl(kind.GetURL(), hops + 1);

    // Atom and RDF feeds are feeds too, though not RSS.
    bool feed = kind.IsRss();
    if (kind.IsOther())
    {
        CFeedStore probe;
        feed = probe.LoadFeedFile(download.File(), false);
    }
    if (feed)
        return SubscribeIntoChosenList(url);
    if (kind.IsOpml())
    {
        ui::ShowPrompt(this, kOnlyOutlines, wxOK | wxICON_INFORMATION, url);
        ImportOpmlFile(download.File().getPath());
        return true;
    }
    uString text;
    bool readable = download.Read(text);
    CHtmlCtrl* html = m_browserFrame->GetHtmlCtrl();
    if (kind.IsWebPage())
    {
        if (!readable)
        {
            ui::ShowPrompt(this, kWebPage, wxOK | wxICON_INFORMATION, url);
            return false;
        }
        html->WriteHtml(text);
        m_browserFrame->SetAddressText(url);
        SubscribeFeedsOfPage(url, text);
        return true;
    }
    ui::ShowPrompt(this, kUnknownFormat, wxOK | wxICON_INFORMATION, url);
    if (readable)
    {
        html->WriteHtml(rssexport::EscapeAsSource(text));
        m_browserFrame->SetAddressText(url);
    }
    return false;
}

bool CMainFrame::SubscribeIntoChosenList(const uString& url)
{
    if (m_treeView == nullptr) // the window is closing
        return false;
    std::vector<uString> databases = CollectLists(kCollectDatabases);
    std::vector<uString> labels = CollectLists(kCollectLabels);
    if (databases.empty() || labels.size() != databases.size())
        return false;
    OPMLSubscribe dialog(labels, this);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    std::size_t index = static_cast<std::size_t>(dialog.GetSelectedList());
    wxTreeItemId list =
        index < databases.size()
            ? FindTreeItem(databases[index], m_treeView->GetFirstTopLevelItem(), kFindByValue, kList)
            : wxTreeItemId();
    return list.IsOk() && AddSubscription(list, url, uString(), false, false);
}

long CMainFrame::OnViewSource(const CFrameMessage& message)
{
    uString url = UrlOf(message);
    if (url.isEmpty() || m_browserFrame == nullptr)
        return -1;
    TempDownload download(url);
    ui::FetchEnd end = download.Fetch(this, uString("View Source"), url, kSourceTimeoutSeconds);
    if (end == ui::FetchEnd::kCancelled)
        return -1;
    if (end == ui::FetchEnd::kFailed)
    {
        ui::ShowPrompt(this, kDownloadFailed, wxOK | wxICON_WARNING, url);
        return -1;
    }
    uString text;
    if (!download.Read(text))
        return -1;
    m_browserFrame->GetHtmlCtrl()->WriteHtml(rssexport::EscapeAsSource(text));
    m_browserFrame->SetAddressText(url);
    return 0;
}

void CMainFrame::OnLookForFeeds()
{
    if (m_browserFrame == nullptr)
        return;
    // The address of the page whose source is asked for.
    m_browserFrame->GetHtmlCtrl()->GetDocumentSource(
        [this, open = StillOpen(), url = m_browserFrame->GetAddressText()](bool found, const uString& source)
        {
            if (found && open())
                SubscribeFeedsOfPage(url, source);
        });
}

void CMainFrame::OnBrowseDirectory()
{
    CFeedBrowserDlg dialog(this, [this](std::uint32_t message, const uString& url)
                           { SendMessage(message, 0, url); });
    dialog.ShowModal();
}
